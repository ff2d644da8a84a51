// A walk through the real program as a user makes it, on a virtual X display:
// the demo world of scripts/run-demo (stand-in server, simulated device, device
// disk), the real UpdateAssist process, real input events from xdotool. Each
// step leaves a screenshot in <build>/product-walk/screenshots; the outcome is
// checked from outside the program (files on the disk, the flashed image, the
// server's request log, the saved report, "config.ini"). The walk never sleeps
// for a set time: after each click it waits until the screen has changed and
// then holds still, so a click that does nothing fails its step.
//
// The steps depend on each other and run in the order declared; once one
// fails, the rest are skipped.

#include "device/device.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace
{
// scripts/run-demo, when it runs the walk for want of a display, names the
// address and the world folder its user chose.
const char *const kDefaultAddress = "127.0.9.2";
const int kStepTimeoutMs = 30000;
// How long the screen must hold still before a screenshot is taken. It also
// outlasts a window's first paint after it is mapped.
const int kStillMs = 500;
// Pixels that may differ between two grabs of a still screen: a text caret
// blinks (one pixel wide, one line of text high).
const int kBlinkPixels = 40;
// The data manager's table: rows of 30 pixels from 82, the report buttons in
// the last column (record-gen lays out two records of each kind, by name).
const int kReportButtonX = 675;
int RecordRowY(int nRow)
{
    return 82 + 30 * nRow;
}

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Md5Of(const QString &sPath)
{
    return QCryptographicHash::hash(ReadFile(sPath), QCryptographicHash::Md5).toHex();
}

int DifferingPixels(const QImage &one, const QImage &other)
{
    if (one.size() != other.size())
        return one.width() * one.height() + 1;
    int nCount = 0;
    for (int y = 0; y < one.height(); ++y) {
        const auto *pOne = reinterpret_cast<const QRgb *>(one.constScanLine(y));
        const auto *pOther = reinterpret_cast<const QRgb *>(other.constScanLine(y));
        for (int x = 0; x < one.width(); ++x)
            nCount += pOne[x] != pOther[x];
    }
    return nCount;
}

bool Differs(const QImage &one, const QImage &other, int nTolerance = kBlinkPixels)
{
    return DifferingPixels(one, other) > nTolerance;
}

bool ProcessAlive(qint64 nPid)
{
    return nPid > 0 && ::kill(static_cast<pid_t>(nPid), 0) == 0;
}

struct WindowInfo {
    QString sId;
    QString sName;
    QRect rect;
};
} // namespace

class tst_ProductWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void signInThroughLoginWindow();
    void catalogueListsWhatIsNewer();
    void oneClickDownloadFlashesFirmware();
    void uninstallPageListsInstalledPackages();
    void dataPagesListTheRecords();
    void dataStreamReplays();
    void reportOfEachKind();
    void troubleCodeReportSavedAsPdf();
    void switchLanguageToEnglish();
    void closingWindowEndsProgram();
    void cleanupTestCase();

private:
    QString Run(const QString &sProgram, const QStringList &slArgs, int nTimeoutMs = 10000);
    QString Xdo(const QStringList &slArgs) { return Run(QStringLiteral("xdotool"), slArgs); }
    QList<WindowInfo> VisibleWindows();
    WindowInfo MainWindowInfo();
    bool WaitForWindow(const std::function<bool(const WindowInfo &)> &match, WindowInfo *pFound,
                       int nTimeoutMs = kStepTimeoutMs);
    void Click(const WindowInfo &window, int nX, int nY);
    QImage Grab();
    QImage GrabPart(const WindowInfo &window, const QRect &rect);
    bool WaitForStill(QImage *pStill = nullptr, int nStillMs = kStillMs,
                      int nTimeoutMs = kStepTimeoutMs);
    bool WaitForChange(const QImage &before, int nTimeoutMs = kStepTimeoutMs);
    bool ClickAndSettle(const WindowInfo &window, int nX, int nY);
    enum class Settle { Still, Now };
    bool Shot(const QString &sName, Settle settle = Settle::Still);
    QJsonArray ServerRequests();
    QJsonArray RequestsOfKind(const QString &sKind);
    bool StartDisplayAndProgram();

    QString sWalkDir;
    QString sShotDir;
    QString sWorldDir;
    QString sOpenedLog; // what the program asked the desktop to open
    QString sAddress;
    QProcess xvfb;
    QProcess demo;
    QProcess program;
    QString sDisplay;
    QMap<QString, QString> demoEnv;
    QLockFile lock{QStringLiteral(UA_BIN_DIR "/../product-walk.lock")};
    bool bStepFailed = false;
    bool bReady = false;
};

QString tst_ProductWalk::Run(const QString &sProgram, const QStringList &slArgs, int nTimeoutMs)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), sDisplay);
    process.setProcessEnvironment(env);
    process.start(sProgram, slArgs);
    if (!process.waitForFinished(nTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<WindowInfo> tst_ProductWalk::VisibleWindows()
{
    QList<WindowInfo> windows;
    const QStringList slIds = Xdo({"search", "--onlyvisible", "--pid",
                                   QString::number(program.processId()), "--name", ""})
                                  .split('\n', Qt::SkipEmptyParts);
    for (const QString &sId : slIds) {
        WindowInfo info;
        info.sId = sId.trimmed();
        info.sName = Xdo({"getwindowname", info.sId}).trimmed();
        QMap<QString, int> values;
        const QStringList slLines = Xdo({"getwindowgeometry", "--shell", info.sId}).split('\n');
        for (const QString &sLine : slLines) {
            const int nEq = sLine.indexOf('=');
            if (nEq > 0)
                values.insert(sLine.left(nEq), sLine.mid(nEq + 1).toInt());
        }
        info.rect = QRect(values.value("X"), values.value("Y"), values.value("WIDTH"),
                          values.value("HEIGHT"));
        // Qt's own helper windows (and the root, which the search may list)
        // have no name.
        if (!info.sName.isEmpty() && info.rect.width() > 20 && info.rect.height() > 20)
            windows << info;
    }
    return windows;
}

WindowInfo tst_ProductWalk::MainWindowInfo()
{
    const QList<WindowInfo> windows = VisibleWindows();
    for (const WindowInfo &info : windows) {
        if (info.sName.contains(QLatin1String("Update Assist")))
            return info;
    }
    return WindowInfo();
}

bool tst_ProductWalk::WaitForWindow(const std::function<bool(const WindowInfo &)> &match,
                                    WindowInfo *pFound, int nTimeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            const QList<WindowInfo> windows = VisibleWindows();
            for (const WindowInfo &info : windows) {
                if (match(info)) {
                    if (pFound)
                        *pFound = info;
                    return true;
                }
            }
            return false;
        },
        nTimeoutMs);
}

void tst_ProductWalk::Click(const WindowInfo &window, int nX, int nY)
{
    // Negative coordinates count from the right or bottom edge.
    const int nPosX = nX >= 0 ? nX : window.rect.width() + nX;
    const int nPosY = nY >= 0 ? nY : window.rect.height() + nY;
    Xdo({"mousemove", "--window", window.sId, QString::number(nPosX), QString::number(nPosY),
         "click", "1"});
    // Off the windows again, so no tool tip or hover look stays behind.
    Xdo({"mousemove", "1010", "760"});
}

QImage tst_ProductWalk::Grab()
{
    // Uncompressed, so that a grab is quick enough to poll.
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), sDisplay);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("import"), {"-window", "root", "ppm:-"});
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return QImage();
    }
    return QImage::fromData(process.readAllStandardOutput(), "PPM")
        .convertToFormat(QImage::Format_RGB32);
}

QImage tst_ProductWalk::GrabPart(const WindowInfo &window, const QRect &rect)
{
    return Grab().copy(rect.translated(window.rect.topLeft()));
}

bool tst_ProductWalk::WaitForStill(QImage *pStill, int nStillMs, int nTimeoutMs)
{
    QImage last = Grab();
    QElapsedTimer still;
    still.start();
    return QTest::qWaitFor(
        [&] {
            const QImage now = Grab();
            if (now.isNull() || Differs(now, last)) {
                last = now;
                still.restart();
                return false;
            }
            if (still.elapsed() < nStillMs)
                return false;
            if (pStill)
                *pStill = now;
            return true;
        },
        nTimeoutMs);
}

bool tst_ProductWalk::WaitForChange(const QImage &before, int nTimeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            const QImage now = Grab();
            return !now.isNull() && Differs(now, before);
        },
        nTimeoutMs);
}

// Clicks, then waits for what the click shows: the screen changes and holds
// still again.
bool tst_ProductWalk::ClickAndSettle(const WindowInfo &window, int nX, int nY)
{
    const QImage before = Grab();
    Click(window, nX, nY);
    return WaitForChange(before) && WaitForStill();
}

bool tst_ProductWalk::Shot(const QString &sName, Settle settle)
{
    QImage image;
    // A screen that never holds still is a fault of its own (a repaint loop).
    const bool bStill = settle == Settle::Now || WaitForStill(&image);
    if (!bStill)
        qWarning("the screen did not hold still for %s", qUtf8Printable(sName));
    if (image.isNull())
        image = Grab();
    const QString sPath = QDir(sShotDir).filePath(sName + QStringLiteral(".png"));
    QFile::remove(sPath);
    qInfo("screenshot: %s", qUtf8Printable(sPath));
    return bStill && !image.isNull() && image.save(sPath);
}

QJsonArray tst_ProductWalk::ServerRequests()
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply *pReply = manager.get(
        QNetworkRequest(QUrl(QStringLiteral("http://%1:19320/control/requests").arg(sAddress))));
    QEventLoop loop;
    connect(pReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray baBody = pReply->readAll();
    delete pReply;
    return QJsonDocument::fromJson(baBody).array();
}

QJsonArray tst_ProductWalk::RequestsOfKind(const QString &sKind)
{
    QJsonArray jaOut;
    const QJsonArray jaAll = ServerRequests();
    for (const QJsonValue &value : jaAll) {
        if (value.toObject().value("kind").toString() == sKind)
            jaOut.append(value);
    }
    return jaOut;
}

bool tst_ProductWalk::StartDisplayAndProgram()
{
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        xvfb.waitForFinished(10000);
    }
    // A display of our own: the first number from 90 up that nobody holds.
    int nDisplay = 90;
    while (nDisplay < 200 &&
           (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(nDisplay)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(nDisplay))))
        ++nDisplay;
    sDisplay = QStringLiteral(":%1").arg(nDisplay);
    xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // setpriv ends the display and the program with this test, however it ends.
    xvfb.start(QStringLiteral("setpriv"), {"--pdeathsig", "TERM", "--", "Xvfb", sDisplay, "-screen",
                                           "0", "1024x768x24", "-nolisten", "tcp"});
    if (!xvfb.waitForStarted())
        return false;
    qInfo("virtual display %s", qUtf8Printable(sDisplay));
    if (!QTest::qWaitFor([&] { return !Xdo({"getdisplaygeometry"}).trimmed().isEmpty(); }, 20000))
        return false;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), sDisplay);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("UA_SCREENSHOT"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    for (const char *pName :
         {"UPDATEASSIST_SERVER", "UPDATEASSIST_DISKS", "UPDATEASSIST_SERIAL", "TMPDIR"})
        env.insert(QLatin1String(pName), demoEnv.value(QLatin1String(pName)));
    // The desktop's opener only notes what it was given: no viewer starts.
    env.insert(QStringLiteral("PATH"),
               sWalkDir + QStringLiteral("/opener:") + env.value(QStringLiteral("PATH")));
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(sWalkDir + QStringLiteral("/program.log"));
    program.setStandardErrorFile(sWalkDir + QStringLiteral("/program.log"), QIODevice::Append);
    program.start(QStringLiteral("setpriv"),
                  {"--pdeathsig", "TERM", "--", demoEnv.value("UA_PROGRAM")});
    if (!program.waitForStarted())
        return false;
    const bool bShown = QTest::qWaitFor(
        [&] { return program.state() != QProcess::Running || !MainWindowInfo().sId.isEmpty(); },
        60000);
    if (bShown && program.state() == QProcess::Running)
        return true;
    qWarning("the program did not come up on %s:\n%s", qUtf8Printable(sDisplay),
             ReadFile(sWalkDir + QStringLiteral("/program.log")).left(2000).constData());
    return false;
}

void tst_ProductWalk::initTestCase()
{
    for (const char *pTool : {"Xvfb", "xdotool", "import", "setpriv"}) {
        if (QStandardPaths::findExecutable(QLatin1String(pTool)).isEmpty()) {
            QSKIP(qPrintable(QStringLiteral("%1 is not installed: the walk through the window on a "
                                            "virtual display is skipped (scripts/bootstrap "
                                            "installs xvfb, xdotool and imagemagick)")
                                 .arg(QLatin1String(pTool))));
        }
    }
    sWalkDir = QDir::cleanPath(QStringLiteral(UA_BIN_DIR "/../product-walk"));
    // One walk at a time per build tree: they share the folder and the address.
    QVERIFY2(lock.tryLock(15 * 60 * 1000), "another walk holds product-walk.lock");
    sShotDir = sWalkDir + QStringLiteral("/screenshots");
    sWorldDir = qEnvironmentVariable("UA_WALK_WORLD_DIR", sWalkDir + QStringLiteral("/world"));
    sAddress = qEnvironmentVariable("UA_WALK_ADDRESS", QLatin1String(kDefaultAddress));
    QDir(sShotDir).removeRecursively();
    QVERIFY(QDir().mkpath(sShotDir));
    sOpenedLog = sWalkDir + QStringLiteral("/opened.txt");
    QFile::remove(sOpenedLog);
    QVERIFY(QDir().mkpath(sWalkDir + QStringLiteral("/opener")));
    QFile opener(sWalkDir + QStringLiteral("/opener/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
    opener.write(
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >>'%1'\n").arg(sOpenedLog).toUtf8());
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                  QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                  QFile::ExeOther));
    qInfo("screenshots of the walk: %s", qUtf8Printable(sShotDir));

    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(QStringLiteral(UA_SOURCE_DIR "/scripts/run-demo"),
               {"--no-build", "--world-only", "--no-saved-login", "--build-dir",
                QStringLiteral(UA_BIN_DIR "/.."), "--demo-dir", sWorldDir, "--address", sAddress});
    QVERIFY(demo.waitForStarted());
    QByteArray baDemoOut;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     baDemoOut += demo.readAll();
                     return baDemoOut.contains("demo world ready") ||
                            demo.state() != QProcess::Running;
                 },
                 60000),
             "run-demo did not lay out the world in time");
    QVERIFY2(baDemoOut.contains("demo world ready"), baDemoOut.constData());

    const QStringList slLines =
        QString::fromUtf8(ReadFile(sWorldDir + QStringLiteral("/demo.env"))).split('\n');
    for (const QString &sLine : slLines) {
        const int nEq = sLine.indexOf('=');
        if (nEq > 0)
            demoEnv.insert(sLine.left(nEq), sLine.mid(nEq + 1));
    }
    QVERIFY(QFileInfo(demoEnv.value("UA_PROGRAM")).isExecutable());

    // On a machine shared with other X users a fresh display has been seen to
    // refuse the program's connection now and then: try another one.
    for (int nAttempt = 0; nAttempt < 3 && !bReady; ++nAttempt)
        bReady = StartDisplayAndProgram();
    QVERIFY2(bReady, qPrintable(QStringLiteral("the program did not show its window; see %1")
                                    .arg(sWalkDir + QStringLiteral("/program.log"))));
}

void tst_ProductWalk::init()
{
    if (!bReady)
        QSKIP("the demo world or the program did not start");
    if (bStepFailed)
        QSKIP("an earlier step of the walk failed");
    QVERIFY2(program.state() == QProcess::Running, "the program is no longer running");
}

void tst_ProductWalk::cleanup()
{
    if (QTest::currentTestFailed()) {
        bStepFailed = true;
        Shot(QStringLiteral("failed-") + QLatin1String(QTest::currentTestFunction()), Settle::Now);
    }
}

void tst_ProductWalk::signInThroughLoginWindow()
{
    // Nobody has signed in on this computer yet: the login window opens by itself.
    WindowInfo login;
    QVERIFY2(WaitForWindow(
                 [](const WindowInfo &w) { return w.sName == QStringLiteral("用户登录"); }, &login),
             "the login window did not open");
    QVERIFY(Shot("01-login-window"));

    // The account field has the focus when the window opens.
    Xdo({"windowfocus", "--sync", login.sId});
    Xdo({"type", "--delay", "40", "demo"});
    Xdo({"key", "Tab"});
    Xdo({"type", "--delay", "40", "demo1234"});
    QVERIFY(Shot("02-login-filled"));
    Xdo({"key", "Return"});

    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QList<WindowInfo> windows = VisibleWindows();
                     return std::none_of(windows.cbegin(), windows.cend(), [](const WindowInfo &w) {
                         return w.sName == QStringLiteral("用户登录");
                     });
                 },
                 kStepTimeoutMs),
             "the login window did not close after signing in");
    const QJsonArray jaLogins = RequestsOfKind("login");
    QVERIFY(!jaLogins.isEmpty());
    QCOMPARE(jaLogins.last().toObject().value("data").toObject().value("username").toString(),
             QStringLiteral("demo"));
}

void tst_ProductWalk::catalogueListsWhatIsNewer()
{
    QVERIFY2(
        QTest::qWaitFor([&] { return !RequestsOfKind("catalogue").isEmpty(); }, kStepTimeoutMs),
        "no catalogue request reached the server");
    const QJsonObject joData =
        RequestsOfKind("catalogue").last().toObject().value("data").toObject();
    QCOMPARE(joData.value("sn").toString(), QStringLiteral("D520000000001"));
    QCOMPARE(joData.value("devtype").toString(), QStringLiteral("kx520"));
    QVERIFY(MainWindowInfo().rect.isValid());
    QVERIFY(Shot("03-catalogue"));
}

void tst_ProductWalk::oneClickDownloadFlashesFirmware()
{
    const WindowInfo main = MainWindowInfo();
    QVERIFY(!main.sId.isEmpty());
    // Select every row ("全选", bottom left), then "一键下载" (bottom right).
    QVERIFY2(ClickAndSettle(main, 96, -51), "\"全选\" checked no row");
    QVERIFY(Shot("04-all-selected"));
    Click(main, -60, -51);

    // The firmware window comes when the downloads are done...
    WindowInfo firmware;
    // (Tool tips and other small helper windows do not count.)
    QVERIFY2(WaitForWindow(
                 [&](const WindowInfo &w) {
                     return w.sId != main.sId && w.rect.width() >= 150 && w.rect.height() >= 50;
                 },
                 &firmware, 60000),
             "the firmware window did not open");
    qInfo("firmware window: %s \"%s\" %dx%d", qUtf8Printable(firmware.sId),
          qUtf8Printable(firmware.sName), firmware.rect.width(), firmware.rect.height());
    // Taken at once: its progress moves until it closes.
    QVERIFY(Shot("05-firmware-window", Settle::Now));
    // ...and goes once the image is in the device.
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QList<WindowInfo> windows = VisibleWindows();
                     return std::none_of(
                         windows.cbegin(), windows.cend(),
                         [&](const WindowInfo &w) { return w.sId == firmware.sId; });
                 },
                 60000),
             "the firmware window did not close");
    // It says that the firmware is in the device; Return answers it.
    WindowInfo written;
    QVERIFY2(WaitForWindow(
                 [&](const WindowInfo &w) {
                     return w.sId != main.sId && w.sId != firmware.sId && w.rect.width() >= 150 &&
                            w.rect.height() >= 50;
                 },
                 &written),
             "no word that the firmware was written");
    QVERIFY(Shot("06-firmware-written"));
    Xdo({"windowfocus", "--sync", written.sId});
    Xdo({"key", "Return"});
    QVERIFY2(QTest::qWaitFor([&] { return VisibleWindows().size() == 1; }, kStepTimeoutMs),
             "the message did not close");
    QVERIFY(Shot("06-downloaded"));

    const QString sDisk = demoEnv.value("UPDATEASSIST_DISKS");
    const QString sPackages = sWorldDir + QStringLiteral("/server/packages");
    // The main program came down and went into the device.
    const QByteArray baMain = Md5Of(sPackages + QStringLiteral("/10-home/files/MAIN.bin"));
    QCOMPARE(Md5Of(sDisk + QStringLiteral("/Home/MAIN.bin")), baMain);
    QCOMPARE(Md5Of(sWorldDir + QStringLiteral("/device/flashed.bin")), baMain);
    // The device now runs the new version (the program is idle, the port free).
    device::SetSerialOverride(demoEnv.value("UPDATEASSIST_SERIAL"));
    QCOMPARE(device::ReadFirmwareVersion(), QStringLiteral("V1.3"));
    // Every selected package is on the disk with its installed manifest.
    const QList<QPair<QString, QString>> installed = {
        {"Home", "V1.3"}, {"Diag/VW", "V2.10"}, {"Diag/Toyota", "V1.05"}};
    for (const auto &package : installed) {
        const QJsonObject joManifest =
            QJsonDocument::fromJson(ReadFile(sDisk + '/' + package.first + "/Update.json"))
                .object();
        QCOMPARE(joManifest.value("rev").toString(), package.second);
    }
    QCOMPARE(Md5Of(sDisk + QStringLiteral("/Diag/Toyota/lib/toyota dtc.db")),
             Md5Of(sPackages + QStringLiteral("/30-toyota/files/lib/toyota dtc.db")));
    QCOMPARE(Md5Of(sDisk + QStringLiteral("/Diag/VW/VW.bin")),
             Md5Of(sPackages + QStringLiteral("/20-vw/files/VW.bin")));
    // The file both makes share, outside their folders.
    QCOMPARE(Md5Of(sDisk + QStringLiteral("/Diag/Common/obd2.db")),
             Md5Of(sPackages + QStringLiteral("/20-vw/disk/Diag/Common/obd2.db")));
    // Only what changed was fetched: the Volkswagen trouble-code library was
    // already on the disk in its new form.
    const QJsonArray jaFiles = RequestsOfKind("files");
    QStringList slFetched;
    for (const QJsonValue &value : jaFiles)
        slFetched << value.toObject().value("path").toString();
    QVERIFY2(slFetched.filter("VW.bin").size() == 1, qPrintable(slFetched.join(' ')));
    QVERIFY2(slFetched.filter("vw_dtc.db").isEmpty(), qPrintable(slFetched.join(' ')));
    // Mercedes-Benz was up to date and the immobiliser package is for another
    // device type: neither was offered, so neither was fetched.
    QVERIFY(slFetched.filter("BENZ.bin").isEmpty());
    QVERIFY(slFetched.filter("IMMO.bin").isEmpty());
}

void tst_ProductWalk::uninstallPageListsInstalledPackages()
{
    const WindowInfo main = MainWindowInfo();
    QVERIFY2(ClickAndSettle(main, 41, 145), "\"卸载\" did not open its page");
    QVERIFY(Shot("07-uninstall-page"));
    // The page only lists; nothing was removed by opening it.
    const QString sDisk = demoEnv.value("UPDATEASSIST_DISKS");
    QVERIFY(QFileInfo::exists(sDisk + QStringLiteral("/Diag/Benz/BENZ.bin")));
    QVERIFY(QFileInfo::exists(sDisk + QStringLiteral("/Diag/VW/Update.json")));
}

// The demo's "config.ini" shows the data pages' tool button.
void tst_ProductWalk::dataPagesListTheRecords()
{
    const WindowInfo main = MainWindowInfo();
    QVERIFY2(ClickAndSettle(main, 41, 213), "\"数据\" did not open its page");
    QVERIFY(Shot("08-data-pages"));
    const QString sConfig = sWorldDir + QStringLiteral("/program/config.ini");
    QVERIFY(QSettings(sConfig, QSettings::IniFormat).value("config/datapages").toBool());
}

// Pick three values of the first data stream, in an order of one's own, and
// replay the recording (8 frames, one a second).
void tst_ProductWalk::dataStreamReplays()
{
    const WindowInfo main = MainWindowInfo();
    QVERIFY2(ClickAndSettle(main, kReportButtonX, RecordRowY(0)), // "DS_ENGINE_1.dat"
             "the data stream's items did not open");
    QVERIFY(Shot("09-data-stream-items"));
    const QImage unchosen = Grab();
    for (const int nRow : {4, 0, 1}) // throttle, engine speed, coolant
        Click(main, 91, RecordRowY(nRow));
    QVERIFY2(WaitForChange(unchosen) && WaitForStill(), "no item was checked");
    QVERIFY(Shot("10-data-stream-chosen"));
    QVERIFY2(ClickAndSettle(main, 751, 552), "\"确认\" did not open the values"); // "确认"

    // The play button shows pause while the replay runs, play again once it
    // ends. Only its icon is compared: the bar just above it moves.
    const QRect playIcon(98 - 7, 552 - 7, 14, 14);
    const QImage playLook = GrabPart(main, playIcon);
    QVERIFY(!playLook.isNull());
    Click(main, 98, 552); // play
    QVERIFY2(QTest::qWaitFor([&] { return Differs(GrabPart(main, playIcon), playLook, 0); },
                             kStepTimeoutMs),
             "the replay did not start");
    QVERIFY(Shot("11-data-stream-replaying", Settle::Now)); // the values move
    const QImage pauseLook = GrabPart(main, playIcon);
    QVERIFY2(QTest::qWaitFor([&] { return Differs(GrabPart(main, playIcon), pauseLook, 0); },
                             kStepTimeoutMs),
             "the replay did not end");
    QVERIFY(Shot("12-data-stream-replayed"));
    QVERIFY2(ClickAndSettle(main, 751, 552), "\"返回\" did not leave the values");
    QVERIFY2(ClickAndSettle(main, 625, 552), "\"返回\" did not leave the items");
}

// A freeze frame, a system scan and a vehicle version, each as a report.
void tst_ProductWalk::reportOfEachKind()
{
    const WindowInfo main = MainWindowInfo();
    const QList<QPair<int, QString>> kinds = {
        {4, "13-freeze-frame-report"}, {6, "14-system-scan-report"}, {8, "15-version-report"}};
    for (const auto &kind : kinds) {
        QVERIFY2(ClickAndSettle(main, kReportButtonX, RecordRowY(kind.first)),
                 qPrintable(kind.second + QStringLiteral(" did not open")));
        QVERIFY(Shot(kind.second));
        QVERIFY2(ClickAndSettle(main, 549, 553), "\"返回\" did not leave the report");
    }
}

// The trouble-code report previewed, then saved as PDF through the save
// dialog; the program hands the file to the desktop, which is to open it.
void tst_ProductWalk::troubleCodeReportSavedAsPdf()
{
    const WindowInfo main = MainWindowInfo();
    QVERIFY2(ClickAndSettle(main, kReportButtonX, RecordRowY(2)), // "DTC_ENGINE_1.dat"
             "the trouble-code report did not open");
    QVERIFY(Shot("16-trouble-code-report"));
    Click(main, 655, 553); // "保存"
    WindowInfo dialog;
    QVERIFY2(WaitForWindow([](const WindowInfo &w) { return w.sName == QStringLiteral("保存"); },
                           &dialog),
             "the save dialog did not open");
    const QString sPdf = sWalkDir + QStringLiteral("/trouble-code-report.pdf");
    QFile::remove(sPdf);
    Xdo({"windowfocus", "--sync", dialog.sId});
    Xdo({"type", "--delay", "20", sPdf});
    QVERIFY(Shot("17-save-dialog"));
    Xdo({"key", "Return"});
    QVERIFY2(QTest::qWaitFor([&] { return ReadFile(sOpenedLog).contains(QFile::encodeName(sPdf)); },
                             kStepTimeoutMs),
             "the saved report was not handed to the desktop to open");
    QCOMPARE(QString::fromUtf8(ReadFile(sOpenedLog)).trimmed(),
             QUrl::fromLocalFile(sPdf).toString());
    QVERIFY(Shot("18-report-saved"));
    QVERIFY2(ClickAndSettle(main, 549, 553), "\"返回\" did not leave the report");

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {"-layout", sPdf, "-"});
    QVERIFY(pdftotext.waitForFinished(30000));
    // pdftotext keeps the ligatures the text was drawn with and may or may
    // not see the blanks around the small footer's "/".
    QString sText = QString::fromUtf8(pdftotext.readAllStandardOutput());
    const QList<QPair<QChar, QString>> ligatures = {{QChar(0xFB00), "ff"},
                                                    {QChar(0xFB01), "fi"},
                                                    {QChar(0xFB02), "fl"},
                                                    {QChar(0xFB03), "ffi"},
                                                    {QChar(0xFB04), "ffl"}};
    for (const auto &ligature : ligatures)
        sText.replace(ligature.first, ligature.second);
    QStringList slLines;
    for (const QString &sLine : sText.split('\n'))
        slLines << sLine.simplified().replace(QStringLiteral(" / "), QStringLiteral("/"));
    slLines.removeAll(QString());
    const QStringList slExpected = {
        "车辆诊断报告",
        "车辆信息",
        "Brand:Volkswagen Golf 1.4 TSI",
        "Engine",
        "故障码 状态 描述",
        "P0301 Current Cylinder 1 misfire detected",
        "P0420 History Catalyst system efficiency below threshold (bank 1)",
        "P0171 Current System too lean (bank 1)",
        "1/1"};
    QCOMPARE(slLines, slExpected);
}

void tst_ProductWalk::switchLanguageToEnglish()
{
    const WindowInfo main = MainWindowInfo();
    Click(main, 41, -72); // "设置" at the foot of the side bar
    WindowInfo settings;
    QVERIFY2(WaitForWindow([](const WindowInfo &w) { return w.sName == QStringLiteral("设置"); },
                           &settings),
             "the settings dialog did not open");
    QVERIFY(Shot("19-settings"));

    // Open the language list, go down to English (the third entry), apply.
    QVERIFY2(ClickAndSettle(settings, settings.rect.width() / 2 + 20, 65),
             "the language list did not open");
    QVERIFY(Shot("20-language-list"));
    const QImage listOpen = Grab();
    Xdo({"key", "Down", "Down", "Return"});
    QVERIFY2(WaitForChange(listOpen), "the language list did not close");
    QVERIFY2(ClickAndSettle(settings, -37, -35), "applying the settings changed nothing");

    const QString sConfig = sWorldDir + QStringLiteral("/program/config.ini");
    QVERIFY2(
        QTest::qWaitFor(
            [&] {
                return QSettings(sConfig, QSettings::IniFormat).value("config/language").toInt() ==
                       2;
            },
            kStepTimeoutMs),
        "config.ini does not hold English");
    QVERIFY(Shot("21-english"));

    // The other pages and the dialog speak English too.
    const WindowInfo mainAgain = MainWindowInfo();
    QVERIFY2(ClickAndSettle(mainAgain, 41, 77), "\"Download\" did not open its page");
    QVERIFY(Shot("22-english-download"));
    Click(mainAgain, 41, -72);
    WindowInfo settingsAgain;
    QVERIFY2(
        WaitForWindow([&](const WindowInfo &w) { return w.sId != mainAgain.sId; }, &settingsAgain),
        "the settings dialog did not open again");
    QVERIFY(Shot("23-english-settings"));
    Click(settingsAgain, -21, 16); // its close button
    QVERIFY2(QTest::qWaitFor([&] { return VisibleWindows().size() == 1; }, kStepTimeoutMs),
             "the settings dialog did not close");
}

void tst_ProductWalk::closingWindowEndsProgram()
{
    const WindowInfo main = MainWindowInfo();
    Click(main, -17, 17); // the close button of the title bar
    QVERIFY2(program.waitForFinished(kStepTimeoutMs), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void tst_ProductWalk::cleanupTestCase()
{
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
    if (demo.state() != QProcess::NotRunning) {
        // run-demo stops what it started: the server and the device.
        demo.terminate();
        QVERIFY(demo.waitForFinished(20000));
        const qint64 nServer = demoEnv.value("DEMO_SERVER_PID").toLongLong();
        const qint64 nDevice = demoEnv.value("DEMO_DEVICE_PID").toLongLong();
        QVERIFY2(QTest::qWaitFor([&] { return !ProcessAlive(nServer) && !ProcessAlive(nDevice); },
                                 10000),
                 "the server or the device outlived run-demo");
    }
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        xvfb.waitForFinished(10000);
    }
    if (!sShotDir.isEmpty())
        qInfo("screenshots of the walk: %s", qUtf8Printable(sShotDir));
}

QTEST_GUILESS_MAIN(tst_ProductWalk)
#include "tst_ProductWalk.moc"
