#include "app/SingleApplication.h"

#include <QLocalServer>
#include <QtTest>

#include <cstdlib>

// This test process is the first copy: its application object is a
// SingleApplication. It starts itself again as a second copy
// (UA_SINGLE_CHILD=1), which must find the first and leave. Both share a
// private TMPDIR, where the local socket lives, so nothing else interferes.
class tst_SingleApplication : public QObject
{
    Q_OBJECT
private slots:
    void firstCopyOwnsTheName();
    void secondCopyLeavesAndFirstComesForward();
    void hiddenWindowIsOnlyActivated();
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
    // The socket is in the private temporary folder, named after the program.
    QVERIFY(QFileInfo::exists(QDir::temp().filePath("tst_SingleApplication")));
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

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("UA_SINGLE_CHILD")) {
        // Private temporary folder for the socket, inherited by the child.
        static QByteArray baTmp = QDir::tempPath().toLocal8Bit() + "/ua-single-XXXXXX";
        if (!mkdtemp(baTmp.data()))
            return 1;
        qputenv("TMPDIR", baTmp);
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
