#include "app/SingleApplication.h"
#include "platform/InstanceGuard.h"

#include <QLocalServer>
#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

// This test process is the first copy: its application object is a
// SingleApplication. It starts itself again as a second copy
// (UA_SINGLE_CHILD=1), which must find the first and leave. Both share a
// private XDG_RUNTIME_DIR, where the local socket lives, and a private TMPDIR,
// so nothing else interferes. Copies started with UA_SINGLE_CHILD=hold print
// "first" when they are the first copy and then stay until their standard
// input closes; the tests start them in folders of their own, some as the
// user nobody, without a runtime folder unless the test gives them one.
class tst_SingleApplication : public QObject
{
    Q_OBJECT
private slots:
    void firstCopyOwnsTheName();
    void secondCopyLeavesAndFirstComesForward();
    void hiddenWindowIsOnlyActivated();
    void privateFolder_data();
    void privateFolder();
    void usersAreGuardedApart_data();
    void usersAreGuardedApart();
    void squattedTempFolderLeavesTheGuardOn();
    void simultaneousStartsLeaveOne();
    void startWaitsForACopyThatIsDeciding();
    void busyFirstCopyIsNotTakenOver();
};

namespace
{
SingleApplication *App()
{
    return static_cast<SingleApplication *>(qApp);
}

struct ChildResult {
    int nExitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray baStderr;
};

constexpr uid_t kNobody = 65534;

// A copy in hold mode, started in the temporary folder sTmp as root or as nobody.
class HeldCopy
{
public:
    enum class Outcome { First, Duplicate, Failed };

    HeldCopy(const QString &sTmp, bool bNobody, const QString &sRuntime = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("UA_SINGLE_CHILD", "hold");
        env.insert("TMPDIR", sTmp);
        if (sRuntime.isEmpty())
            env.remove("XDG_RUNTIME_DIR");
        else
            env.insert("XDG_RUNTIME_DIR", sRuntime);
        env.insert("HOME", sTmp);
        process.setProcessEnvironment(env);
        const QString sSelf = QCoreApplication::applicationFilePath();
        if (bNobody)
            process.start("setpriv",
                          {"--reuid=65534", "--regid=65534", "--clear-groups", "--", sSelf});
        else
            process.start(sSelf, QStringList());
    }
    // Copies wait for this before they look for a first copy, so that many can start at once.
    void Go()
    {
        process.waitForStarted();
        process.write("g");
        process.waitForBytesWritten();
    }
    ~HeldCopy()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(10000);
    }
    HeldCopy(const HeldCopy &) = delete;
    HeldCopy &operator=(const HeldCopy &) = delete;

    // First: it said so and runs on; Duplicate: it left with 0 and the usual line.
    Outcome Wait()
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            baOut += process.readAllStandardOutput();
            if (baOut.contains("first\n"))
                return Outcome::First;
            if (process.state() == QProcess::NotRunning) {
                baOut += process.readAllStandardOutput();
                if (baOut.contains("first\n"))
                    return Outcome::First;
                baErr = process.readAllStandardError();
                const bool bDuplicate = process.exitStatus() == QProcess::NormalExit &&
                                        process.exitCode() == 0 &&
                                        baErr.endsWith("already running.\n");
                return bDuplicate ? Outcome::Duplicate : Outcome::Failed;
            }
            process.waitForReadyRead(20);
        }
        return Outcome::Failed;
    }
    QByteArray Errors() { return baErr + process.readAllStandardError(); }
    bool SaidFirst()
    {
        baOut += process.readAllStandardOutput();
        return baOut.contains("first\n");
    }
    // Whether the copy has the file sPath open.
    bool HasOpen(const QString &sPath) const
    {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(process.processId()));
        const QStringList slFds = fds.entryList(QDir::Files | QDir::System);
        for (const QString &sFd : slFds) {
            if (QFileInfo(fds.filePath(sFd)).symLinkTarget() == sPath)
                return true;
        }
        return false;
    }

private:
    QProcess process;
    QByteArray baOut;
    QByteArray baErr;
};

// A folder where root and nobody may both create their own entries, as /tmp.
QString SharedTemp(const QTemporaryDir &dir, const QString &sName)
{
    const QString sPath = dir.filePath(sName);
    if (!QDir().mkpath(sPath) || chmod(QFile::encodeName(sPath).constData(), 01777) != 0)
        return QString();
    return sPath;
}

// A folder of the running user with the given mode, as the user's runtime folder is (0700).
QString OwnFolder(const QTemporaryDir &dir, const QString &sName, mode_t nMode)
{
    const QString sPath = dir.filePath(sName);
    if (!QDir().mkpath(sPath) || chmod(QFile::encodeName(sPath).constData(), nMode) != 0)
        return QString();
    return sPath;
}

// Makes sPath look created by the user nobody: only root can.
bool GiveToNobody(const QString &sPath)
{
    return chown(QFile::encodeName(sPath).constData(), kNobody, kNobody) == 0;
}

ChildResult RunSecondCopy()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("UA_SINGLE_CHILD", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    ChildResult result;
    // The first copy must keep serving its event loop meanwhile.
    QElapsedTimer timer;
    timer.start();
    while (child.state() != QProcess::NotRunning && timer.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        child.waitForFinished(20);
    }
    result.nExitCode = child.exitCode();
    result.status = child.exitStatus();
    result.baStderr = child.readAllStandardError();
    return result;
}
} // namespace

void tst_SingleApplication::firstCopyOwnsTheName()
{
    QVERIFY(!App()->IsRunning());
    QCOMPARE(App()->ServerName(), QStringLiteral("tst_SingleApplication"));
    // The socket is in a folder of the user's runtime folder, named after the program.
    const QString sFolder = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/updateassist";
    QCOMPARE(App()->SocketName(), sFolder + "/tst_SingleApplication");
    QVERIFY(QFileInfo::exists(App()->SocketName()));
    // Closed to group and others.
    QCOMPARE(QFileInfo(sFolder).permissions() & 0x0077, QFile::Permissions());
}

void tst_SingleApplication::secondCopyLeavesAndFirstComesForward()
{
    QWidget window;
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    App()->setMainWindow(&window);
    QSignalSpy spy(App(), &SingleApplication::RedisplayWindow);

    const ChildResult child = RunSecondCopy();
    QCOMPARE(child.status, QProcess::NormalExit);
    QCOMPARE(child.nExitCode, 0);
    QVERIFY2(child.baStderr.endsWith("tst_SingleApplication already running.\n"),
             child.baStderr.constData());

    QTRY_COMPARE(spy.size(), 1);
    QVERIFY(window.isVisible());
    QVERIFY(!(window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)));
    QTRY_VERIFY(window.isActiveWindow());
    App()->setMainWindow(nullptr);
}

void tst_SingleApplication::hiddenWindowIsOnlyActivated()
{
    QWidget window;
    App()->setMainWindow(&window);
    QSignalSpy spy(App(), &SingleApplication::RedisplayWindow);
    const ChildResult child = RunSecondCopy();
    QCOMPARE(child.nExitCode, 0);
    QTRY_COMPARE(spy.size(), 1);
    // A window that is not shown is not brought up by a second start.
    QVERIFY(!window.isVisible());
    App()->setMainWindow(nullptr);
}

void tst_SingleApplication::privateFolder_data()
{
    // The runtime folder given ("" none), what is in the place of the folder in the temporary
    // folder beforehand, and where the name goes: "runtime", "temp" or "" (nowhere).
    QTest::addColumn<QString>("sRuntime");
    QTest::addColumn<QString>("sPlant");
    QTest::addColumn<QString>("sWhere");
    QTest::newRow("nothing yet") << ""
                                 << ""
                                 << "temp";
    QTest::newRow("own private folder") << ""
                                        << "folder 0700"
                                        << "temp";
    QTest::newRow("own folder open to others") << ""
                                               << "folder 0755"
                                               << "";
    QTest::newRow("another user's folder") << ""
                                           << "nobody's folder 0700"
                                           << "";
    QTest::newRow("link to a private folder") << ""
                                              << "link"
                                              << "";
    QTest::newRow("a file") << ""
                            << "file"
                            << "";
    QTest::newRow("runtime folder") << "own 0700"
                                    << ""
                                    << "runtime";
    // Nobody else can make entries there, whatever the temporary folder holds.
    QTest::newRow("runtime folder, another user's folder in temp") << "own 0700"
                                                                   << "nobody's folder 0700"
                                                                   << "runtime";
    QTest::newRow("runtime folder holding a file of that name") << "own 0700, file"
                                                                << ""
                                                                << "temp";
    QTest::newRow("runtime folder open to others") << "own 0755"
                                                   << ""
                                                   << "temp";
    QTest::newRow("another user's runtime folder") << "nobody's 0700"
                                                   << ""
                                                   << "temp";
    QTest::newRow("runtime folder missing") << "missing"
                                            << ""
                                            << "temp";
    QTest::newRow("runtime folder as a relative path") << "relative"
                                                       << ""
                                                       << "temp";
}

void tst_SingleApplication::privateFolder()
{
    QFETCH(QString, sRuntime);
    QFETCH(QString, sPlant);
    QFETCH(QString, sWhere);
    QTemporaryDir dir;
    QString sRuntimeDir;
    if (sRuntime.startsWith("own")) {
        sRuntimeDir = OwnFolder(dir, "run", sRuntime.startsWith("own 0700") ? 0700 : 0755);
        QVERIFY(!sRuntimeDir.isEmpty());
        if (sRuntime.endsWith("file")) {
            QFile file(sRuntimeDir + "/updateassist");
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    } else if (sRuntime.startsWith("nobody")) {
        if (geteuid() != 0)
            QSKIP("needs root to give a folder to another user");
        sRuntimeDir = OwnFolder(dir, "run", 0700);
        QVERIFY(GiveToNobody(sRuntimeDir));
    } else if (sRuntime == "missing") {
        sRuntimeDir = dir.filePath("run");
    } else if (sRuntime == "relative") {
        QVERIFY(!OwnFolder(dir, "run", 0700).isEmpty());
        sRuntimeDir = QDir::current().relativeFilePath(dir.filePath("run"));
        QVERIFY(QDir::isRelativePath(sRuntimeDir));
    }
    const QString sFolder = dir.filePath(QStringLiteral("updateassist-%1").arg(geteuid()));
    const QByteArray baFolder = QFile::encodeName(sFolder);
    if (sPlant.startsWith("folder")) {
        QCOMPARE(mkdir(baFolder.constData(), sPlant.endsWith("0700") ? 0700 : 0755), 0);
        QCOMPARE(chmod(baFolder.constData(), sPlant.endsWith("0700") ? 0700 : 0755), 0);
    } else if (sPlant.startsWith("nobody")) {
        if (geteuid() != 0)
            QSKIP("needs root to give a folder to another user");
        QCOMPARE(mkdir(baFolder.constData(), 0700), 0);
        QCOMPARE(chown(baFolder.constData(), kNobody, kNobody), 0);
    } else if (sPlant == "link") {
        QVERIFY(QDir().mkpath(dir.filePath("real")));
        QCOMPARE(chmod(QFile::encodeName(dir.filePath("real")).constData(), 0700), 0);
        QVERIFY(QFile::link(dir.filePath("real"), sFolder));
    } else if (sPlant == "file") {
        QFile file(sFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString sName = QString::fromStdString(InstanceServerName(
        QFile::encodeName(sRuntimeDir).toStdString(), dir.path().toStdString(), "UpdateAssist"));
    QString sExpected;
    if (sWhere == "temp")
        sExpected = sFolder + "/UpdateAssist";
    else if (sWhere == "runtime")
        sExpected = sRuntimeDir + "/updateassist/UpdateAssist";
    QCOMPARE(sName, sExpected);
    if (!sExpected.isEmpty())
        QCOMPARE(QFileInfo(QFileInfo(sExpected).path()).permissions() & 0x0077,
                 QFile::Permissions());
}

void tst_SingleApplication::usersAreGuardedApart_data()
{
    // Copies started one after the other in one temporary folder: who, and what it must find.
    QTest::addColumn<QStringList>("slStarts");
    QTest::newRow("another user started first")
        << QStringList{"nobody first", "root first", "root duplicate", "nobody duplicate"};
    QTest::newRow("we started first")
        << QStringList{"root first", "nobody first", "nobody duplicate", "root duplicate"};
}

void tst_SingleApplication::usersAreGuardedApart()
{
    QFETCH(QStringList, slStarts);
    if (geteuid() != 0)
        QSKIP("needs root to start a copy as another user");
    if (QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("setpriv is missing");
    QTemporaryDir dir;
    QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString sTmp = SharedTemp(dir, "tmp");
    QVERIFY(!sTmp.isEmpty());
    std::vector<std::unique_ptr<HeldCopy>> copies;
    for (const QString &sStart : qAsConst(slStarts)) {
        const bool bNobody = sStart.startsWith("nobody");
        copies.push_back(std::make_unique<HeldCopy>(sTmp, bNobody));
        copies.back()->Go();
        const HeldCopy::Outcome outcome = copies.back()->Wait();
        const HeldCopy::Outcome expected =
            sStart.endsWith("first") ? HeldCopy::Outcome::First : HeldCopy::Outcome::Duplicate;
        QVERIFY2(outcome == expected,
                 qPrintable(sStart + ": " + QString::fromLocal8Bit(copies.back()->Errors())));
    }
}

void tst_SingleApplication::squattedTempFolderLeavesTheGuardOn()
{
    // Another user made our folder in the shared temporary folder before we ever started,
    // which leaves no safe place there; the runtime folder still is one.
    if (geteuid() != 0)
        QSKIP("needs root to make a folder for another user");
    QTemporaryDir dir;
    const QString sTmp = SharedTemp(dir, "tmp");
    QVERIFY(!sTmp.isEmpty());
    const QString sSquatted = sTmp + QStringLiteral("/updateassist-%1").arg(geteuid());
    QVERIFY(!OwnFolder(dir, "tmp/updateassist-" + QString::number(geteuid()), 0700).isEmpty());
    QVERIFY(GiveToNobody(sSquatted));
    const QString sRuntime = OwnFolder(dir, "run", 0700);
    QVERIFY(!sRuntime.isEmpty());

    HeldCopy first(sTmp, false, sRuntime);
    first.Go();
    QVERIFY2(first.Wait() == HeldCopy::Outcome::First, first.Errors().constData());
    HeldCopy second(sTmp, false, sRuntime);
    second.Go();
    QVERIFY2(second.Wait() == HeldCopy::Outcome::Duplicate, "the guard was off");
}

void tst_SingleApplication::simultaneousStartsLeaveOne()
{
    QTemporaryDir dir;
    const QString sTmp = SharedTemp(dir, "tmp");
    QVERIFY(!sTmp.isEmpty());
    constexpr int kCopies = 20;
    std::vector<std::unique_ptr<HeldCopy>> copies;
    for (int i = 0; i < kCopies; ++i)
        copies.push_back(std::make_unique<HeldCopy>(sTmp, false));
    for (auto &pCopy : copies)
        pCopy->Go();
    int nFirst = 0;
    int nDuplicate = 0;
    QByteArray baFailures;
    for (auto &pCopy : copies) {
        switch (pCopy->Wait()) {
        case HeldCopy::Outcome::First:
            ++nFirst;
            break;
        case HeldCopy::Outcome::Duplicate:
            ++nDuplicate;
            break;
        case HeldCopy::Outcome::Failed:
            baFailures += pCopy->Errors();
            break;
        }
    }
    QVERIFY2(baFailures.isEmpty(), baFailures.constData());
    QCOMPARE(nFirst, 1);
    QCOMPARE(nDuplicate, kCopies - 1);
}

void tst_SingleApplication::startWaitsForACopyThatIsDeciding()
{
    // The test plays a copy that is deciding whether it is the first: it holds the start-up
    // lock, and starts listening only after the new copy has come to the lock.
    QTemporaryDir dir;
    const QString sTmp = SharedTemp(dir, "tmp");
    QVERIFY(!sTmp.isEmpty());
    const std::string sName = InstanceServerName({}, sTmp.toStdString(),
                                                 QCoreApplication::applicationName().toStdString());
    QVERIFY(!sName.empty());
    auto pLock = std::make_unique<InstanceLock>(sName);
    QVERIFY(pLock->Locked());
    HeldCopy copy(sTmp, false);
    copy.Go();
    const QString sLockFile = QString::fromStdString(sName) + ".lock";
    QTRY_VERIFY_WITH_TIMEOUT(copy.SaidFirst() || copy.HasOpen(sLockFile), 60000);
    QLocalServer server;
    QVERIFY(server.listen(QString::fromStdString(sName)));
    pLock.reset();
    QVERIFY2(copy.Wait() == HeldCopy::Outcome::Duplicate, "the new copy did not wait its turn");
}

void tst_SingleApplication::busyFirstCopyIsNotTakenOver()
{
    // A first copy that does not take connections for a while, with its queue full.
    QTemporaryDir dir;
    const QString sTmp = SharedTemp(dir, "tmp");
    QVERIFY(!sTmp.isEmpty());
    const std::string sName = InstanceServerName({}, sTmp.toStdString(),
                                                 QCoreApplication::applicationName().toStdString());
    QVERIFY(!sName.empty() && sName.size() < sizeof(sockaddr_un::sun_path));
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, sName.c_str(), sName.size());
    std::vector<int> fds;
    const auto closeAll = qScopeGuard([&fds] {
        for (int nFd : fds)
            ::close(nFd);
    });
    fds.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    QCOMPARE(::bind(fds.front(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QCOMPARE(::listen(fds.front(), 0), 0);
    bool bFull = false;
    for (int i = 0; i < 16 && !bFull; ++i) {
        fds.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        bFull =
            ::connect(fds.back(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 &&
            errno == EAGAIN;
    }
    QVERIFY(bFull);

    HeldCopy copy(sTmp, false);
    copy.Go();
    QVERIFY2(copy.Wait() == HeldCopy::Outcome::Duplicate, "the busy copy was taken over");
    QVERIFY(QFileInfo::exists(QString::fromStdString(sName)));
}

int main(int argc, char *argv[])
{
    if (qgetenv("UA_SINGLE_CHILD") == "hold") {
        char c = 0;
        if (fread(&c, 1, 1, stdin) != 1)
            return 6;
        SingleApplication app(argc, argv);
        if (app.IsRunning())
            return 0;
        printf("first\n");
        fflush(stdout);
        // Stay the first copy until the test lets go.
        while (fread(&c, 1, 1, stdin) == 1) {
        }
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("UA_SINGLE_CHILD")) {
        // Private temporary folder for the socket, inherited by the child.
        static QByteArray baTmp = QDir::tempPath().toLocal8Bit() + "/ua-single-XXXXXX";
        if (!mkdtemp(baTmp.data()))
            return 1;
        // Copies started as another user reach their folders through it.
        chmod(baTmp.constData(), 0755);
        qputenv("TMPDIR", baTmp);
        // A runtime folder of our own inside it, as the user's login gives one.
        static QByteArray baRuntime = baTmp + "/run";
        if (mkdir(baRuntime.constData(), 0700) != 0)
            return 1;
        qputenv("XDG_RUNTIME_DIR", baRuntime);
    }
    SingleApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("UA_SINGLE_CHILD"))
        return app.IsRunning() ? 0 : 5;
    tst_SingleApplication test;
    const int nResult = QTest::qExec(&test, argc, argv);
    QDir(QDir::tempPath()).removeRecursively();
    return nResult;
}

#include "tst_SingleApplication.moc"
