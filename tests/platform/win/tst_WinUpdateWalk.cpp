// The update flow of the Windows program, end to end: against the Linux
// stand-in server and its demo world (scripts/windows/test starts it and names
// its folder in UA_TEST_DEMO_WORLD), the program signs in with its remembered
// account, lists the catalogue, and one click brings the packages onto the
// device disk folder. The outcome is read from the disk and the server's log.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <windows.h>

namespace
{
const int kStepTimeoutMs = 120000;

QByteArray Md5Of(const QString &sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result().toHex();
}

// "Z:\..." for a Linux path: how a Windows program names it under Wine.
QString WindowsPath(const QString &sLinuxPath)
{
    return QStringLiteral("Z:") + QDir::toNativeSeparators(sLinuxPath);
}

struct WindowSearch {
    DWORD nProcessId;
    QList<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hWindow, LPARAM lParam)
{
    auto *pSearch = reinterpret_cast<WindowSearch *>(lParam);
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWindow, &nProcessId);
    if (nProcessId == pSearch->nProcessId && IsWindowVisible(hWindow))
        pSearch->windows << hWindow;
    return TRUE;
}

QList<HWND> VisibleWindows(const QProcess &process)
{
    WindowSearch search = {DWORD(process.processId()), {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

QString TitleOf(HWND hWindow)
{
    wchar_t szTitle[256] = {};
    GetWindowTextW(hWindow, szTitle, 255);
    return QString::fromWCharArray(szTitle);
}

// A left click at a point of the window; negative coordinates count from the
// right and bottom edges (the main window is frameless: its client area is all of it).
void Click(HWND hWindow, int nX, int nY)
{
    RECT rect = {};
    GetClientRect(hWindow, &rect);
    const int nPosX = nX >= 0 ? nX : rect.right + nX;
    const int nPosY = nY >= 0 ? nY : rect.bottom + nY;
    const LPARAM lPos = MAKELPARAM(nPosX, nPosY);
    PostMessageW(hWindow, WM_MOUSEMOVE, 0, lPos);
    PostMessageW(hWindow, WM_LBUTTONDOWN, MK_LBUTTON, lPos);
    PostMessageW(hWindow, WM_LBUTTONUP, 0, lPos);
}
} // namespace

class tst_WinUpdateWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void signsInAndListsTheCatalogue();
    void oneClickDownloadFillsTheDisk();
    void closesCleanly();

private:
    QString sWorld;
    QString sServer;
    QString sDisk;
    QTemporaryDir programDir;
    QProcess program;
    HWND hMain = nullptr;

    QJsonArray RequestsOfKind(const QString &sKind);
};

QJsonArray tst_WinUpdateWalk::RequestsOfKind(const QString &sKind)
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply *pReply = manager.get(
        QNetworkRequest(QUrl(QStringLiteral("http://%1:19320/control/requests").arg(sServer))));
    QEventLoop loop;
    connect(pReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QJsonArray jaAll = QJsonDocument::fromJson(pReply->readAll()).array();
    delete pReply;
    QJsonArray jaOut;
    for (const QJsonValue &value : jaAll) {
        if (value.toObject().value("kind").toString() == sKind)
            jaOut.append(value);
    }
    return jaOut;
}

void tst_WinUpdateWalk::initTestCase()
{
    sWorld = qEnvironmentVariable("UA_TEST_DEMO_WORLD");
    if (sWorld.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no demo world or display (scripts/windows/test starts both under Wine)");
    QSettings demoEnv(sWorld + QStringLiteral("/demo.env"), QSettings::IniFormat);
    sServer = demoEnv.value(QStringLiteral("UPDATEASSIST_SERVER")).toString();
    sDisk = demoEnv.value(QStringLiteral("UPDATEASSIST_DISKS")).toString();
    QVERIFY(!sServer.isEmpty() && !sDisk.isEmpty());

    // The program in a folder of its own, with the demo's remembered account.
    QVERIFY(programDir.isValid());
    const QString sBin = QStringLiteral(UA_BIN_DIR);
    QVERIFY(QFile::copy(sBin + QStringLiteral("/UpdateAssist.exe"),
                        programDir.filePath(QStringLiteral("UpdateAssist.exe"))));
    QVERIFY(QFile::copy(sWorld + QStringLiteral("/program/User.bin"),
                        programDir.filePath(QStringLiteral("User.bin"))));
    QVERIFY(QDir().mkpath(programDir.filePath(QStringLiteral("Lang"))));
    QVERIFY(QFile::copy(sBin + QStringLiteral("/Lang/language.txt"),
                        programDir.filePath(QStringLiteral("Lang/language.txt"))));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("windows"));
    env.insert(QStringLiteral("UPDATEASSIST_SERVER"), sServer);
    env.insert(QStringLiteral("UPDATEASSIST_DISKS"), WindowsPath(sDisk));
    env.insert(QStringLiteral("UPDATEASSIST_SERIAL"), qEnvironmentVariable("UA_TEST_DEVICE_PORT"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(programDir.filePath(QStringLiteral("UpdateAssist.exe")), QStringList());
    QVERIFY(program.waitForStarted(60000));
}

void tst_WinUpdateWalk::cleanupTestCase()
{
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(30000);
    }
}

void tst_WinUpdateWalk::signsInAndListsTheCatalogue()
{
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     for (HWND hWindow : VisibleWindows(program)) {
                         if (TitleOf(hWindow).contains(QStringLiteral("Update Assist")))
                             hMain = hWindow;
                     }
                     return hMain != nullptr;
                 },
                 kStepTimeoutMs),
             "the main window did not open");
    // Wine's sockets reach the Linux server on the loopback network.
    QVERIFY2(QTest::qWaitFor([&] { return !RequestsOfKind("catalogue").isEmpty(); },
                             kStepTimeoutMs),
             "no catalogue request reached the server");
    const QJsonArray jaLogins = RequestsOfKind("login");
    QVERIFY(!jaLogins.isEmpty());
    QCOMPARE(jaLogins.last().toObject().value("data").toObject().value("username").toString(),
             QStringLiteral("demo"));
    const QJsonObject joData =
        RequestsOfKind("catalogue").last().toObject().value("data").toObject();
    QCOMPARE(joData.value("sn").toString(), QStringLiteral("D520000000001"));
    QCOMPARE(joData.value("devtype").toString(), QStringLiteral("kx520"));
    QCOMPARE(TitleOf(hMain), QStringLiteral("KX520 Update Assist 1.00"));
    // The wait prompt goes once the catalogue is in the table.
    QVERIFY(QTest::qWaitFor([&] { return VisibleWindows(program).size() == 1; }, kStepTimeoutMs));
}

void tst_WinUpdateWalk::oneClickDownloadFillsTheDisk()
{
    QVERIFY(hMain != nullptr);
    // Select every row ("全选", bottom left), then "一键下载" (bottom right).
    Click(hMain, 96, -51);
    QTest::qWait(500);
    Click(hMain, -60, -51);

    const QList<QPair<QString, QString>> installed = {{"Diag/VW", "V2.10"},
                                                      {"Diag/Toyota", "V1.05"}};
    auto revisionOf = [&](const QString &sPackage) {
        QFile file(sDisk + '/' + sPackage + QStringLiteral("/Update.json"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QJsonDocument::fromJson(file.readAll()).object().value("rev").toString();
    };
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     for (const auto &package : installed) {
                         if (revisionOf(package.first) != package.second)
                             return false;
                     }
                     return true;
                 },
                 kStepTimeoutMs),
             "the packages did not arrive with their manifests");
    const QString sPackages = sWorld + QStringLiteral("/server/packages");
    QCOMPARE(Md5Of(sDisk + QStringLiteral("/Diag/Toyota/lib/toyota dtc.db")),
             Md5Of(sPackages + QStringLiteral("/30-toyota/files/lib/toyota dtc.db")));
    QCOMPARE(Md5Of(sDisk + QStringLiteral("/Diag/VW/VW.bin")),
             Md5Of(sPackages + QStringLiteral("/20-vw/files/VW.bin")));
    QVERIFY(QTest::qWaitFor(
        [&] {
            return Md5Of(sDisk + QStringLiteral("/Home/MAIN.bin")) ==
                   Md5Of(sPackages + QStringLiteral("/10-home/files/MAIN.bin"));
        },
        kStepTimeoutMs));
    // The firmware went into the simulated device through Wine's serial port.
    if (!qEnvironmentVariableIsEmpty("UA_TEST_DEVICE_PORT")) {
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return Md5Of(sWorld + QStringLiteral("/device/flashed.bin")) ==
                                Md5Of(sPackages + QStringLiteral("/10-home/files/MAIN.bin"));
                     },
                     kStepTimeoutMs),
                 "the firmware did not reach the device");
        // Its window goes once the image is in.
        QVERIFY(QTest::qWaitFor([&] { return VisibleWindows(program).size() == 1; },
                                kStepTimeoutMs));
    }
    // Only what changed was fetched.
    QStringList slFetched;
    for (const QJsonValue &value : RequestsOfKind("files"))
        slFetched << value.toObject().value("path").toString();
    QVERIFY2(slFetched.filter("VW.bin").size() == 1, qPrintable(slFetched.join(' ')));
    QVERIFY2(slFetched.filter("vw_dtc.db").isEmpty(), qPrintable(slFetched.join(' ')));
}

void tst_WinUpdateWalk::closesCleanly()
{
    QVERIFY(hMain != nullptr);
    // Whatever the firmware step shows goes away with the program.
    QVERIFY(PostMessageW(hMain, WM_CLOSE, 0, 0));
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_WinUpdateWalk)
#include "tst_WinUpdateWalk.moc"
