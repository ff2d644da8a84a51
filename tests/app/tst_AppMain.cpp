#include <QImage>
#include <QLocalSocket>
#include <QtTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

// Start-up of the real program. Each test copies UpdateAssist into a fresh
// folder (so "config.ini" and "crash.dmp" land there) and gives it a private
// TMPDIR and runtime folder (where the single-instance socket lives).
class tst_AppMain : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondCopyExitsAtOnce();
    void staleSocketOfKilledCopyIsTakenOver();
    void copiesUnderOtherNamesRunSideBySide();
    void crashDumpBesideProgramWhateverTheWorkingDirectory();
    void screenshotForUnattendedRuns();

private:
    QString InstallCopy(const QString &sName);
    QProcess *Start(const QString &sProgram, const QString &sWorkDir);
    bool WaitStarted(QProcess *pProcess);
    std::unique_ptr<QTemporaryDir> dir;
    QString sTmp;
    QString sRuntime;
    QList<QProcess *> processes;
};

void tst_AppMain::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    sTmp = dir->filePath("tmp");
    QVERIFY(QDir().mkpath(sTmp));
    sRuntime = dir->filePath("run");
    QVERIFY(QDir().mkpath(sRuntime));
    QVERIFY(
        QFile::setPermissions(sRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QDir().mkpath(dir->filePath("elsewhere")));
}

void tst_AppMain::cleanup()
{
    for (QProcess *pProcess : qAsConst(processes)) {
        pProcess->kill();
        pProcess->waitForFinished(10000);
        delete pProcess;
    }
    processes.clear();
    dir.reset();
}

QString tst_AppMain::InstallCopy(const QString &sName)
{
    const QString sTarget = dir->filePath("app/" + sName);
    QDir().mkpath(dir->filePath("app"));
    if (!QFile::copy(QStringLiteral(UA_BIN_DIR "/UpdateAssist"), sTarget))
        return QString();
    return sTarget;
}

QProcess *tst_AppMain::Start(const QString &sProgram, const QString &sWorkDir)
{
    auto *pProcess = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", sTmp);
    env.insert("XDG_RUNTIME_DIR", sRuntime);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // No device and no server: the window comes up idle.
    env.insert("UPDATEASSIST_DISKS", dir->filePath("no-disk"));
    env.insert("UPDATEASSIST_SERVER", "127.0.1.250");
    pProcess->setProcessEnvironment(env);
    pProcess->setWorkingDirectory(sWorkDir);
    pProcess->setReadChannel(QProcess::StandardError);
    pProcess->start(sProgram, QStringList());
    processes.append(pProcess);
    return pProcess;
}

bool tst_AppMain::WaitStarted(QProcess *pProcess)
{
    QByteArray baErr;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 60000) {
        if (!pProcess->waitForReadyRead(200) && pProcess->state() == QProcess::NotRunning)
            return false;
        baErr += pProcess->readAllStandardError();
        if (baErr.contains("UpdateAssist started in"))
            return true;
    }
    return false;
}

void tst_AppMain::secondCopyExitsAtOnce()
{
    const QString sProgram = InstallCopy("UpdateAssist");
    QVERIFY(!sProgram.isEmpty());
    QProcess *pFirst = Start(sProgram, dir->filePath("elsewhere"));
    QVERIFY(WaitStarted(pFirst));

    QProcess *pSecond = Start(sProgram, dir->filePath("elsewhere"));
    QVERIFY(pSecond->waitForFinished(60000));
    QCOMPARE(pSecond->exitStatus(), QProcess::NormalExit);
    QCOMPARE(pSecond->exitCode(), 0);
    const QByteArray baErr = pSecond->readAllStandardError();
    QVERIFY2(baErr.endsWith("UpdateAssist already running.\n"), baErr.constData());
    // It left before its window and the rest of the start-up.
    QVERIFY(!baErr.contains("UpdateAssist started in"));
    QCOMPARE(pFirst->state(), QProcess::Running);
}

void tst_AppMain::staleSocketOfKilledCopyIsTakenOver()
{
    const QString sProgram = InstallCopy("UpdateAssist");
    QVERIFY(!sProgram.isEmpty());
    QProcess *pFirst = Start(sProgram, dir->path());
    QVERIFY(WaitStarted(pFirst));
    // Killed hard: the socket file stays behind.
    pFirst->kill();
    QVERIFY(pFirst->waitForFinished(10000));
    QVERIFY(QFileInfo::exists(sRuntime + QStringLiteral("/updateassist/UpdateAssist")));

    QProcess *pNext = Start(sProgram, dir->path());
    QVERIFY(WaitStarted(pNext));
    QProcess *pThird = Start(sProgram, dir->path());
    QVERIFY(pThird->waitForFinished(60000));
    QCOMPARE(pThird->exitCode(), 0);
    QVERIFY(pThird->readAllStandardError().endsWith("UpdateAssist already running.\n"));
    QCOMPARE(pNext->state(), QProcess::Running);
}

void tst_AppMain::copiesUnderOtherNamesRunSideBySide()
{
    const QString sProgram = InstallCopy("UpdateAssist");
    const QString sOther = InstallCopy("UpdateAssist2");
    QVERIFY(!sProgram.isEmpty() && !sOther.isEmpty());
    QProcess *pFirst = Start(sProgram, dir->path());
    QVERIFY(WaitStarted(pFirst));
    QProcess *pSecond = Start(sOther, dir->path());
    QVERIFY(WaitStarted(pSecond));
    QCOMPARE(pFirst->state(), QProcess::Running);
}

void tst_AppMain::crashDumpBesideProgramWhateverTheWorkingDirectory()
{
    const QString sProgram = InstallCopy("UpdateAssist");
    QVERIFY(!sProgram.isEmpty());
    QProcess *pProcess = Start(sProgram, dir->filePath("elsewhere"));
    QVERIFY(WaitStarted(pProcess));
    ::kill(static_cast<pid_t>(pProcess->processId()), SIGSEGV);
    QVERIFY(pProcess->waitForFinished(60000));
    QCOMPARE(pProcess->exitStatus(), QProcess::CrashExit);

    QFile dump(dir->filePath("app/crash.dmp"));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QVERIFY(dump.readAll().startsWith("Fatal signal SIGSEGV"));
    QVERIFY(!QFileInfo::exists(dir->filePath("elsewhere/crash.dmp")));
}

void tst_AppMain::screenshotForUnattendedRuns()
{
    const QString sProgram = InstallCopy("UpdateAssist");
    QVERIFY(!sProgram.isEmpty());
    const QString sShot = dir->filePath("elsewhere/shot.png");
    qputenv("UA_SCREENSHOT", sShot.toLocal8Bit());
    qputenv("UA_SCREENSHOT_DELAY_MS", "100");
    QProcess *pProcess = Start(sProgram, dir->filePath("elsewhere"));
    qunsetenv("UA_SCREENSHOT");
    qunsetenv("UA_SCREENSHOT_DELAY_MS");
    // It ends by itself once the picture is saved.
    QVERIFY(pProcess->waitForFinished(60000));
    QCOMPARE(pProcess->exitStatus(), QProcess::NormalExit);
    QCOMPARE(pProcess->exitCode(), 0);
    QImage image(sShot);
    QVERIFY(!image.isNull());
    // The whole main window, not a part of the screen.
    QVERIFY(image.width() >= 765 && image.height() >= 565);
}

QTEST_GUILESS_MAIN(tst_AppMain)
#include "tst_AppMain.moc"
