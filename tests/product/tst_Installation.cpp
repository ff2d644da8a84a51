// The installed program: `cmake --install` into a fresh prefix lays out the
// program folder, the command link, the desktop entry, its icon and the udev
// rule; run from a folder its user cannot write to (as under /usr), the program
// keeps "config.ini" and "crash.dmp" in the user's data folder instead.

#include <QImage>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace
{
// The user that runs the installed program when the tests run as root, who
// could write anywhere.
const uid_t kNobody = 65534;
} // namespace

class tst_Installation : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void layoutWhereDesktopsLook_data();
    void layoutWhereDesktopsLook();
    void commandLinkLeadsToProgram();
    void desktopEntryNamesInstalledCommandAndIcon();
    void readOnlyProgramFolderUsesUserDataFolder();

private:
    QTemporaryDir dir;
    QString sPrefix;
};

void tst_Installation::initTestCase()
{
    QVERIFY(dir.isValid());
    // Others (the unprivileged user below) must reach the prefix.
    QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther |
                                                  QFile::ExeOther | QFile::ReadGroup |
                                                  QFile::ExeGroup));
    sPrefix = dir.filePath("usr");
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(UA_CMAKE_COMMAND),
                  {"--install", QStringLiteral(UA_BIN_DIR "/.."), "--prefix", sPrefix});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());
}

void tst_Installation::layoutWhereDesktopsLook_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::newRow("program") << "lib/updateassist/UpdateAssist";
    QTest::newRow("language list") << "lib/updateassist/Lang/language.txt";
    QTest::newRow("help, Chinese") << "lib/updateassist/help/用户手册.html";
    QTest::newRow("help, English") << "lib/updateassist/help/UserGuide.html";
    QTest::newRow("help, PDF") << "lib/updateassist/help/UserGuide.pdf";
    QTest::newRow("driver folder") << "lib/updateassist/driver/60-updateassist.rules";
    QTest::newRow("udev rule") << "lib/udev/rules.d/60-updateassist.rules";
    QTest::newRow("desktop entry") << "share/applications/updateassist.desktop";
    QTest::newRow("icon 256") << "share/icons/hicolor/256x256/apps/updateassist.png";
    QTest::newRow("icon 64") << "share/icons/hicolor/64x64/apps/updateassist.png";
}

void tst_Installation::layoutWhereDesktopsLook()
{
    QFETCH(QString, sPath);
    const QFileInfo info(sPrefix + '/' + sPath);
    QVERIFY2(info.isFile(), qPrintable(info.filePath()));
    QVERIFY(info.size() > 0);
    if (sPath.endsWith(".png")) {
        const QImage image(info.filePath());
        QVERIFY(!image.isNull());
        // hicolor/<n>x<n>: the picture must have the size of its folder.
        const int nSize = sPath.section('/', 3, 3).section('x', 0, 0).toInt();
        QCOMPARE(image.size(), QSize(nSize, nSize));
    }
}

void tst_Installation::commandLinkLeadsToProgram()
{
    const QFileInfo link(sPrefix + "/bin/updateassist");
    QVERIFY(link.isSymLink());
    QCOMPARE(QFile::symLinkTarget(link.filePath()),
             QFileInfo(sPrefix + "/lib/updateassist/UpdateAssist").canonicalFilePath());
    // Relative, so that the tree can be moved (DESTDIR, packages).
    char target[256] = {};
    const ssize_t nLength =
        readlink(QFile::encodeName(link.filePath()).constData(), target, sizeof(target) - 1);
    QVERIFY(nLength > 0);
    QCOMPARE(QString::fromLocal8Bit(target, static_cast<int>(nLength)),
             QStringLiteral("../lib/updateassist/UpdateAssist"));
    QVERIFY(QFileInfo(link.filePath()).isExecutable());
}

void tst_Installation::desktopEntryNamesInstalledCommandAndIcon()
{
    QSettings entry(sPrefix + "/share/applications/updateassist.desktop", QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    QCOMPARE(entry.value("Type").toString(), QStringLiteral("Application"));
    QVERIFY(!entry.value("Name").toString().isEmpty());
    QVERIFY(QFileInfo(sPrefix + "/bin/" + entry.value("Exec").toString()).isExecutable());
    QVERIFY(QFileInfo::exists(sPrefix + "/share/icons/hicolor/256x256/apps/" +
                              entry.value("Icon").toString() + ".png"));
    QCOMPARE(entry.value("Terminal").toString(), QStringLiteral("false"));

    // The desktop's own checker, when it is there.
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start("desktop-file-validate", {sPrefix + "/share/applications/updateassist.desktop"});
    QVERIFY(validate.waitForFinished(30000));
    const QByteArray baReport = validate.readAll().trimmed();
    QVERIFY2(validate.exitCode() == 0 && baReport.isEmpty(), baReport.constData());
}

void tst_Installation::readOnlyProgramFolderUsesUserDataFolder()
{
    // A home of the program's user, with the data folder the program should choose.
    const QString sHome = dir.filePath("home");
    QVERIFY(QDir().mkpath(sHome + "/.local/share"));
    QVERIFY(QDir().mkpath(dir.filePath("tmp")));
    const bool bRoot = geteuid() == 0;
    const QString sProgramDir = sPrefix + "/lib/updateassist";
    if (bRoot) {
        for (const QString &sPath :
             {sHome, sHome + "/.local", sHome + "/.local/share", dir.filePath("tmp")})
            QCOMPARE(::chown(QFile::encodeName(sPath).constData(), kNobody, kNobody), 0);
    } else {
        QVERIFY(QFile::setPermissions(sProgramDir, QFile::ReadOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", sHome);
    env.insert("XDG_DATA_HOME", sHome + "/.local/share");
    env.insert("TMPDIR", dir.filePath("tmp"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("UPDATEASSIST_DISKS", dir.filePath("no-disk"));
    env.insert("UPDATEASSIST_SERVER", "127.0.9.250");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(sHome);
    program.setReadChannel(QProcess::StandardError);
    const QString sCommand = sPrefix + "/bin/updateassist";
    if (bRoot)
        program.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", sCommand});
    else
        program.start(sCommand, QStringList());
    QVERIFY(program.waitForStarted());

    const QString sDataDir = sHome + "/.local/share/UpdateAssist";
    QByteArray baErr;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     baErr += program.readAllStandardError();
                     return baErr.contains("UpdateAssist started in") ||
                            program.state() == QProcess::NotRunning;
                 },
                 60000),
             baErr.constData());
    QVERIFY2(
        baErr.contains(QStringLiteral("UpdateAssist started in \"%1\"").arg(sDataDir).toUtf8()),
        baErr.constData());

    ::kill(static_cast<pid_t>(program.processId()), SIGSEGV);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFileInfo::exists(sDataDir + "/crash.dmp"));
    QVERIFY(!QFileInfo::exists(sProgramDir + "/crash.dmp"));
}

QTEST_GUILESS_MAIN(tst_Installation)
#include "tst_Installation.moc"
