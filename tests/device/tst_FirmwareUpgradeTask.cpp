// The firmware installation without a window, against the simulated device:
// what it reports by its signals (hints, progress, failures, success, finish)
// and what ends up in the device.
#include "DeviceSimProcess.h"
#include "FifoWatch.h"
#include "PosixFiles.h"
#include "device/FirmwareUpgradeTask.h"
#include "device/device.h"

#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

namespace
{

// What a task reported, in the order it arrived on the test's thread.
struct Reports {
    QStringList slHints; // "text|bar" for Hint(text, bar)
    QStringList slSteps; // "n/max" for Progress
    QStringList slFailures;
    QStringList slBrokenOff;
    int nSuccess = 0;
    int nFinish = 0;
    QStringList slEnded; // "outcome detail" for Ended
};

void Record(FirmwareUpgradeTask *pTask, QObject *pContext, Reports *pReports)
{
    QObject::connect(pTask, &FirmwareUpgradeTask::Hint, pContext,
                     [pReports](const QString &sMsg, bool bBar) {
                         pReports->slHints << sMsg + (bBar ? "|bar" : "|no bar");
                     });
    QObject::connect(pTask, &FirmwareUpgradeTask::Progress, pContext,
                     [pReports](int nCurrent, int nMax) {
                         pReports->slSteps << QStringLiteral("%1/%2").arg(nCurrent).arg(nMax);
                     });
    QObject::connect(pTask, &FirmwareUpgradeTask::Failure, pContext,
                     [pReports](const QString &sMsg) { pReports->slFailures << sMsg; });
    QObject::connect(pTask, &FirmwareUpgradeTask::BrokenOff, pContext,
                     [pReports](const QString &sMsg) { pReports->slBrokenOff << sMsg; });
    QObject::connect(pTask, &FirmwareUpgradeTask::Success, pContext,
                     [pReports] { ++pReports->nSuccess; });
    QObject::connect(pTask, &FirmwareUpgradeTask::Finish, pContext,
                     [pReports] { ++pReports->nFinish; });
    QObject::connect(pTask, &FirmwareUpgradeTask::Ended, pContext,
                     [pReports](FirmwareUpgradeTask::Outcome outcome, const QString &sDetail) {
                         pReports->slEnded
                             << QStringLiteral("%1 %2")
                                    .arg(QMetaEnum::fromType<FirmwareUpgradeTask::Outcome>()
                                             .valueToKey(int(outcome)),
                                         sDetail)
                                    .trimmed();
                     });
}

const char kEnterHint[] = "正在升级GD32...|no bar";
const char kFlashHint[] = "正在升级固件，请稍候...|bar";
const char kBrokenOff[] = "固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。";

} // namespace

class tst_FirmwareUpgradeTask : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        device::SetSerialOverride(QString());
        QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    }

    void productIdFromSerialNumber_data()
    {
        QTest::addColumn<QString>("sSN");
        QTest::addColumn<int>("nPid");
        QTest::newRow("D") << "D123456789012" << 0x9F;
        QTest::newRow("d") << "d123456789012" << 0x9F;
        QTest::newRow("T") << "T123456789012" << 0x9E;
        QTest::newRow("empty") << "" << 0x9E;
    }

    void productIdFromSerialNumber()
    {
        QFETCH(QString, sSN);
        QFETCH(int, nPid);
        QCOMPARE(int(UpgradeProductId(sSN)), nPid);
    }

    void sameFirmwareDigest_data()
    {
        QTest::addColumn<QString>("sDevice");
        QTest::addColumn<QString>("sFile");
        QTest::addColumn<bool>("bSame");
        QTest::newRow("equal") << "0123456789abcdef0123456789abcdef"
                               << "0123456789abcdef0123456789abcdef" << true;
        QTest::newRow("letter case") << "0123456789ABCDEF0123456789abcdef"
                                     << "0123456789abcdef0123456789ABCDEF" << true;
        QTest::newRow("different") << "0123456789abcdef0123456789abcdef"
                                   << "0123456789abcdef0123456789abcde0" << false;
        QTest::newRow("nothing read") << ""
                                      << "0123456789abcdef0123456789abcdef" << false;
    }

    void sameFirmwareDigest()
    {
        QFETCH(QString, sDevice);
        QFETCH(QString, sFile);
        QFETCH(bool, bSame);
        QCOMPARE(SameFirmwareDigest(sDevice, sFile), bSame);
    }

    void reports_data()
    {
        // -1: no MAIN.bin on the disk; -2: a FIFO in its place; -3: a link to /dev/null
        QTest::addColumn<int>("nFileSize");
        QTest::addColumn<bool>("bSameImage"); // the device already runs the file's image
        QTest::addColumn<QStringList>("slSimArgs");
        QTest::addColumn<QStringList>("slHints");
        QTest::addColumn<QString>("sSteps");
        QTest::addColumn<QString>("sFailure");
        QTest::addColumn<bool>("bBrokenOff");
        QTest::addColumn<bool>("bFlashed");  // also: Success reported
        QTest::addColumn<QString>("sEnded"); // the outcome and its detail

        const QStringList slBoth{kEnterHint, kFlashHint};
        QTest::newRow("new image") << 10000 << false << QStringList() << slBoth << "1/3 2/3 3/3"
                                   << QString() << false << true << "Written V1.2";
        QTest::newRow("equal digests") << 10000 << true << QStringList() << slBoth << QString()
                                       << QString() << false << false << "AlreadyCurrent";
        QTest::newRow("error on second block")
            << 10000 << false << QStringList({"--fail", "block:1=1C"}) << slBoth << "1/3"
            << QString::fromUtf8("传输块序号出错") << false << false
            << QString::fromUtf8("Refused 传输块序号出错");
        QTest::newRow("digest read fails")
            << 10000 << false << QStringList({"--fail", "hash=22"}) << slBoth << QString()
            << QString::fromUtf8("读FLASH失败") << false << false
            << QString::fromUtf8("Refused 读FLASH失败");
        QTest::newRow("silent in the middle")
            << 5 * 4096 << false << QStringList({"--silent", "block:2"}) << slBoth << "1/5 2/5"
            << QString() << true << false << "BrokenOff";
        QTest::newRow("no MAIN.bin") << -1 << false << QStringList() << QStringList{kEnterHint}
                                     << QString() << QString() << false << false << "NoImage";
        // Only a regular file is an image: a FIFO would hold the task (and its
        // port) until a writer came, a device is no firmware.
        QTest::newRow("a FIFO for MAIN.bin")
            << -2 << false << QStringList() << QStringList{kEnterHint} << QString() << QString()
            << false << false << "NoImage";
        QTest::newRow("a link to /dev/null for MAIN.bin")
            << -3 << false << QStringList() << QStringList{kEnterHint} << QString() << QString()
            << false << false << "NoImage";
        QTest::newRow("silent at the upgrade switch")
            << 100 << false << QStringList({"--silent", "enter"}) << QStringList{kEnterHint}
            << QString() << QString() << false << false << "NoAnswer";
        QTest::newRow("no device port")
            << 10000 << false << QStringList({"--no-port"}) << QStringList() << QString()
            << QString() << false << false << "NoPort";
    }

    void reports()
    {
        QFETCH(int, nFileSize);
        QFETCH(bool, bSameImage);
        QFETCH(QStringList, slSimArgs);
        QFETCH(QStringList, slHints);
        QFETCH(QString, sSteps);
        QFETCH(QString, sFailure);
        QFETCH(bool, bBrokenOff);
        QFETCH(bool, bFlashed);
        QFETCH(QString, sEnded);

        if (nFileSize < -1 && !CanMakePosixSpecialFiles())
            QSKIP("no FIFOs or links here");
        QTemporaryDir disk;
        const QByteArray baNew = DeviceSimProcess::FlashCaseImage(nFileSize);
        DeviceSimProcess sim;
        QVERIFY2(sim.StartFlashCase(disk.path(), qMax(nFileSize, -1), bSameImage, slSimArgs),
                 qPrintable(sim.ErrorString()));
        const QString sImage = disk.filePath("Home/MAIN.bin");
        std::unique_ptr<FifoWatch> pFifo;
        if (nFileSize < -1)
            QVERIFY(QDir().mkpath(disk.filePath("Home")));
        if (nFileSize == -2) {
            pFifo = std::make_unique<FifoWatch>(sImage);
            QVERIFY(pFifo->IsValid());
        } else if (nFileSize == -3) {
            QVERIFY(QFile::link("/dev/null", sImage));
        }

        Reports reports;
        QPointer<FirmwareUpgradeTask> pTask =
            new FirmwareUpgradeTask(disk.filePath("Home/MAIN.bin"), "T100000000001");
        Record(pTask, this, &reports);
        const QFuture<void> future = FirmwareUpgradeTask::Start(pTask);
        QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 30000);
        // Everything reported has arrived once the task has gone.
        QTRY_VERIFY(pTask.isNull());
        QCoreApplication::processEvents();
        const bool bOpened = pFifo && pFifo->Opened();
        QVERIFY2(!bOpened, "the FIFO was opened");

        QCOMPARE(reports.slHints, slHints);
        QStringList slStepsSeen;
        for (const QString &sStep : qAsConst(reports.slSteps)) {
            if (!sStep.startsWith(QLatin1String("0/")))
                slStepsSeen << sStep;
        }
        QCOMPARE(slStepsSeen.join(' '), sSteps);
        QCOMPARE(reports.slFailures, sFailure.isEmpty() ? QStringList() : QStringList{sFailure});
        QCOMPARE(reports.slBrokenOff,
                 bBrokenOff ? QStringList{QString::fromUtf8(kBrokenOff)} : QStringList());
        QCOMPARE(reports.nSuccess, bFlashed ? 1 : 0);
        QVERIFY(reports.nFinish >= 1);
        QCOMPARE(reports.slEnded, QStringList{sEnded});
        if (bFlashed)
            QCOMPARE(sim.FlashedImage(), baNew);
        else
            QVERIFY(!QFile::exists(sim.OutputPath()));
    }
};

QTEST_MAIN(tst_FirmwareUpgradeTask)
#include "tst_FirmwareUpgradeTask.moc"
