#include "RecordingStyle.h"
#include "widgets/KXProgressBarDelegate.h"

#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

class tst_KXProgressBarDelegate : public QObject
{
    Q_OBJECT
private slots:
    void paintsBar_data();
    void paintsBar();
    void sizeHintIsCellSize();
};

void tst_KXProgressBarDelegate::paintsBar_data()
{
    QTest::addColumn<QVariant>("current");
    QTest::addColumn<QVariant>("total");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("fraction");
    QTest::newRow("5 of 0: no percentage") << QVariant(5ULL) << QVariant(0ULL) << ""
                                           << "" << -1.0;
    QTest::newRow("1 of 3 truncates") << QVariant(1ULL) << QVariant(3ULL) << ""
                                      << "33%" << 1.0 / 3;
    QTest::newRow("2 of 3 truncates") << QVariant(2ULL) << QVariant(3ULL) << ""
                                      << "66%" << 2.0 / 3;
    QTest::newRow("0 of 100: nothing yet") << QVariant(0ULL) << QVariant(100ULL) << ""
                                           << "" << 0.0;
    QTest::newRow("done") << QVariant(100ULL) << QVariant(100ULL) << ""
                          << "100%" << 1.0;
    QTest::newRow("caption wins") << QVariant(1ULL) << QVariant(3ULL) << "abc"
                                  << "abc" << 1.0 / 3;
    QTest::newRow("caption without numbers") << QVariant() << QVariant() << "abc"
                                             << "abc" << -1.0;
    QTest::newRow("unset cell") << QVariant() << QVariant() << ""
                                << "" << -1.0;
    // Byte counts beyond 2 GiB must neither overflow the text nor the bar.
    QTest::newRow("6 GiB package") << QVariant(3ULL << 30) << QVariant(6ULL << 30) << ""
                                   << "50%" << 0.5;
    QTest::newRow("huge counts") << QVariant(quint64(9e18)) << QVariant(quint64(1.8e19)) << ""
                                 << "50%" << 0.5;
}

void tst_KXProgressBarDelegate::paintsBar()
{
    QFETCH(QVariant, current);
    QFETCH(QVariant, total);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(double, fraction);

    QStandardItemModel model(1, 2);
    auto *pItem = new QStandardItem;
    if (current.isValid())
        pItem->setData(current, Qt::UserRole + 1);
    if (total.isValid())
        pItem->setData(total, Qt::UserRole + 2);
    if (!caption.isEmpty())
        pItem->setData(caption, Qt::UserRole + 3);
    model.setItem(0, 1, pItem);

    QTableView view;
    RecordingStyle style;
    view.setStyle(&style);
    view.setModel(&model);
    KXProgressBarDelegate delegate;
    view.setItemDelegateForColumn(1, &delegate);
    view.resize(400, 200);
    style.Clear();
    view.grab();

    QCOMPARE(style.progressBars.size(), 1);
    const QStyleOptionProgressBar bar = style.progressBars.first();
    QCOMPARE(bar.text, text);
    QVERIFY(bar.textVisible);
    QCOMPARE(bar.minimum, 0);
    QVERIFY(bar.progress <= bar.maximum);
    if (fraction >= 0) {
        QVERIFY(bar.maximum > 0);
        QVERIFY(qAbs(double(bar.progress) / bar.maximum - fraction) < 0.001);
    }
    const QRect cell = view.visualRect(model.index(0, 1));
    QCOMPARE(bar.rect, cell.adjusted(4, 4, -4, -4));
}

void tst_KXProgressBarDelegate::sizeHintIsCellSize()
{
    KXProgressBarDelegate delegate;
    QStyleOptionViewItem option;
    option.rect = QRect(10, 20, 168, 30);
    QCOMPARE(delegate.sizeHint(option, QModelIndex()), QSize(168, 30));
}

QTEST_MAIN(tst_KXProgressBarDelegate)
#include "tst_KXProgressBarDelegate.moc"
