// The update flow on Windows against the Linux stand-in server and its demo
// world (scripts/windows/test starts it, names its folder in UA_TEST_DEMO_WORLD
// and maps the world's device disk as the removable drive UA_TEST_REMOVABLE_DRIVE).
//
// The program itself finds the device disk, signs in with its remembered
// account and shows the device's model. Its next step, asking the device for
// its identifier over the serial port, cannot be taken under Wine: Wine's serial
// ports need a real serial line (a pseudo-terminal, where the simulated device
// lives, lacks the interrupt counters Wine waits on). So the catalogue, the
// download-information request and the package transfer onto the drive run
// here with the program's own components, as the window runs them after the
// click on "一键下载". The outcome is read from the disk and the server's log.
#include "accounts/AccountCommands.h"
#include "accounts/PasswordDigest.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"
#include "update/DownloadRequest.h"
#include "update/InstalledManifest.h"
#include "update/UpdateCatalogue.h"

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

} // namespace

class tst_WinUpdateWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void programFindsTheDiskAndSignsIn();
    void programClosesCleanly();
    void packagesComeDownOntoTheDrive();

private:
    QString sWorld;
    QString sServer;
    QString sDrive;
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
    sDrive = qEnvironmentVariable("UA_TEST_REMOVABLE_DRIVE");
    if (sWorld.isEmpty() || sDrive.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no demo world, drive or display (scripts/windows/test prepares them under Wine)");
    QSettings demoEnv(sWorld + QStringLiteral("/demo.env"), QSettings::IniFormat);
    sServer = demoEnv.value(QStringLiteral("UPDATEASSIST_SERVER")).toString();
    const QString sDisk = demoEnv.value(QStringLiteral("UPDATEASSIST_DISKS")).toString();
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
    env.insert(QStringLiteral("UPDATEASSIST_SERVER"), sServer);
    // The same disk once more as a folder, named the Windows way.
    env.insert(QStringLiteral("UPDATEASSIST_DISKS"), WindowsPath(sDisk));
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

void tst_WinUpdateWalk::programFindsTheDiskAndSignsIn()
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
    QVERIFY2(QTest::qWaitFor([&] { return !RequestsOfKind("login").isEmpty(); }, kStepTimeoutMs),
             "no login request reached the server");
    const QJsonArray jaLogins = RequestsOfKind("login");
    QCOMPARE(jaLogins.last().toObject().value("data").toObject().value("username").toString(),
             QStringLiteral("demo"));
    // The model named after the serial number on the removable drive.
    QVERIFY(QTest::qWaitFor(
        [&] { return TitleOf(hMain) == QStringLiteral("KX520 Update Assist 1.00"); }, 30000));
}

void tst_WinUpdateWalk::programClosesCleanly()
{
    QVERIFY(hMain != nullptr);
    // Whatever it opened over the main window goes first, as a user would close it.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (HWND hOther : VisibleWindows(program)) {
                if (hOther != hMain)
                    PostMessageW(hOther, WM_CLOSE, 0, 0);
            }
            return VisibleWindows(program).size() == 1;
        },
        30000));
    QVERIFY(PostMessageW(hMain, WM_CLOSE, 0, 0));
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(programDir.filePath(QStringLiteral("crash.dmp"))));
}

void tst_WinUpdateWalk::packagesComeDownOntoTheDrive()
{
    curl_global_init(CURL_GLOBAL_ALL);
    SetServerAddress(sServer);
    QVERIFY(
        SendLogin(QStringLiteral("demo"), PasswordDigest(QStringLiteral("demo1234"))).IsSuccess());
    bool bOk = false;
    const QString sSN = QStringLiteral("D520000000001");
    // What the device answers over its serial port in the Linux walk.
    const QString sDevID = QStringLiteral("KX520-D520000000001");
    const CommandReply catalogue =
        SendSealedCommand(CommandCatalogue, CatalogueRequestData(sDevID, sSN, false));
    QVERIFY2(catalogue.IsSuccess(), catalogue.baPlain.constData());
    const QList<CatalogueEntry> entries = ListedPackages(
        catalogue.joReply, [] { return QStringLiteral("V1.2"); }, // the demo device's firmware
        [&](const QJsonObject &joPackage) { return LocalVersionOf(sDrive, QString(), joPackage); });
    QStringList slListed;
    for (const CatalogueEntry &entry : entries)
        slListed << entry.sDir + ' ' + entry.sLocalVersion + " -> " + entry.sServerVersion;
    qInfo("listed: %s", qPrintable(slListed.join(QStringLiteral(", "))));

    for (const CatalogueEntry &entry : entries) {
        DownloadRequest request;
        request.sDir = entry.sDir;
        request.sBranch = entry.sBranch;
        request.sDevID = sDevID;
        request.sSN = sSN;
        request.sDisk = sDrive;
        const CommandReply reply =
            SendSealedCommand(CommandDownloadList, DownloadRequestData(request));
        const QList<QJsonObject> packages =
            RowPackages(reply.joReply, reply.bParsed, request, &bOk);
        QVERIFY2(bOk && !packages.isEmpty(), qPrintable(entry.sDir));
        for (const QJsonObject &joPackage : packages) {
            DiffDownload downloader;
            QSignalSpy finished(&downloader, &DiffDownload::DownloadFinish);
            downloader.SetSavePath(sDrive);
            downloader.SetPackageJson(joPackage);
            downloader.StartDownload();
            QCOMPARE(finished.size(), 1);
            QCOMPARE(finished.at(0).at(1).toInt(), 0); // no file failed
            QVERIFY(InstalledManifest::Save(sDrive, joPackage, QString()));
        }
    }

    // Every listed package is on the drive with its installed manifest.
    const QList<QPair<QString, QString>> installed = {
        {"Home", "V1.3"}, {"Diag/VW", "V2.10"}, {"Diag/Toyota", "V1.05"}};
    for (const auto &package : installed) {
        QFile file(sDrive + '/' + package.first + QStringLiteral("/Update.json"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(package.first));
        QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value("rev").toString(),
                 package.second);
    }
    const QString sPackages = sWorld + QStringLiteral("/server/packages");
    QCOMPARE(Md5Of(sDrive + QStringLiteral("/Diag/Toyota/lib/toyota dtc.db")),
             Md5Of(sPackages + QStringLiteral("/30-toyota/files/lib/toyota dtc.db")));
    QCOMPARE(Md5Of(sDrive + QStringLiteral("/Diag/VW/VW.bin")),
             Md5Of(sPackages + QStringLiteral("/20-vw/files/VW.bin")));
    QCOMPARE(Md5Of(sDrive + QStringLiteral("/Home/MAIN.bin")),
             Md5Of(sPackages + QStringLiteral("/10-home/files/MAIN.bin")));
    // Only what changed was fetched: the Volkswagen trouble-code library was
    // already on the disk in its new form.
    QStringList slFetched;
    for (const QJsonValue &value : RequestsOfKind("files"))
        slFetched << value.toObject().value("path").toString();
    QVERIFY2(slFetched.filter("VW.bin").size() == 1, qPrintable(slFetched.join(' ')));
    QVERIFY2(slFetched.filter("vw_dtc.db").isEmpty(), qPrintable(slFetched.join(' ')));
}

QTEST_GUILESS_MAIN(tst_WinUpdateWalk)
#include "tst_WinUpdateWalk.moc"
