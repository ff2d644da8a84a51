#include "DeviceSimProcess.h"
#include "FormContract.h"
#include "TestWidgets.h"
#include "device/MainInstall.h"
#include "device/device.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

using namespace TestWidgets;

namespace
{

QString BrokenOffText()
{
    return QString::fromUtf8("固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。");
}

} // namespace

class TestMainInstall : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void formContract_data();
    void formContract();
    void windowIsModalAndCentred();
    void slotsDriveLabelAndBar();
    void installs_data();
    void installs();
    void unplugDuringTransfer();
    void closedWindowDropsRequests();
    void silentDeviceClosesWindow();

private:
    // Starts an installation into the simulator and waits until the window is gone and the
    // worker has ended.
    void RunInstallation(const QString &sSN);

    QTemporaryDir *m_pDisk = nullptr;
    QWidget *m_pMain = nullptr;
    QList<QPair<int, int>> m_progress;
    bool m_bWindowGone = false;
};

void TestMainInstall::init()
{
    m_pDisk = new QTemporaryDir;
    m_pMain = new QWidget;
    m_progress.clear();
    m_bWindowGone = false;
}

void TestMainInstall::cleanup()
{
    TakeMessages();
    delete m_pMain;
    m_pMain = nullptr;
    delete m_pDisk;
    m_pDisk = nullptr;
    device::SetSerialOverride(QString());
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
}

void TestMainInstall::RunInstallation(const QString &sSN)
{
    auto *pWindow = new MainInstall(m_pMain);
    QPointer<MainInstall> guard(pWindow);
    auto *pBar = pWindow->findChild<QProgressBar *>("progressBar");
    QVERIFY(pBar);
    connect(pBar, &QProgressBar::valueChanged, this,
            [this, pBar](int nValue) { m_progress << qMakePair(nValue, pBar->maximum()); });
    QFuture<void> future = StartFirmwareUpgrade(pWindow, m_pDisk->path(), sSN);
    QVERIFY(!guard.isNull() && guard->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 5000);
    m_bWindowGone = true;
    // The worker has returned its thread to the pool: nothing is left running.
    QTRY_COMPARE_WITH_TIMEOUT(QThreadPool::globalInstance()->activeThreadCount(), 0, 5000);
}

void TestMainInstall::formContract_data()
{
    using FormContract::Row;
    FormContract::AddColumn();
    FormContract::AddRows({
        Row("MainInstall", "MainInstall")
            .Size(QSize(249, 86))
            .Properties({{"Form", true}, {"CanMove", true}}),
        Row("label", "QLabel")
            .Text(QString::fromUtf8("正在升级固件，请稍候..."))
            .Properties({{"wordWrap", true}}),
        Row("progressBar", "QProgressBar").Properties({{"value", 0}}),
    });
}

void TestMainInstall::formContract()
{
    QFETCH(FormContract::Row, row);
    MainInstall window;
    FormContract::Verify(&window, row);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
}

void TestMainInstall::windowIsModalAndCentred()
{
    MainInstall window;
    QCOMPARE(int(window.windowFlags()), 0x6803);
    QCOMPARE(window.windowModality(), Qt::ApplicationModal);
    QVERIFY(window.testAttribute(Qt::WA_DeleteOnClose));
    auto *pBar = window.findChild<QProgressBar *>("progressBar");
    QVERIFY(pBar);
    QCOMPARE(pBar->alignment(), Qt::AlignCenter);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
}

void TestMainInstall::slotsDriveLabelAndBar()
{
    MainInstall window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    auto *pBar = window.findChild<QProgressBar *>("progressBar");
    auto *pLabel = window.findChild<QLabel *>("label");
    window.showHint("abc", false);
    QCOMPARE(pLabel->text(), QString("abc"));
    QVERIFY(pBar->isHidden());
    window.showHint("def", true);
    QVERIFY(!pBar->isHidden());
    window.setprogress(2, 3);
    QCOMPARE(pBar->maximum(), 3);
    QCOMPARE(pBar->value(), 2);
}

void TestMainInstall::installs_data()
{
    QTest::addColumn<int>("nFileSize");   // -1: no MAIN.bin on the disk
    QTest::addColumn<bool>("bSameImage"); // the device already runs the file's image
    QTest::addColumn<QStringList>("slSimArgs");
    QTest::addColumn<bool>("bFlashed");
    QTest::addColumn<QString>("sMessage");
    QTest::addColumn<QString>("sProgress");

    QTest::newRow("equal digests")
        << 10000 << true << QStringList() << false << QString() << QString();
    QTest::newRow("new image") << 10000 << false << QStringList() << true << QString()
                               << "1/3 2/3 3/3";
    QTest::newRow("exact block") << 4096 << false << QStringList() << true << QString() << "1/1";
    QTest::newRow("error on second block")
        << 10000 << false << QStringList({"--fail", "block:1=1C"}) << false
        << QString::fromUtf8("传输块序号出错") << "1/3";
    QTest::newRow("unknown status on begin")
        << 10000 << false << QStringList({"--fail", "begin=99"}) << false
        << QString::fromUtf8("未知错误") << QString();
    QTest::newRow("digest read fails") << 10000 << false << QStringList({"--fail", "hash=22"})
                                       << false << QString::fromUtf8("读FLASH失败") << QString();
    // A device that answers the digest read too short to carry a digest gets the image.
    QTest::newRow("short digest reply") << 10000 << false << QStringList({"--short", "hash=22"})
                                        << true << QString() << "1/3 2/3 3/3";
    QTest::newRow("finish rejected") << 5000 << false << QStringList({"--fail", "finish=12"})
                                     << false << QString::fromUtf8("校验文件失败") << "1/2 2/2";
    QTest::newRow("no MAIN.bin") << -1 << false << QStringList() << false << QString() << QString();
    QTest::newRow("no device port")
        << 10000 << false << QStringList({"--no-port"}) << false << QString() << QString();
}

void TestMainInstall::installs()
{
    QFETCH(int, nFileSize);
    QFETCH(bool, bSameImage);
    QFETCH(QStringList, slSimArgs);
    QFETCH(bool, bFlashed);
    QFETCH(QString, sMessage);
    QFETCH(QString, sProgress);

    const QByteArray baNew = DeviceSimProcess::FlashCaseImage(nFileSize);
    DeviceSimProcess sim;
    QVERIFY2(sim.StartFlashCase(m_pDisk->path(), nFileSize, bSameImage, slSimArgs),
             qPrintable(sim.ErrorString()));

    RunInstallation("T100000000001");
    QVERIFY(m_bWindowGone);

    QStringList slSteps;
    for (const auto &step : qAsConst(m_progress)) {
        if (step.first > 0)
            slSteps << QStringLiteral("%1/%2").arg(step.first).arg(step.second);
    }
    QCOMPARE(slSteps.join(' '), sProgress);

    if (bFlashed)
        QCOMPARE(sim.FlashedImage(), baNew);
    else
        QVERIFY(!QFile::exists(sim.OutputPath()));

    if (sMessage.isEmpty()) {
        QVERIFY(VisibleMessageBoxes().isEmpty());
    } else {
        QTRY_COMPARE(VisibleMessageBoxes().size(), 1);
        QCOMPARE(VisibleMessageBoxes().first()->text(), sMessage);
        QCOMPARE(VisibleMessageBoxes().first()->windowTitle(), QString::fromUtf8("提示"));
    }
}

void TestMainInstall::unplugDuringTransfer()
{
    const QByteArray baNew = DeviceSimProcess::SampleImage(5 * 4096, 3);
    QVERIFY(WriteFile(m_pDisk->filePath("Home/MAIN.bin"), baNew));
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--unplug-after", "2"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());

    RunInstallation("D100000000001");
    QVERIFY(m_bWindowGone);
    QVERIFY(sim.WaitForExit());
    QVERIFY(!QFile::exists(sim.OutputPath()));
    QCOMPARE(m_progress.last(), qMakePair(2, 5));
    // The device could not say why; the user still learns that the flash broke off.
    QTRY_COMPARE(VisibleMessageBoxes().size(), 1);
    QCOMPARE(VisibleMessageBoxes().first()->text(), BrokenOffText());
}

void TestMainInstall::closedWindowDropsRequests()
{
    const QByteArray baNew = DeviceSimProcess::SampleImage(3 * 4096 + 5, 4);
    QVERIFY(WriteFile(m_pDisk->filePath("Home/MAIN.bin"), baNew));
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--delay", "20"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());

    auto *pWindow = new MainInstall(m_pMain);
    QPointer<MainInstall> guard(pWindow);
    QFuture<void> future = StartFirmwareUpgrade(pWindow, m_pDisk->path(), QString());
    // The user's main window goes away at once; the worker's hints, progress and close
    // requests find no window and are dropped.
    delete m_pMain;
    m_pMain = nullptr;
    QVERIFY(guard.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 30000);
    QTRY_COMPARE(sim.FlashedImage(), baNew);
}

void TestMainInstall::silentDeviceClosesWindow()
{
    QVERIFY(WriteFile(m_pDisk->filePath("Home/MAIN.bin"), DeviceSimProcess::SampleImage(100, 5)));
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--silent", "enter"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    RunInstallation("T1");
    QVERIFY(m_bWindowGone);
    QVERIFY(!QFile::exists(sim.OutputPath()));
    QVERIFY(VisibleMessageBoxes().isEmpty());
}

QTEST_MAIN(TestMainInstall)
#include "tst_maininstall.moc"
