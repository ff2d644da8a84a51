// A device whose serial port this user may not open (no udev rule, not in the
// port's group): the download page says so, in the interface language, with
// the command that installs the rule and the group to join. The port is the
// simulated device's terminal, given to root:dialout with mode 0660; the
// window runs in a second copy of this test as the user nobody (the tests run
// as root, who may open anything). Without root the terminal is ours and
// loses its rights instead.

#include "DeviceSimProcess.h"
#include "TestWidgets.h"
#include "accounts/LoginReply.h"
#include "app/WorkingFolder.h"
#include "device/DeviceDisks.h"
#include "device/FirmwareUpgradeTask.h"
#include "device/device.h"
#include "net/ServerProtocol.h"
#include "platform/linux/UdevRules.h"
#include "update/MainWindow.h"

#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestWidgets;

class tst_DevicePortPermission : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deniedPortIsExplained_data();
    void deniedPortIsExplained();
    void openablePortIsNoProblem();
    void missingPortIsNoProblem();
    // The copy started by the tests above; skipped when run on its own.
    void childWindow();

private:
    // Runs childWindow in a second copy, as nobody when bAsNobody.
    void RunChild(bool bAsNobody, const QString &sExpect, const QString &sLanguage);
    // Takes the port's rights away from whoever runs the child; the group
    // that may still open it, or empty.
    QString DenyPort();

    QTemporaryDir dir;
    DeviceSimProcess sim;
    QString sDisk;
};

void tst_DevicePortPermission::initTestCase()
{
    if (!qEnvironmentVariableIsEmpty("UA_PORT_CHILD"))
        return;
    QVERIFY(dir.isValid());
    // The child may run as nobody: it reads the disk and keeps its files here.
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    sDisk = dir.filePath("disk");
    QVERIFY(WriteFile(sDisk + "/sn.txt", "D000000000001"));
    // A device disk counts only when its user may write to it.
    QVERIFY(::chmod(QFile::encodeName(sDisk).constData(), 0777) == 0);
    QVERIFY(QDir().mkpath(dir.filePath("home")));
    QVERIFY(::chmod(QFile::encodeName(dir.filePath("home")).constData(), 0777) == 0);
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorString()));
}

QString tst_DevicePortPermission::DenyPort()
{
    const QByteArray baPort = QFile::encodeName(sim.PtyPath());
    if (geteuid() != 0) {
        ::chmod(baPort.constData(), 0);
        return QString();
    }
    const group *pDialout = ::getgrnam("dialout");
    if (pDialout == nullptr) {
        ::chmod(baPort.constData(), 0600);
        return QString();
    }
    if (::chown(baPort.constData(), 0, pDialout->gr_gid) != 0 ||
        ::chmod(baPort.constData(), 0660) != 0)
        qWarning("cannot hand the terminal to root:dialout");
    return QStringLiteral("dialout");
}

void tst_DevicePortPermission::RunChild(bool bAsNobody, const QString &sExpect,
                                        const QString &sLanguage)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("UA_PORT_CHILD", "1");
    env.insert("UA_CHILD_DISK", sDisk);
    env.insert("UA_CHILD_PORT", sim.PtyPath());
    env.insert("UA_CHILD_EXPECT", sExpect);
    env.insert("UA_CHILD_LANGUAGE", sLanguage);
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_DATA_HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("home"));
    env.insert("XDG_CACHE_HOME", dir.filePath("home"));
    env.remove("XDG_RUNTIME_DIR");
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(dir.filePath("home"));
    const QStringList slTest{"childWindow"};
    if (bAsNobody) {
        child.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                           QCoreApplication::applicationFilePath()} +
                                   slTest);
    } else {
        child.start(QCoreApplication::applicationFilePath(), slTest);
    }
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    QVERIFY(child.waitForFinished(120000));
    const QByteArray baOutput = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             baOutput.constData());
    QVERIFY2(!baOutput.contains("SKIP"), baOutput.constData());
}

void tst_DevicePortPermission::deniedPortIsExplained_data()
{
    QTest::addColumn<QString>("sLanguage");
    QTest::newRow("Simplified Chinese") << "";
    QTest::newRow("English") << "en";
    QTest::newRow("Traditional Chinese") << "tc";
}

void tst_DevicePortPermission::deniedPortIsExplained()
{
    QFETCH(QString, sLanguage);
    const QString sGroup = DenyPort();
    RunChild(geteuid() == 0, sGroup.isEmpty() ? QStringLiteral("denied") : "denied:" + sGroup,
             sLanguage);
}

void tst_DevicePortPermission::openablePortIsNoProblem()
{
    // The same terminal, opened by one who may: the device answers.
    if (geteuid() == 0) {
        QVERIFY(::chmod(QFile::encodeName(sim.PtyPath()).constData(), 0660) == 0);
    } else {
        QVERIFY(::chmod(QFile::encodeName(sim.PtyPath()).constData(), 0600) == 0);
    }
    RunChild(false, "open", QString());
}

void tst_DevicePortPermission::missingPortIsNoProblem()
{
    device::SetSerialOverride(dir.filePath("no-such-port"));
    QVERIFY(device::DeniedPortPath(device::VendorId, device::ProductId).isEmpty());
    device::SetSerialOverride(sim.PtyPath());
    // As its owner (or root) this process may open the terminal.
    QVERIFY(::chmod(QFile::encodeName(sim.PtyPath()).constData(), 0600) == 0);
    QVERIFY(device::DeniedPortPath(device::VendorId, device::ProductId).isEmpty());
}

void tst_DevicePortPermission::childWindow()
{
    if (qEnvironmentVariableIsEmpty("UA_PORT_CHILD"))
        QSKIP("run by the other tests, in a copy of their own");
    const QString sPort = qEnvironmentVariable("UA_CHILD_PORT");
    const QString sExpect = qEnvironmentVariable("UA_CHILD_EXPECT");
    const QString sLanguage = qEnvironmentVariable("UA_CHILD_LANGUAGE");
    SetDeviceDiskFolders({qEnvironmentVariable("UA_CHILD_DISK")});
    device::SetSerialOverride(sPort);
    SetServerAddress(QStringLiteral("127.0.6.99")); // nobody answers there
    SetLoginReply(QJsonObject{{"code", "000000"}});
    QTranslator translator;
    if (!sLanguage.isEmpty()) {
        QVERIFY(translator.load(QStringLiteral(":/other/%1.qm").arg(sLanguage)));
        QCoreApplication::installTranslator(&translator);
    }

    MainWindow w;
    w.show();
    w.FirstShow(); // selects the disk and asks the device, then the server
    const QStringList slMessages = TakeMessages();
    qInfo() << "messages:" << slMessages;
    const QString sHint =
        slMessages.filter(sPort).isEmpty() ? QString() : slMessages.filter(sPort).first();

    if (sExpect == QLatin1String("open")) {
        QVERIFY(!w.sDevID.isEmpty());
        QCOMPARE(sHint, QString());
        return;
    }
    QVERIFY(w.sDevID.isEmpty());
    QVERIFY2(!sHint.isEmpty(), "no word about the port's permission");
    const QHash<QString, QString> noPermission{{"", QStringLiteral("没有打开它的权限")},
                                               {"en", "no permission"},
                                               {"tc", QStringLiteral("沒有開啟它的權限")}};
    QVERIFY2(sHint.contains(noPermission.value(sLanguage)), qPrintable(sHint));
    // Something to act on: the rule's install command (or, with the rule in
    // place, to plug the device in again), and the group to join.
    if (UdevRuleCoversVendor(UdevRuleFolders(), "1fc9")) {
        QVERIFY2(sHint.contains("udev"), qPrintable(sHint));
    } else {
        const QString sCommand = QStringLiteral("sudo install -m 644 '%1/driver/"
                                                "60-updateassist.rules' /etc/udev/rules.d/")
                                     .arg(ProgramFolder());
        QVERIFY2(sHint.contains(sCommand), qPrintable(sHint));
    }
    if (sExpect.startsWith(QLatin1String("denied:"))) {
        const QString sGroup = sExpect.mid(7);
        QVERIFY2(sHint.contains("sudo usermod -aG " + sGroup + " \"$USER\""), qPrintable(sHint));
    }

    // A firmware image due for this device is not written, and the words say
    // why and what to do, not only that it failed.
    FirmwareUpgradeTask task(qEnvironmentVariable("UA_CHILD_DISK") + "/Home/MAIN.bin",
                             "D000000000001");
    QList<QPair<FirmwareUpgradeTask::Outcome, QString>> ended;
    connect(&task, &FirmwareUpgradeTask::Ended, &task,
            [&ended](FirmwareUpgradeTask::Outcome outcome, const QString &sDetail) {
                ended << qMakePair(outcome, sDetail);
            });
    task.Run();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first, FirmwareUpgradeTask::Outcome::PortDenied);
    QCOMPARE(ended.first().second, sPort);
    const QString sWords = MainWindow::FirmwareOutcomeText(ended.first().first, sPort);
    QVERIFY2(sWords.contains(noPermission.value(sLanguage)), qPrintable(sWords));
    QVERIFY2(sWords.contains(sHint), qPrintable(sWords));
}

QTEST_MAIN(tst_DevicePortPermission)
#include "tst_DevicePortPermission.moc"
