// The device failing in the middle of a firmware installation, with the
// simulated device: it stops answering, answers an error status, or is
// unplugged. The installation must end (no hang), close its window, leave the
// device's image untouched, and the next installation with a healthy device
// must flash the image completely.
#include "DeviceSimProcess.h"
#include "TestWidgets.h"

#include "device/FirmwareUpgradeTask.h"
#include "device/MainInstall.h"
#include "device/device.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>
#include <memory>

using namespace TestWidgets;

class tst_FlashFaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> pDisk;
    std::unique_ptr<QWidget> pMain;

    // One installation; false when it did not end within the time limit.
    bool Install(const QString &sSN, qint64 *pnElapsedMs)
    {
        auto *pWindow = new MainInstall(pMain.get());
        QPointer<MainInstall> guard(pWindow);
        QElapsedTimer timer;
        timer.start();
        QFuture<void> future = StartFirmwareUpgrade(pWindow, pDisk->path(), sSN);
        while (!future.isFinished() && timer.elapsed() < 60000)
            QTest::qWait(10);
        *pnElapsedMs = timer.elapsed();
        if (!future.isFinished())
            return false;
        // The window closes and the worker gives its thread back.
        QElapsedTimer settle;
        settle.start();
        while ((!guard.isNull() || QThreadPool::globalInstance()->activeThreadCount() > 0) &&
               settle.elapsed() < 5000)
            QTest::qWait(10);
        return guard.isNull() && QThreadPool::globalInstance()->activeThreadCount() == 0;
    }

private slots:
    void init()
    {
        pDisk = std::make_unique<QTemporaryDir>();
        pMain = std::make_unique<QWidget>();
    }

    void cleanup()
    {
        TakeMessages();
        pMain.reset();
        pDisk.reset();
    }

    void deviceFails_data()
    {
        QTest::addColumn<QStringList>("slFault");
        QTest::addColumn<QString>("sMessage"); // what the user is told; empty: nothing
        // Where the device cannot say why, the program says that the flash broke off.
        const QString sBrokenOff =
            QString::fromUtf8("固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。");
        QTest::newRow("stops answering in the middle")
            << QStringList{"--silent", "block:2"} << sBrokenOff;
        QTest::newRow("error status in the middle")
            << QStringList{"--fail", "block:1=1C"} << QString::fromUtf8("传输块序号出错");
        QTest::newRow("unplugged in the middle")
            << QStringList{"--unplug-after", "2"} << sBrokenOff;
    }

    void deviceFails()
    {
        QFETCH(QStringList, slFault);
        QFETCH(QString, sMessage);
        const QByteArray baOld = DeviceSimProcess::SampleImage(9000, 1);
        const QByteArray baNew = DeviceSimProcess::SampleImage(6 * 4096 + 100, 2);
        QVERIFY(WriteFile(pDisk->filePath("Home/MAIN.bin"), baNew));
        const QString sDeviceImage = pDisk->filePath("device-image.bin");
        QVERIFY(WriteFile(sDeviceImage, baOld));

        {
            DeviceSimProcess sim;
            QVERIFY2(sim.Start(QStringList{"--image", sDeviceImage} + slFault),
                     qPrintable(sim.ErrorString()));
            device::SetSerialOverride(sim.PtyPath());
            qint64 nMs = 0;
            QVERIFY2(Install("T100000000001", &nMs), "the installation hung or left its window");
            qInfo("failed installation ended after %lld ms", nMs);
            // The device kept its image: no upgrade finished.
            QVERIFY(!QFile::exists(sim.OutputPath()));
            if (sMessage.isEmpty())
                QVERIFY(MessageTexts().isEmpty());
            else
                QTRY_COMPARE(MessageTexts(), QStringList{sMessage});
            TakeMessages();
        }

        // Next time the device behaves: the whole image goes in.
        DeviceSimProcess sim;
        QVERIFY2(sim.Start(QStringList{"--image", sDeviceImage}), qPrintable(sim.ErrorString()));
        device::SetSerialOverride(sim.PtyPath());
        qint64 nMs = 0;
        QVERIFY2(Install("T100000000001", &nMs), "the installation hung or left its window");
        QCOMPARE(sim.FlashedImage(), baNew);
        QVERIFY(MessageTexts().isEmpty());
    }
};

QTEST_MAIN(tst_FlashFaults)
#include "tst_FlashFaults.moc"
