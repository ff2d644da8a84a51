#include "platform/CrashHandler.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// The test re-runs itself as a child that installs the handler and dies of the
// signal named in UA_CRASH_CHILD_SIGNAL; the parent checks the dump.
namespace
{
const char *const kChildSignal = "UA_CRASH_CHILD_SIGNAL";
const char *const kChildDump = "UA_CRASH_CHILD_DUMP";

[[noreturn]] void CrashNow(int nSignal)
{
    if (nSignal == SIGSEGV) {
        volatile int *pNull = nullptr;
        *pNull = 1;
    } else if (nSignal == SIGFPE) {
        volatile int nZero = 0;
        volatile int nValue = 1 / nZero;
        (void)nValue;
    } else if (nSignal == SIGABRT) {
        abort();
    }
    raise(nSignal);
    _exit(3); // not reached when the handler lets the signal end the process
}

// Starts this test as a child that writes its dump to sDump and dies of a
// null pointer; false when it did not end (within a minute) of that signal.
bool RunCrashingChild(const QString &sDump)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildSignal, QString::number(SIGSEGV));
    env.insert(kChildDump, sDump);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished(10000);
        return false;
    }
    return child.exitStatus() == QProcess::CrashExit;
}

QByteArray ReadAll(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class tst_CrashHandler : public QObject
{
    Q_OBJECT
private slots:
    void dumpWrittenByCrashingChild_data();
    void dumpWrittenByCrashingChild();
    void relativePathResolvedAtInstall();
    void plantedNameIsNotFollowed_data();
    void plantedNameIsNotFollowed();
};

void tst_CrashHandler::dumpWrittenByCrashingChild_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("name");
    QTest::newRow("null pointer") << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("division by zero") << int(SIGFPE) << "SIGFPE";
    QTest::newRow("abort") << int(SIGABRT) << "SIGABRT";
    QTest::newRow("bus error") << int(SIGBUS) << "SIGBUS";
    QTest::newRow("illegal instruction") << int(SIGILL) << "SIGILL";
}

void tst_CrashHandler::dumpWrittenByCrashingChild()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDump = dir.filePath("crash.dmp");
    // An older dump is replaced, not appended to.
    {
        QFile old(sDump);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildSignal, QString::number(signalNumber));
    env.insert(kChildDump, sDump);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(60000));
    // The process still dies of its signal.
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    QFile dump(sDump);
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray baDump = dump.readAll();
    QVERIFY2(baDump.startsWith("Fatal signal " + name.toLatin1()), baDump.left(200).constData());
    QVERIFY(baDump.contains("Backtrace:\n"));
    QVERIFY(!baDump.contains("xxxx"));
    // At least the handler's own frame and the crashing test's frames.
    QVERIFY(baDump.count('\n') > 3);
}

void tst_CrashHandler::relativePathResolvedAtInstall()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildSignal, QString::number(SIGSEGV));
    env.insert(kChildDump, "crash.dmp");
    env.insert("UA_CRASH_CHILD_CHDIR", dir.filePath("elsewhere"));
    QVERIFY(QDir(dir.path()).mkdir("elsewhere"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(dir.path());
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    // Where the working directory was when the handler was installed, not
    // where it was at the crash.
    QVERIFY(QFile::exists(dir.filePath("crash.dmp")));
    QVERIFY(!QFile::exists(dir.filePath("elsewhere/crash.dmp")));
}

void tst_CrashHandler::plantedNameIsNotFollowed_data()
{
    // What someone put in the dump's place beforehand; nothing it leads to may be written.
    QTest::addColumn<QString>("sPlant");
    QTest::newRow("link to another file of ours") << "link";
    QTest::newRow("link to a file not there yet") << "dangling link";
    QTest::newRow("hard link to another file of ours") << "hard link";
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("another user's file") << "nobody's file";
}

void tst_CrashHandler::plantedNameIsNotFollowed()
{
    QFETCH(QString, sPlant);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDump = dir.filePath("crash.dmp");
    const QString sVictim = dir.filePath("User.bin");
    const QByteArray baVictim("the user's remembered login");
    if (sPlant != "dangling link") {
        QFile victim(sVictim);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write(baVictim);
    }
    const QByteArray baDump = QFile::encodeName(sDump);
    if (sPlant.endsWith("link") && !sPlant.startsWith("hard")) {
        QVERIFY(QFile::link(sVictim, sDump));
    } else if (sPlant == "hard link") {
        QCOMPARE(::link(QFile::encodeName(sVictim).constData(), baDump.constData()), 0);
    } else if (sPlant == "fifo") {
        QCOMPARE(::mkfifo(baDump.constData(), 0600), 0);
    } else if (sPlant == "nobody's file") {
        if (geteuid() != 0)
            QSKIP("needs root to give a file to another user");
        QVERIFY(QFile::copy(sVictim, sDump));
        QCOMPARE(::chown(baDump.constData(), 65534, 65534), 0);
    }

    // The process still dies of its fault, and does not hang on the way.
    QVERIFY(RunCrashingChild(sDump));
    if (sPlant == "dangling link")
        QVERIFY(!QFileInfo::exists(sVictim));
    else
        QCOMPARE(ReadAll(sVictim), baVictim);
    struct stat st = {};
    QCOMPARE(::lstat(baDump.constData(), &st), 0);
    if (sPlant.endsWith("link") && !sPlant.startsWith("hard"))
        QVERIFY(S_ISLNK(st.st_mode));
    else if (sPlant == "fifo")
        QVERIFY(S_ISFIFO(st.st_mode));
    else
        QCOMPARE(ReadAll(sDump), baVictim);
}

int main(int argc, char *argv[])
{
    const QByteArray baSignal = qgetenv(kChildSignal);
    if (!baSignal.isEmpty()) {
        // No core files from crashes made on purpose.
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (qEnvironmentVariableIsEmpty("UA_CRASH_CHILD_CHDIR")) {
            InstallNativeCrashHandler(std::filesystem::path(qgetenv(kChildDump).toStdString()));
        } else {
            // Through the Qt entry, as the program uses it.
            InstallCrashHandler(QString::fromLocal8Bit(qgetenv(kChildDump)));
            QDir::setCurrent(QString::fromLocal8Bit(qgetenv("UA_CRASH_CHILD_CHDIR")));
        }
        CrashNow(baSignal.toInt());
    }
    QCoreApplication app(argc, argv);
    tst_CrashHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CrashHandler.moc"
