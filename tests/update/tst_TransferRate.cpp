// The speed and the time left shown during a download batch, from samples of
// the bytes received so far (times given, not measured).
#include "update/TransferRate.h"

#include <QtTest>

using Samples = QList<QPair<qint64, qint64>>; // (ms, bytes in all)

class tst_TransferRate : public QObject
{
    Q_OBJECT
private slots:
    void rateAndTimeLeft_data();
    void rateAndTimeLeft();
};

void tst_TransferRate::rateAndTimeLeft_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<qint64>("nTotal");
    QTest::addColumn<qint64>("nSpeed");
    QTest::addColumn<qint64>("nSecondsLeft");
    QTest::newRow("nothing yet") << Samples() << qint64(1000) << qint64(0) << qint64(-1);
    QTest::newRow("one sample") << Samples{{0, 100}} << qint64(1000) << qint64(0) << qint64(-1);
    QTest::newRow("steady") << Samples{{0, 0}, {1000, 1000}, {2000, 2000}} << qint64(10000)
                            << qint64(1000) << qint64(8);
    QTest::newRow("rounded up") << Samples{{0, 0}, {1000, 3000}} << qint64(10000) << qint64(3000)
                                << qint64(3);
    QTest::newRow("done") << Samples{{0, 0}, {1000, 500}} << qint64(500) << qint64(500)
                          << qint64(0);
    // A stall within the window slows the speed; only the last seconds count.
    QTest::newRow("old burst forgotten")
        << Samples{{0, 0}, {1000, 100000}, {7000, 100000}, {8000, 101000}} << qint64(111000)
        << qint64(1000 * 1000 / 7000) << qint64(10000 / (1000 * 1000 / 7000) + 1);
    QTest::newRow("stalled") << Samples{{0, 0}, {1000, 100}, {9000, 100}} << qint64(1000)
                             << qint64(0) << qint64(-1);
    QTest::newRow("clock going back is ignored")
        << Samples{{0, 0}, {2000, 2000}, {1000, 9000}} << qint64(4000) << qint64(1000) << qint64(2);
}

void tst_TransferRate::rateAndTimeLeft()
{
    QFETCH(Samples, samples);
    QFETCH(qint64, nTotal);
    QFETCH(qint64, nSpeed);
    QFETCH(qint64, nSecondsLeft);
    TransferRate rate;
    for (const auto &sample : samples)
        rate.Add(sample.first, sample.second);
    QCOMPARE(rate.BytesPerSecond(), nSpeed);
    QCOMPARE(rate.SecondsLeft(nTotal), nSecondsLeft);
}

QTEST_APPLESS_MAIN(tst_TransferRate)
#include "tst_TransferRate.moc"
