// The main window shell: its form, title and status texts, the device disks it
// follows, the tool bar, the help page and the language switch.

#include "update/MainWindow.h"

#include "FormContract.h"

#include "accounts/LoginReply.h"
#include "accounts/StoredCredentials.h"
#include "app/Language.h"
#include "app/WorkingFolder.h"
#include "device/DeviceDisks.h"
#include "device/DeviceState.h"
#include "net/ServerProtocol.h"
#include "update/TransferStopFlag.h"
#include "widgets/KXCheckBoxHeaderView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>
#include <QTranslator>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

// Receives the URLs the window hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl &url) { urls.append(url); }
};

class tst_MainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir workDir;
    QString sOldDir;

    QString MakeDisk(const QString &sName, const QByteArray &baSerial)
    {
        const QString sDisk = workDir.filePath(QStringLiteral("disks/") + sName);
        QDir().mkpath(sDisk);
        QFile file(sDisk + QStringLiteral("/sn.txt"));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(baSerial);
        return sDisk;
    }

    static QList<QPushButton *> DiskButtons(MainWindow &w)
    {
        return w.findChild<QStatusBar *>(QStringLiteral("statusBar"))
            ->findChildren<QPushButton *>();
    }

    static QString StatusMessage(MainWindow &w)
    {
        return w.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
    }

    static void StoreLanguage(int nPos)
    {
        QSettings settings(QStringLiteral("config.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("config/language"), nPos);
    }

    // Positions of the tool-bar layout's items that are spacers.
    static QList<int> SpacerPositions(MainWindow &w)
    {
        QList<int> positions;
        auto *pLayout = w.findChild<QVBoxLayout *>(QStringLiteral("vLayoutToolBar"));
        for (int i = 0; i < pLayout->count(); ++i) {
            if (pLayout->itemAt(i)->spacerItem() != nullptr)
                positions.append(i);
        }
        return positions;
    }

    static int LayoutPosition(MainWindow &w, const char *szButton)
    {
        auto *pLayout = w.findChild<QVBoxLayout *>(QStringLiteral("vLayoutToolBar"));
        return pLayout->indexOf(w.findChild<QWidget *>(QLatin1String(szButton)));
    }

    static QWidget *FindTopLevel(const char *szName)
    {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (pWidget->objectName() == QLatin1String(szName))
                return pWidget;
        }
        return nullptr;
    }

    static int CountTopLevel(const char *szName)
    {
        int nCount = 0;
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (pWidget->objectName() == QLatin1String(szName))
                ++nCount;
        }
        return nCount;
    }

    static void CloseTopLevelBoxes()
    {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (QWidget *pWidget : widgets) {
            if (qobject_cast<QMessageBox *>(pWidget))
                pWidget->close();
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(workDir.isValid());
        // config.ini and ./help are read from the working directory.
        sOldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workDir.path()));
        StoreLanguage(0);
        ApplyStoredLanguage();
    }

    void cleanupTestCase() { QDir::setCurrent(sOldDir); }

    void init()
    {
        // Somebody is signed in, so selecting a disk starts no automatic login
        // (except in the tests of that login, which run first).
        if (qstrcmp(QTest::currentTestFunction(), "loginGateAsksOnceForDevice") != 0 &&
            qstrcmp(QTest::currentTestFunction(), "loginAnswerAfterWindowIsGone") != 0)
            SetLoginReply(QJsonObject{{QStringLiteral("code"), QStringLiteral("000000")}});
        SetDeviceDiskFolders(QStringList());
        SetCurrentSerialNumber(QString());
        TransferStopFlag = 0;
        QDir(workDir.filePath(QStringLiteral("disks"))).removeRecursively();
    }

    void cleanup()
    {
        CloseTopLevelBoxes();
        StoreLanguage(0);
        ApplyStoredLanguage();
    }

    // First: nobody has signed in yet in this process.
    void loginGateAsksOnceForDevice()
    {
        QVERIFY(!HasLoginReply());
        QFile::remove(QStringLiteral("User.bin"));
        {
            // Without a device nobody is asked.
            MainWindow w;
            w.show();
            w.FirstShow();
            QCoreApplication::processEvents();
            QCOMPARE(CountTopLevel("UserManage"), 0);
        }
        // Without a remembered account, selecting a device opens the login window.
        const QString sE = MakeDisk(QStringLiteral("E"), "D000000000001");
        SetDeviceDiskFolders({sE});
        MainWindow w;
        w.show();
        w.FirstShow();
        QWidget *pLogin = nullptr;
        QTRY_VERIFY((pLogin = FindTopLevel("UserManage")) != nullptr);
        QVERIFY(pLogin->isVisible());
        QVERIFY(pLogin->parentWidget() == nullptr);
        QCOMPARE(pLogin->windowModality(), Qt::ApplicationModal);
        QVERIFY(pLogin->testAttribute(Qt::WA_DeleteOnClose));

        // Asking again while it is open adds no second window.
        emit w.ShowLogin();
        QCoreApplication::processEvents();
        QCOMPARE(CountTopLevel("UserManage"), 1);

        pLogin->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(CountTopLevel("UserManage"), 0);
        QVERIFY(w.isVisible());
    }

    // Second, still with nobody signed in: the window goes away while the
    // automatic login is waiting for the server.
    void loginAnswerAfterWindowIsGone()
    {
        QVERIFY(!HasLoginReply());
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(QStringLiteral("127.0.4.1")), kLoginPort));
        SetServerAddress(QStringLiteral("127.0.4.1"));
        StoredCredentials credentials;
        credentials.sUserName = QStringLiteral("demo");
        credentials.sPassword = QStringLiteral("0123456789abcdef0123456789abcdef");
        credentials.bAuto = true;
        QVERIFY(WriteStoredCredentials(credentials));
        SetDeviceDiskFolders({MakeDisk(QStringLiteral("E"), "D000000000001")});

        auto pWindow = std::make_unique<MainWindow>();
        pWindow->show();
        pWindow->FirstShow();
        // The catalogue's wait prompt runs an event loop: the server may
        // have taken the request already.
        QVERIFY(server.hasPendingConnections() || server.waitForNewConnection(10000));
        QTcpSocket *pRequest = server.nextPendingConnection();
        pWindow.reset();
        // The login fails now; its request for the login window has nobody to reach.
        pRequest->abort();
        QTest::qWait(1000); // time for the failed sign-in to ask for its window
        QCOMPARE(CountTopLevel("UserManage"), 0);
        QFile::remove(QStringLiteral("User.bin"));
    }

    void signedInAsksNobody()
    {
        SetDeviceDiskFolders({MakeDisk(QStringLiteral("E"), "D000000000001")});
        MainWindow w;
        w.show();
        w.FirstShow();
        QCoreApplication::processEvents();
        QCOMPARE(CountTopLevel("UserManage"), 0);
    }

    void formContract_data()
    {
        using FormContract::Row;
        using FormContract::Shown;
        FormContract::AddColumn();
        FormContract::AddRows({
            Row("MainWindow", "QMainWindow")
                .Size(QSize(817, 599))
                .MinimumSize(QSize(765, 565))
                .Flags(Qt::FramelessWindowHint)
                .Properties({{"Form", true}, {"CanMove", true}, {"MAX", false}}),
            Row("wgHead", "QWidget"),
            Row("widget_title", "QWidget"),
            Row("lab_Ico", "QLabel"),
            Row("lab_Title", "QLabel"),
            Row("widget_menu", "QWidget"),
            Row("btnProxySetting", "QPushButton"),
            Row("btnMin", "QPushButton"),
            Row("btnMax", "QPushButton"),
            Row("btnClose", "QPushButton"),
            Row("wgRight", "QWidget"),
            Row("stackedWidget", "QStackedWidget"),
            Row("page", "QWidget"),
            Row("tbUpdateList", "QTableWidget")
                .Columns({"名称", "本地版本", "服务器版本", "大小", "进度", "操作"})
                .Properties({{"mouseTracking", true}}),
            Row("wgOptions", "QWidget"),
            Row("cbAll", "QCheckBox").Text("全选"),
            Row("btnOneKeyUpdate", "QPushButton").Text("一键下载"),
            Row("pageUnistall", "QWidget"),
            // The fifth column holds the outcome of a check or repair.
            Row("tbUnistallList", "QTableWidget")
                .Columns({"软件名称", "版本号", "大小", "安装位置", "检查结果"}),
            Row("wgUnistallOptions", "QWidget"),
            Row("btnOneKeyUnistall", "QPushButton").Text("卸载"),
            Row("pageHelp", "QWidget"),
            Row("lstHelp", "QListWidget"),
            Row("wgStatus", "QWidget"),
            Row("wgToolBar", "QWidget"),
            Row("vLayoutToolBar", "QVBoxLayout"),
            Row("btnDownload", "QToolButton"),
            Row("btnUnistall", "QToolButton"),
            Row("btnManage", "QToolButton").Is(Shown::Hidden),
            Row("btnHelp", "QToolButton").Properties({{"fixed", false}}),
            Row("btnSetting", "QToolButton").Properties({{"fixed", true}, {"autoRaise", true}}),
            // The status bar sits in wgStatus.
            Row("statusBar", "QStatusBar").Parent("wgStatus"),
        });
    }

    void formContract()
    {
        QFETCH(FormContract::Row, row);
        MainWindow w;
        FormContract::Verify(&w, row);
    }

    void tablesSizeTheirColumns()
    {
        MainWindow w;
        auto *pUpdates = w.findChild<QTableWidget *>(QStringLiteral("tbUpdateList"));
        const int updateWidths[] = {200, 90, 100, 65, 168};
        QVERIFY(pUpdates->isColumnHidden(3));
        pUpdates->showColumn(3);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(pUpdates->columnWidth(i), updateWidths[i]);
        QVERIFY(qobject_cast<KXCheckBoxHeaderView *>(pUpdates->horizontalHeader()));
        QVERIFY(pUpdates->horizontalHeader()->stretchLastSection());

        auto *pInstalled = w.findChild<QTableWidget *>(QStringLiteral("tbUnistallList"));
        const int installedWidths[] = {250, 150, 100};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(pInstalled->columnWidth(i), installedWidths[i]);
        QVERIFY(qobject_cast<KXCheckBoxHeaderView *>(pInstalled->horizontalHeader()));

        // The status bar's two permanent widgets.
        auto *pStatus = w.findChild<QStatusBar *>(QStringLiteral("statusBar"));
        QCOMPARE(pStatus->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).size() >= 2,
                 true);
    }

    void titleFollowsSerialNumber_data()
    {
        QTest::addColumn<QString>("sSerial");
        QTest::addColumn<QString>("sTitle");
        QTest::newRow("g") << "g000000000001"
                           << "KXW-B7 Update Assist 1.00";
        QTest::newRow("G") << "G000000000001"
                           << "KXW-B7 Update Assist 1.00";
        QTest::newRow("D") << "D000000000001"
                           << "KX520 Update Assist 1.00";
        QTest::newRow("d") << "d000000000001"
                           << "KX520 Update Assist 1.00";
        QTest::newRow("T") << "T000000000001"
                           << "KX410 Update Assist 1.00";
        QTest::newRow("digit") << "9000000000001"
                               << "KX410 Update Assist 1.00";
        QTest::newRow("empty") << ""
                               << "Update Assist 1.00";
    }

    void titleFollowsSerialNumber()
    {
        QFETCH(QString, sSerial);
        QFETCH(QString, sTitle);
        SetCurrentSerialNumber(sSerial);
        MainWindow w;
        QCOMPARE(w.TitleText(), sTitle);
        QCOMPARE(w.windowTitle(), sTitle);
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lab_Title"))->text(), sTitle);
    }

    void statusTextInEnglish()
    {
        const QString sDisk = MakeDisk(QStringLiteral("E"), "A123");
        StoreLanguage(2);
        ApplyStoredLanguage();
        QCOMPARE(MainWindow::StatusText(QStringLiteral("A123"), DiskDisplayName(sDisk), 1536),
                 QStringLiteral("SN:A123\t Disk:E\t Available:1.50 KB"));
        StoreLanguage(0);
        ApplyStoredLanguage();
        QCOMPARE(MainWindow::StatusText(QStringLiteral("A123"), DiskDisplayName(sDisk), 1536),
                 QStringLiteral("SN:A123\t 磁盘:E\t 可用:1.50 KB"));
    }

    void statusTextOfMountedDisk()
    {
        // A disk of known size, so the whole English text is known.
        const QString sDisk = workDir.filePath(QStringLiteral("disks/E"));
        QVERIFY(QDir().mkpath(sDisk));
        QProcess mount;
        mount.setProcessChannelMode(QProcess::MergedChannels);
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=64k"), QStringLiteral("tmpfs"), sDisk});
        if (!mount.waitForFinished(30000) || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0)
            QSKIP(qPrintable(QStringLiteral("mounting a tmpfs is not permitted here: ") +
                             QString::fromLocal8Bit(mount.readAll()).trimmed()));
        QFile serial(sDisk + QStringLiteral("/sn.txt"));
        const bool bWritten = serial.open(QIODevice::WriteOnly) && serial.write("A123") == 4;
        serial.close();
        SetDeviceDiskFolders({sDisk});
        StoreLanguage(2);
        ApplyStoredLanguage();
        QString sStatus;
        {
            MainWindow w;
            w.show();
            w.FirstShow();
            sStatus = StatusMessage(w);
        }
        QProcess::execute(QStringLiteral("umount"), {sDisk});
        QVERIFY(bWritten);
        // 64 KB less the page that holds "/sn.txt".
        QCOMPARE(sStatus, QStringLiteral("SN:A123\t Disk:E\t Available:60.00 KB"));
    }

    void noDeviceLeavesWindowAlone()
    {
        MainWindow w;
        w.show();
        w.FirstShow();
        QVERIFY(w.sCurDisk.isEmpty());
        QVERIFY(w.sSN.isEmpty());
        QVERIFY(DiskButtons(w).isEmpty());
        QVERIFY(StatusMessage(w).isEmpty());
        QCOMPARE(w.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 0);
        QCOMPARE(w.windowTitle(), QStringLiteral("Update Assist 1.00"));
    }

    void firstShowSelectsFirstDisk()
    {
        const QString sE = MakeDisk(QStringLiteral("E"), "D12345678901234\r\n");
        const QString sF = MakeDisk(QStringLiteral("F"), "T000000000002");
        SetDeviceDiskFolders({sE, sF});
        MainWindow w;
        w.show();
        // The catalogue side follows the Download button; here it only shows the page.
        w.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))
            ->setCurrentWidget(w.findChild<QWidget *>(QStringLiteral("pageHelp")));
        w.FirstShow();
        QCOMPARE(w.sCurDisk, sE);
        QCOMPARE(w.sSN, QStringLiteral("D123456789012"));
        QCOMPARE(CurrentSerialNumber(), QStringLiteral("D123456789012"));
        QCOMPARE(w.windowTitle(), QStringLiteral("KX520 Update Assist 1.00"));
        QVERIFY2(StatusMessage(w).startsWith(QStringLiteral("SN:D123456789012\t 磁盘:E\t 可用:")),
                 qPrintable(StatusMessage(w)));
        QCOMPARE(w.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentWidget(),
                 w.findChild<QWidget *>(QStringLiteral("page")));

        const QList<QPushButton *> buttons = DiskButtons(w);
        QCOMPARE(buttons.size(), 2);
        for (QPushButton *pButton : buttons) {
            const QString sDisk = pButton->property("disk").toString();
            QVERIFY(sDisk == sE || sDisk == sF);
            QCOMPARE(pButton->isChecked(), sDisk == sE);
            QCOMPARE(pButton->minimumSize(), QSize(20, 20));
            QCOMPARE(pButton->maximumSize(), QSize(20, 20));
            QCOMPARE(pButton->text(), QString(QChar(0xF1E6)));
            // The free space may change between the two reads: compare what comes before it.
            const QString sTip = pButton->property("tip").toString();
            const QString sStable = DiskTipHtml(sDisk).section(QStringLiteral("可用空间"), 0, 0);
            QVERIFY2(sTip.startsWith(sStable) && sTip.contains(QStringLiteral("可用空间")),
                     qPrintable(sTip));
        }
    }

    void diskButtonSwitchesDevice()
    {
        const QString sE = MakeDisk(QStringLiteral("E"), "D000000000001");
        const QString sF = MakeDisk(QStringLiteral("F"), "g000000000002");
        SetDeviceDiskFolders({sE, sF});
        MainWindow w;
        w.show();
        w.FirstShow();
        QPushButton *pF = nullptr;
        for (QPushButton *pButton : DiskButtons(w)) {
            if (pButton->property("disk").toString() == sF)
                pF = pButton;
        }
        QVERIFY(pF != nullptr);
        // Another device needs its own catalogue: the Download page reloads once.
        QSignalSpy reloads(w.findChild<QToolButton *>(QStringLiteral("btnDownload")),
                           &QToolButton::clicked);
        QTest::mouseClick(pF, Qt::LeftButton);
        QCOMPARE(reloads.count(), 1);
        QTest::mouseClick(pF, Qt::LeftButton);
        QCOMPARE(reloads.count(), 1);
        QCOMPARE(w.sCurDisk, sF);
        QCOMPARE(w.sSN, QStringLiteral("g000000000002"));
        QCOMPARE(w.windowTitle(), QStringLiteral("KXW-B7 Update Assist 1.00"));
        QVERIFY(pF->isChecked());
        QVERIFY(StatusMessage(w).startsWith(QStringLiteral("SN:g000000000002\t 磁盘:F\t ")));
    }

    void diskButtonShowsItsTip()
    {
        const QString sE = MakeDisk(QStringLiteral("E"), "D000000000001");
        SetDeviceDiskFolders({sE});
        MainWindow w;
        w.show();
        w.FirstShow();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QPushButton *pButton = DiskButtons(w).value(0);
        QVERIFY(pButton != nullptr);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(pButton, &enter);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(QStringLiteral("<div style=\"color:red;\">E</div>")));
        QToolTip::hideText();
    }

    void removalsFollowTheDisks()
    {
        const QString sE = MakeDisk(QStringLiteral("E"), "D000000000001");
        const QString sF = MakeDisk(QStringLiteral("F"), "T000000000002");
        SetDeviceDiskFolders({sE, sF});
        MainWindow w;
        w.show();
        w.FirstShow();
        QCOMPARE(w.sCurDisk, sE);
        QSignalSpy gone(&w, &MainWindow::DevHasDisconnected);

        // F goes: E stays current, F's button goes with it.
        QVERIFY(QDir(sF).removeRecursively());
        QTRY_COMPARE(DiskButtons(w).size(), 1);
        QCOMPARE(w.sCurDisk, sE);
        QCOMPARE(DiskButtons(w).first()->property("disk").toString(), sE);

        // F comes back and E goes: F becomes current.
        MakeDisk(QStringLiteral("F"), "T000000000002");
        QTRY_COMPARE(DiskButtons(w).size(), 2);
        QCOMPARE(w.sCurDisk, sE);
        QVERIFY(QDir(sE).removeRecursively());
        QTRY_COMPARE(w.sCurDisk, sF);
        QCOMPARE(w.sSN, QStringLiteral("T000000000002"));
        QCOMPARE(w.windowTitle(), QStringLiteral("KX410 Update Assist 1.00"));
        QCOMPARE(DiskButtons(w).size(), 1);
        QVERIFY(DiskButtons(w).first()->isChecked());
        QVERIFY(StatusMessage(w).startsWith(QStringLiteral("SN:T000000000002\t 磁盘:F\t ")));
        QCOMPARE(gone.count(), 0);
    }

    void removingLastDiskClearsEverything()
    {
        const QString sE = MakeDisk(QStringLiteral("E"), "D000000000001");
        SetDeviceDiskFolders({sE});
        MainWindow w;
        w.show();
        w.FirstShow();
        QVERIFY(!StatusMessage(w).isEmpty());
        w.Batch().nTaskCount = 3;

        QSignalSpy gone(&w, &MainWindow::DevHasDisconnected);
        QElapsedTimer pause;
        int nFlagAtSignal = -1;
        int nFlagAtReload = -1;
        qint64 nPauseMs = -1;
        connect(&w, &MainWindow::DevHasDisconnected, this, [&]() {
            nFlagAtSignal = TransferStopFlag.load();
            pause.start();
        });
        connect(w.findChild<QToolButton *>(QStringLiteral("btnDownload")), &QToolButton::clicked,
                this, [&]() {
                    nFlagAtReload = TransferStopFlag.load();
                    if (pause.isValid())
                        nPauseMs = pause.elapsed();
                });

        QVERIFY(QDir(sE).removeRecursively());
        QVERIFY(gone.wait(10000));
        QTRY_VERIFY(nPauseMs >= 0);
        QCOMPARE(gone.count(), 1);
        QCOMPARE(nFlagAtSignal, 1);
        QCOMPARE(nFlagAtReload, 0);
        QVERIFY2(nPauseMs >= 290, qPrintable(QString::number(nPauseMs)));
        QCOMPARE(TransferStopFlag.load(), quint8(0));
        QCOMPARE(w.Batch().nTaskCount.load(), 0);
        QVERIFY(w.sCurDisk.isEmpty());
        QVERIFY(w.sSN.isEmpty());
        QVERIFY(CurrentSerialNumber().isEmpty());
        QVERIFY(StatusMessage(w).isEmpty());
        QVERIFY(DiskButtons(w).isEmpty());
        QCOMPARE(w.windowTitle(), QStringLiteral("Update Assist 1.00"));

        // Later changes with still no device report nothing more.
        w.OnDeviceChange();
        QCOMPARE(gone.count(), 1);
    }

    void windowGoingAwayStopsTransfers()
    {
        {
            MainWindow w;
            QCOMPARE(TransferStopFlag.load(), quint8(0));
        }
        QCOMPARE(TransferStopFlag.load(), quint8(1));
    }

    void maximiseToggleTwice()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *pMax = w.findChild<QPushButton *>(QStringLiteral("btnMax"));
        QTest::mouseClick(pMax, Qt::LeftButton);
        QVERIFY(w.property("MAX").toBool());
        QTRY_VERIFY(w.isMaximized());
        QCOMPARE(pMax->text(), QString(QChar(0xF2D2)));
        QVERIFY(!pMax->testAttribute(Qt::WA_UnderMouse));
        QTest::mouseClick(pMax, Qt::LeftButton);
        QVERIFY(!w.property("MAX").toBool());
        QTRY_VERIFY(!w.isMaximized());
        QCOMPARE(pMax->text(), QString(QChar(0xF2D0)));
    }

    void toolBarEffectMovesOneSpacer()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QList<int> start = SpacerPositions(w);
        QCOMPARE(start.size(), 1);

        // Without the effect the buttons only switch pages.
        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnHelp")), Qt::LeftButton);
        QCOMPARE(SpacerPositions(w), start);

        QTest::mouseDClick(w.findChild<QLabel *>(QStringLiteral("lab_Ico")), Qt::LeftButton);
        // The first button first: position 0 is where the effect starts.
        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnDownload")),
                          Qt::LeftButton);
        QCOMPARE(SpacerPositions(w), start);

        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnUnistall")),
                          Qt::LeftButton);
        QCOMPARE(SpacerPositions(w), QList<int>({LayoutPosition(w, "btnUnistall") + 1}));
        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnUnistall")),
                          Qt::LeftButton);
        QCOMPARE(SpacerPositions(w), QList<int>({LayoutPosition(w, "btnUnistall") + 1}));

        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnHelp")), Qt::LeftButton);
        QCOMPARE(SpacerPositions(w), QList<int>({LayoutPosition(w, "btnHelp") + 1}));
        // Settings is fixed at the bottom and takes no part.
        QVERIFY(LayoutPosition(w, "btnSetting") > LayoutPosition(w, "btnHelp") + 1);
    }

    void selectAllChecksEveryRow()
    {
        MainWindow w;
        auto *pUpdates = w.findChild<QTableWidget *>(QStringLiteral("tbUpdateList"));
        auto *pInstalled = w.findChild<QTableWidget *>(QStringLiteral("tbUnistallList"));
        for (QTableWidget *pTable : {pUpdates, pInstalled}) {
            pTable->setRowCount(3);
            for (int nRow = 0; nRow < 3; ++nRow) {
                auto *pItem = new QTableWidgetItem(QStringLiteral("row %1").arg(nRow));
                pItem->setCheckState(nRow == 1 ? Qt::Checked : Qt::Unchecked);
                pTable->setItem(nRow, 0, pItem);
            }
        }
        auto *pAll = w.findChild<QCheckBox *>(QStringLiteral("cbAll"));
        auto *pHeader = qobject_cast<KXCheckBoxHeaderView *>(pUpdates->horizontalHeader());
        QTest::mouseClick(pAll, Qt::LeftButton);
        for (int nRow = 0; nRow < 3; ++nRow)
            QCOMPARE(pUpdates->item(nRow, 0)->checkState(), Qt::Checked);
        QVERIFY(pHeader->IsChecked());

        w.CheckAllUpdates(false);
        for (int nRow = 0; nRow < 3; ++nRow)
            QCOMPARE(pUpdates->item(nRow, 0)->checkState(), Qt::Unchecked);
        QVERIFY(!pAll->isChecked());
        QVERIFY(!pHeader->IsChecked());

        // The uninstall header's box reaches the uninstall rows only.
        auto *pInstalledHeader =
            qobject_cast<KXCheckBoxHeaderView *>(pInstalled->horizontalHeader());
        emit pInstalledHeader->checkStausChange(true);
        for (int nRow = 0; nRow < 3; ++nRow) {
            QCOMPARE(pInstalled->item(nRow, 0)->checkState(), Qt::Checked);
            QCOMPARE(pUpdates->item(nRow, 0)->checkState(), Qt::Unchecked);
        }
    }

    void helpPageListsAndOpensDocuments()
    {
        // The documents ship beside the program, wherever it works.
        const QString sHelp = ProgramFolder() + QStringLiteral("/help");
        QVERIFY2(!QFileInfo::exists(sHelp), "a help folder beside the test is in the way");
        struct FolderRemover {
            QString sPath;
            ~FolderRemover() { QDir(sPath).removeRecursively(); }
        } remover{sHelp};
        QDir().mkpath(sHelp + QStringLiteral("/images"));
        for (const char *szName : {"b guide.html", "A#1.pdf"}) {
            QFile file(sHelp + QLatin1Char('/') + QLatin1String(szName));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");

        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnHelp")), Qt::LeftButton);
        QCOMPARE(w.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentWidget(),
                 w.findChild<QWidget *>(QStringLiteral("pageHelp")));
        auto *pList = w.findChild<QListWidget *>(QStringLiteral("lstHelp"));
        QCOMPARE(pList->count(), 2);
        QCOMPARE(pList->item(0)->text(), QStringLiteral("A#1.pdf"));
        QCOMPARE(pList->item(1)->text(), QStringLiteral("b guide.html"));
        QVERIFY(!pList->item(0)->icon().isNull());

        // Pressing it again lists the folder afresh, without doubles.
        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("btnHelp")), Qt::LeftButton);
        QCOMPARE(pList->count(), 2);

        // Let the list lay out its items before aiming at one.
        QCoreApplication::processEvents();
        const QRect rect = pList->visualItemRect(pList->item(0));
        QVERIFY(rect.isValid());
        QTest::mouseClick(pList->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(pList->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.first(), QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                                           QStringLiteral("/help/A#1.pdf")));
    }

    void missingHelpFolderGivesEmptyList()
    {
        QVERIFY(!QFileInfo::exists(ProgramFolder() + QStringLiteral("/help")));
        MainWindow w;
        w.on_btnHelp_clicked();
        QCOMPARE(w.findChild<QListWidget *>(QStringLiteral("lstHelp"))->count(), 0);
    }

    void languageSwitchRetranslates()
    {
        const QString sE = MakeDisk(QStringLiteral("E"), "A123");
        SetDeviceDiskFolders({sE});
        MainWindow w;
        w.show();
        w.FirstShow();
        QCOMPARE(w.windowTitle(), QStringLiteral("KX410 Update Assist 1.00"));

        StoreLanguage(2);
        w.SwitchLanguage(QStringLiteral("en"));
        QCOMPARE(w.windowTitle(), QStringLiteral("KX410 Update Assist 1.00"));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lab_Title"))->text(),
                 QStringLiteral("KX410 Update Assist 1.00"));
        QVERIFY2(StatusMessage(w).startsWith(QStringLiteral("SN:A123\t Disk:E\t Available:")),
                 qPrintable(StatusMessage(w)));
        QCOMPARE(w.findChild<QToolButton *>(QStringLiteral("btnDownload"))->text(),
                 QStringLiteral("Download"));
        QCOMPARE(w.findChild<QTableWidget *>(QStringLiteral("tbUpdateList"))
                     ->horizontalHeaderItem(2)
                     ->text(),
                 QStringLiteral("Server version"));
        QCOMPARE(DiskButtons(w).size(), 1);
        QVERIFY(DiskButtons(w).first()->isChecked());

        StoreLanguage(1);
        w.SwitchLanguage(QStringLiteral("tc"));
        QVERIFY2(StatusMessage(w).startsWith(QStringLiteral("SN:A123\t 磁碟:E\t ")),
                 qPrintable(StatusMessage(w)));

        // A position without a translation shows the source texts.
        StoreLanguage(3);
        w.SwitchLanguage(QString());
        QVERIFY(StatusMessage(w).startsWith(QStringLiteral("SN:A123\t 磁盘:E\t 可用:")));
        QCOMPARE(w.findChild<QToolButton *>(QStringLiteral("btnDownload"))->text(),
                 QStringLiteral("下载"));
    }

    void proxyButtonOpensProxySettings()
    {
        MainWindow w;
        w.show();
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("btnProxySetting")),
                          Qt::LeftButton);
        QWidget *pProxy = nullptr;
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (pWidget->inherits("ProxySetting"))
                pProxy = pWidget;
        }
        QVERIFY(pProxy != nullptr);
        QVERIFY(pProxy->isVisible());
        QCOMPARE(pProxy->windowModality(), Qt::ApplicationModal);
        QVERIFY(pProxy->testAttribute(Qt::WA_DeleteOnClose));
        pProxy->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void messageSignalShowsPrompt()
    {
        MainWindow w;
        emit w.ShowMsgBox(QStringLiteral("获取升级信息失败!"));
        QMessageBox *pBox = nullptr;
        QTRY_VERIFY((pBox = [] {
                        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
                            if (auto *p = qobject_cast<QMessageBox *>(pWidget))
                                return p;
                        }
                        return static_cast<QMessageBox *>(nullptr);
                    }()) != nullptr);
        QCOMPARE(pBox->text(), QStringLiteral("获取升级信息失败!"));
        QCOMPARE(pBox->windowTitle(), QStringLiteral("提示"));
        pBox->close();
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
