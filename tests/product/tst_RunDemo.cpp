// scripts/run-demo in each of its modes: the world goes into the folder named
// by --demo-dir, the stand-in server listens on the --address given, and the
// program (or the walk, without a display) is pointed at both.

#include "TestTools.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <sys/types.h>

namespace
{
// Apart from the walk's address, so that both tests may run at once.
const char *const kAddress = "127.0.9.3";
const int kStartTimeoutMs = 120000;

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QString> ReadEnvFile(const QString &sPath)
{
    QMap<QString, QString> values;
    const QStringList slLines = QString::fromUtf8(ReadFile(sPath)).split('\n');
    for (const QString &sLine : slLines) {
        const int nEq = sLine.indexOf('=');
        if (nEq > 0)
            values.insert(sLine.left(nEq), sLine.mid(nEq + 1));
    }
    return values;
}

bool ProcessAlive(qint64 nPid)
{
    return nPid > 0 && ::kill(static_cast<pid_t>(nPid), 0) == 0;
}

// Processes whose executable lies below sFolder.
QList<qint64> ProcessesRunningFrom(const QString &sFolder)
{
    QList<qint64> pids;
    const QList<qint64> running = TestTools::ProcessIds();
    for (const qint64 nPid : running) {
        const QString sExe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(nPid));
        if (sExe.startsWith(sFolder + '/'))
            pids << nPid;
    }
    return pids;
}

QJsonArray ServerRequests(const QString &sAddress)
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply *pReply = manager.get(
        QNetworkRequest(QUrl(QStringLiteral("http://%1:19320/control/requests").arg(sAddress))));
    QEventLoop loop;
    QObject::connect(pReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray baBody = pReply->readAll();
    delete pReply;
    const QJsonDocument doc = QJsonDocument::fromJson(baBody);
    return doc.isArray() ? doc.array() : QJsonArray{QJsonValue(QStringLiteral("no reply"))};
}

bool HasRequestOfKind(const QJsonArray &jaRequests, const QString &sKind)
{
    return std::any_of(jaRequests.cbegin(), jaRequests.cend(), [&](const QJsonValue &value) {
        return value.toObject().value(QStringLiteral("kind")).toString() == sKind;
    });
}
} // namespace

class tst_RunDemo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void worldOnlyUsesAddressAndFolder();
    void programWithDisplayUsesWorld();
    void walkWithoutDisplayGetsAddressAndFolder();
    void foreignFolderIsNotWiped_data();
    void foreignFolderIsNotWiped();

private:
    QStringList Arguments(const QString &sBuildDir, const QString &sWorld) const;
    QProcessEnvironment Environment(bool bDisplay) const;
    bool StartDemo(QProcess &demo, const QStringList &slArgs, const QProcessEnvironment &env,
                   QByteArray *pOut);
    void StopDemo(QProcess &demo, const QString &sWorld);

    QTemporaryDir dir;
    const QString sScript = QStringLiteral(UA_SOURCE_DIR "/scripts/run-demo");
    const QString sBuildDir = QDir::cleanPath(QStringLiteral(UA_BIN_DIR "/.."));
};

QStringList tst_RunDemo::Arguments(const QString &sBuild, const QString &sWorld) const
{
    return {"--no-build", "--build-dir", sBuild, "--demo-dir", sWorld, "--address", kAddress};
}

QProcessEnvironment tst_RunDemo::Environment(bool bDisplay) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("UA_DEMO_ADDRESS"));
    env.remove(QStringLiteral("UA_SCREENSHOT"));
    if (bDisplay) {
        // The program believes in a display but draws off screen.
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":ua-no-such-display"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.remove(QStringLiteral("DISPLAY"));
    }
    return env;
}

bool tst_RunDemo::StartDemo(QProcess &demo, const QStringList &slArgs,
                            const QProcessEnvironment &env, QByteArray *pOut)
{
    demo.setProcessEnvironment(env);
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(sScript, slArgs);
    if (!demo.waitForStarted())
        return false;
    return QTest::qWaitFor(
               [&] {
                   *pOut += demo.readAll();
                   return pOut->contains("demo world:") || demo.state() != QProcess::Running;
               },
               kStartTimeoutMs) &&
           pOut->contains("demo world:");
}

void tst_RunDemo::StopDemo(QProcess &demo, const QString &sWorld)
{
    const QMap<QString, QString> values = ReadEnvFile(sWorld + QStringLiteral("/demo.env"));
    demo.terminate();
    QVERIFY(demo.waitForFinished(30000));
    // Whatever it started ends with it.
    const qint64 nServer = values.value("DEMO_SERVER_PID").toLongLong();
    const qint64 nDevice = values.value("DEMO_DEVICE_PID").toLongLong();
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     return !ProcessAlive(nServer) && !ProcessAlive(nDevice) &&
                            ProcessesRunningFrom(sWorld).isEmpty();
                 },
                 20000),
             "a process of the demo outlived run-demo");
}

void tst_RunDemo::initTestCase()
{
    QVERIFY(dir.isValid());
    for (const char *pTool :
         {"UpdateAssist", "update-server", "device-sim", "record-gen", "demo-files"})
        QVERIFY(QFileInfo(QStringLiteral(UA_BIN_DIR "/") + QLatin1String(pTool)).isExecutable());
}

void tst_RunDemo::worldOnlyUsesAddressAndFolder()
{
    const QString sWorld = dir.filePath(QStringLiteral("world only"));
    QProcess demo;
    QByteArray baOut;
    QVERIFY2(StartDemo(demo,
                       Arguments(sBuildDir, sWorld) << "--world-only"
                                                    << "--no-saved-login",
                       Environment(false), &baOut),
             baOut.constData());
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     baOut += demo.readAll();
                     return baOut.contains("demo world ready") || demo.state() != QProcess::Running;
                 },
                 kStartTimeoutMs),
             baOut.constData());
    QVERIFY2(baOut.contains("demo world ready"), baOut.constData());

    const QMap<QString, QString> values = ReadEnvFile(sWorld + QStringLiteral("/demo.env"));
    QCOMPARE(values.value("UPDATEASSIST_SERVER"), QLatin1String(kAddress));
    QCOMPARE(values.value("UA_PROGRAM"), sWorld + QStringLiteral("/program/UpdateAssist"));
    QCOMPARE(values.value("UPDATEASSIST_DISKS"), sWorld + QStringLiteral("/device-disk/KX520"));
    QVERIFY(QFileInfo::exists(values.value("UPDATEASSIST_DISKS") + QStringLiteral("/sn.txt")));
    // No remembered login: the program would ask for it.
    QVERIFY(QFileInfo::exists(sWorld + QStringLiteral("/program/UpdateAssist")));
    QVERIFY(!QFileInfo::exists(sWorld + QStringLiteral("/program/User.bin")));
    // The stand-in server answers on the address asked for.
    const QJsonArray jaRequests = ServerRequests(QLatin1String(kAddress));
    QVERIFY2(jaRequests.isEmpty(), QJsonDocument(jaRequests).toJson().constData());

    StopDemo(demo, sWorld);
}

void tst_RunDemo::programWithDisplayUsesWorld()
{
    const QString sWorld = dir.filePath(QStringLiteral("with display"));
    QProcess demo;
    QByteArray baOut;
    QVERIFY2(StartDemo(demo, Arguments(sBuildDir, sWorld), Environment(true), &baOut),
             baOut.constData());
    QVERIFY(!baOut.contains("demo world ready"));

    // The remembered login signs the program in and the catalogue is asked
    // for, at the address given.
    QVERIFY(QFileInfo::exists(sWorld + QStringLiteral("/program/User.bin")));
    QJsonArray jaRequests;
    const bool bAsked = QTest::qWaitFor(
        [&] {
            jaRequests = ServerRequests(QLatin1String(kAddress));
            return HasRequestOfKind(jaRequests, QStringLiteral("catalogue")) ||
                   demo.state() != QProcess::Running;
        },
        kStartTimeoutMs);
    baOut += demo.readAll();
    QVERIFY2(bAsked && demo.state() == QProcess::Running, baOut.constData());
    QVERIFY2(HasRequestOfKind(jaRequests, QStringLiteral("login")),
             QJsonDocument(jaRequests).toJson().constData());
    // The program runs from the world.
    QCOMPARE(ProcessesRunningFrom(sWorld + QStringLiteral("/program")).size(), 1);

    StopDemo(demo, sWorld);
}

void tst_RunDemo::walkWithoutDisplayGetsAddressAndFolder()
{
    // A build folder whose walk only tells what it was given: the real one
    // runs as a test of its own.
    const QString sFakeBuild = dir.filePath(QStringLiteral("fake build"));
    QVERIFY(QDir().mkpath(sFakeBuild + QStringLiteral("/bin")));
    QVERIFY(QDir().mkpath(sFakeBuild + QStringLiteral("/tests")));
    for (const char *pTool :
         {"UpdateAssist", "update-server", "device-sim", "record-gen", "demo-files"})
        QVERIFY(QFile::link(QStringLiteral(UA_BIN_DIR "/") + QLatin1String(pTool),
                            sFakeBuild + QStringLiteral("/bin/") + QLatin1String(pTool)));
    const QString sWalk = sFakeBuild + QStringLiteral("/tests/tst_ProductWalk");
    {
        QFile walk(sWalk);
        QVERIFY(walk.open(QIODevice::WriteOnly));
        walk.write("#!/bin/sh\n"
                   "printf 'address=%s\\nworld=%s\\n' \"$UA_WALK_ADDRESS\" \"$UA_WALK_WORLD_DIR\" "
                   ">walk-was-given\n");
    }
    QVERIFY(QFile::setPermissions(sWalk, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const QString sWorld = dir.filePath(QStringLiteral("walk world"));
    QProcess demo;
    demo.setProcessEnvironment(Environment(false));
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(sScript, Arguments(sFakeBuild, sWorld));
    QVERIFY(demo.waitForFinished(60000));
    QVERIFY2(demo.exitCode() == 0, demo.readAll().constData());
    const QMap<QString, QString> values =
        ReadEnvFile(sFakeBuild + QStringLiteral("/tests/walk-was-given"));
    QCOMPARE(values.value("address"), QLatin1String(kAddress));
    QCOMPARE(values.value("world"), sWorld);
}

void tst_RunDemo::foreignFolderIsNotWiped_data()
{
    QTest::addColumn<bool>("bDisplay");
    QTest::addColumn<bool>("bWorldOnly");
    QTest::newRow("walk") << false << false;
    QTest::newRow("world only") << false << true;
    QTest::newRow("display") << true << false;
}

void tst_RunDemo::foreignFolderIsNotWiped()
{
    QFETCH(bool, bDisplay);
    QFETCH(bool, bWorldOnly);
    const QString sFolder = dir.filePath(QStringLiteral("my files"));
    QVERIFY(QDir().mkpath(sFolder));
    {
        QFile file(sFolder + QStringLiteral("/notes.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("mine\n");
    }
    QStringList slArgs = Arguments(sBuildDir, sFolder);
    if (bWorldOnly)
        slArgs << "--world-only";
    QProcess demo;
    demo.setProcessEnvironment(Environment(bDisplay));
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(sScript, slArgs);
    QVERIFY(demo.waitForFinished(60000));
    const QByteArray baOut = demo.readAll();
    QCOMPARE(demo.exitCode(), 2);
    QVERIFY2(baOut.contains("not a demo world"), baOut.constData());
    QCOMPARE(ReadFile(sFolder + QStringLiteral("/notes.txt")), QByteArray("mine\n"));
    QCOMPARE(QDir(sFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("notes.txt")});
}

QTEST_GUILESS_MAIN(tst_RunDemo)
#include "tst_RunDemo.moc"
