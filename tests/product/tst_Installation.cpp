// The installed program: `cmake --install` into a fresh prefix lays out the
// program folder, the command link, the desktop entry, its icon, the manual
// page, the AppStream description, the copyright and the udev rule; run from a
// folder its user cannot write to (as under /usr), the program keeps
// "config.ini" and "crash.dmp" in the user's data folder instead. The .deb
// built from the same tree passes lintian without errors.

#include <QImage>
#include <QLibraryInfo>
#include <QRegularExpression>
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
    void runsWithoutMultimediaPlugins();
    void manualPageRendersAndNamesEnvironment();
    void appstreamDescriptionValidates();
    void debianPackagePassesLintian();

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
    QTest::newRow("manual page") << "share/man/man1/updateassist.1.gz";
    QTest::newRow("AppStream") << "share/metainfo/com.norvale.updateassist.metainfo.xml";
    QTest::newRow("copyright") << "share/doc/updateassist/copyright";
    QTest::newRow("changelog") << "share/doc/updateassist/changelog.Debian.gz";
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

namespace
{
struct ToolRun {
    int nExitCode = -1;
    QByteArray baOut;
    QByteArray baErr;
};

ToolRun RunTool(const QString &sProgram, const QStringList &slArgs, int nTimeoutMs = 120000,
                const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    ToolRun run;
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(sProgram, slArgs);
    if (!process.waitForStarted())
        return run;
    if (!process.waitForFinished(nTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    run.baOut = process.readAllStandardOutput();
    run.baErr = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        run.nExitCode = process.exitCode();
    return run;
}

// Issue lines of lintian or appstreamcli ("E: ...", "W: ...") of one kind.
QList<QByteArray> LinesOfKind(const QByteArray &baReport, const QByteArray &baKind)
{
    QList<QByteArray> lines;
    const QList<QByteArray> all = baReport.split('\n');
    for (const QByteArray &baLine : all) {
        if (baLine.startsWith(baKind + ": "))
            lines << baLine;
    }
    return lines;
}
} // namespace

void tst_Installation::runsWithoutMultimediaPlugins()
{
    // As on a system without Qt's multimedia plugins, which the package only
    // recommends (the click sound goes to PulseAudio without them): a copy of
    // the installed program whose qt.conf names a plugin folder holding every
    // other kind of the system's plugins.
    const QString sSystemPlugins = QLibraryInfo::location(QLibraryInfo::PluginsPath);
    const QString sQuiet = dir.filePath("quiet");
    const QString sPlugins = sQuiet + "/plugins";
    QVERIFY(QDir().mkpath(sPlugins));
    const QStringList slKinds = QDir(sSystemPlugins).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY2(slKinds.contains("platforms"), qPrintable(sSystemPlugins));
    const QStringList slMultimedia = {"audio", "mediaservice", "playlistformats"};
    for (const QString &sKind : slKinds) {
        if (!slMultimedia.contains(sKind))
            QVERIFY(QFile::link(sSystemPlugins + '/' + sKind, sPlugins + '/' + sKind));
    }
    QVERIFY(QFile::copy(sPrefix + "/lib/updateassist/UpdateAssist", sQuiet + "/UpdateAssist"));
    {
        QFile conf(sQuiet + "/qt.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Paths]\nPlugins=plugins\n");
    }
    // A device disk: start-up selects it, presses the download tool button
    // and asks for the catalogue.
    const QString sDisk = dir.filePath("quiet-disk");
    QVERIFY(QDir().mkpath(sDisk));
    {
        QFile sn(sDisk + "/sn.txt");
        QVERIFY(sn.open(QIODevice::WriteOnly));
        sn.write("D520000000001");
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_PLUGIN_PATH");
    env.insert("QT_DEBUG_PLUGINS", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TMPDIR", dir.filePath("tmp"));
    env.insert("UPDATEASSIST_DISKS", sDisk);
    env.insert("UPDATEASSIST_SERIAL", dir.filePath("no-port"));
    env.insert("UPDATEASSIST_SERVER", "127.0.9.250");
    env.insert("UA_SCREENSHOT", sQuiet + "/window.png");
    env.insert("UA_SCREENSHOT_DELAY_MS", "0");
    QVERIFY(QDir().mkpath(dir.filePath("tmp")));
    const ToolRun run = RunTool(sQuiet + "/UpdateAssist", {}, 120000, env);
    // Its plugins came from the folder of qt.conf, none of them multimedia.
    QVERIFY2(run.baErr.contains(QFile::encodeName(sPlugins + "/platforms")),
             run.baErr.left(3000).constData());
    for (const QString &sKind : slMultimedia)
        QVERIFY2(!run.baErr.contains(QFile::encodeName(sSystemPlugins + '/' + sKind)),
                 qPrintable(sKind));
    QVERIFY2(run.nExitCode == 0, run.baErr.right(3000).constData());
    QVERIFY2(run.baErr.contains("UpdateAssist started in"), run.baErr.right(3000).constData());
    const QImage window(sQuiet + "/window.png");
    QVERIFY(!window.isNull());
    QVERIFY(window.width() > 400 && window.height() > 300);
}

void tst_Installation::manualPageRendersAndNamesEnvironment()
{
    if (QStandardPaths::findExecutable("man").isEmpty())
        QSKIP("man is not installed (man-db)");
    // As lintian reads it: groff's warnings come on standard error.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("MANWIDTH", "80");
    env.insert("MANROFFSEQ", "");
    const ToolRun run = RunTool(
        "man", {"--warnings", "-E", "UTF-8", "-l", sPrefix + "/share/man/man1/updateassist.1.gz"},
        60000, env);
    QVERIFY2(run.nExitCode == 0 && run.baErr.isEmpty(), run.baErr.constData());
    const QString sPage = QString::fromUtf8(run.baOut);
    QVERIFY2(sPage.contains("UPDATEASSIST(1)"), run.baOut.constData());
    // The environment and the files the program reads and writes.
    for (const char *pName :
         {"UPDATEASSIST_SERVER", "UPDATEASSIST_DISKS", "UPDATEASSIST_SERIAL",
          "UA_SCREENSHOT_DELAY_MS", "UA_SCREENSHOT", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
          "config.ini", "language=0|1|2", "Lang/language.txt", "User.bin", "crash.dmp", "help/",
          "driver/", "~/.local/share/UpdateAssist/", "~/.config/Norvale/proxy.conf",
          "60-updateassist.rules"})
        QVERIFY2(sPage.contains(QLatin1String(pName)), pName);
}

void tst_Installation::appstreamDescriptionValidates()
{
    const QString sFile = sPrefix + "/share/metainfo/com.norvale.updateassist.metainfo.xml";
    QFile file(sFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray baXml = file.readAll();
    // It names what the installation holds: the desktop entry and the command.
    QVERIFY(baXml.contains("<id>com.norvale.updateassist</id>"));
    QVERIFY(baXml.contains("<launchable type=\"desktop-id\">updateassist.desktop</launchable>"));
    QVERIFY(QFileInfo::exists(sPrefix + "/share/applications/updateassist.desktop"));
    QVERIFY(baXml.contains("<binary>updateassist</binary>"));
    QVERIFY(baXml.contains("<modalias>usb:v1FC9p009E*</modalias>"));

    if (QStandardPaths::findExecutable("appstreamcli").isEmpty())
        QSKIP("appstreamcli is not installed (appstream)");
    const ToolRun run = RunTool("appstreamcli", {"validate", "--no-net", "--pedantic", sFile});
    const QByteArray baReport = run.baOut + run.baErr;
    qInfo("%s", baReport.trimmed().constData());
    QVERIFY2(run.nExitCode == 0, baReport.constData());
    QVERIFY2(LinesOfKind(baReport, "E").isEmpty() && LinesOfKind(baReport, "W").isEmpty(),
             baReport.constData());
}

void tst_Installation::debianPackagePassesLintian()
{
    for (const char *pTool : {"dpkg-deb", "dpkg-shlibdeps", "lintian"}) {
        if (QStandardPaths::findExecutable(QLatin1String(pTool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed: the .deb is not built and "
                                            "checked (scripts/bootstrap installs dpkg-dev "
                                            "and lintian)")
                                 .arg(QLatin1String(pTool))));
    }
    const QString sCpack = QFileInfo(QStringLiteral(UA_CMAKE_COMMAND)).dir().filePath("cpack");
    QTemporaryDir packages;
    QVERIFY(packages.isValid());
    const ToolRun build = RunTool(sCpack,
                                  {"--config", QStringLiteral(UA_BIN_DIR "/../CPackConfig.cmake"),
                                   "-G", "DEB", "-B", packages.path()},
                                  600000);
    QVERIFY2(build.nExitCode == 0, (build.baOut + build.baErr).constData());
    const QStringList slDebs = QDir(packages.path()).entryList({"updateassist_*.deb"}, QDir::Files);
    QCOMPARE(slDebs.size(), 1);
    const QString sDeb = packages.filePath(slDebs.first());

    // The fields a maintainer reads first.
    const ToolRun fields =
        RunTool("dpkg-deb", {"--field", sDeb, "Maintainer", "Depends", "Recommends"});
    QCOMPARE(fields.nExitCode, 0);
    const QString sFields = QString::fromUtf8(fields.baOut);
    const QString sMaintainer =
        sFields.section(QLatin1String("Maintainer: "), 1).section('\n', 0, 0).trimmed();
    const QString sDepends =
        sFields.section(QLatin1String("Depends: "), 1).section('\n', 0, 0).trimmed();
    const QString sRecommends =
        sFields.section(QLatin1String("Recommends: "), 1).section('\n', 0, 0).trimmed();
    QVERIFY2(QRegularExpression(QStringLiteral("^[^<>]+ <[^@<>\\s]+@[^@<>\\s]+\\.[a-z]+>$"))
                 .match(sMaintainer)
                 .hasMatch(),
             qPrintable(sMaintainer));
    for (const char *pPlaceholder : {".invalid>", ".example>", ".test>", ".localhost>"})
        QVERIFY2(!sMaintainer.endsWith(QLatin1String(pPlaceholder)), qPrintable(sMaintainer));
    // The click sound and opening the help are not needed to run the program.
    QVERIFY2(sRecommends.contains("xdg-utils"), qPrintable(sRecommends));
    QVERIFY2(sRecommends.contains("libqt5multimedia5-plugins"), qPrintable(sRecommends));
    // Qt's dialogs in the program's language.
    QVERIFY2(sRecommends.contains("qttranslations5-l10n"), qPrintable(sRecommends));
    QVERIFY2(!sDepends.contains("libqt5multimedia5-plugins"), qPrintable(sDepends));
    QVERIFY2(sDepends.contains("libqt5multimedia5"), qPrintable(sDepends));

    const ToolRun contents = RunTool("dpkg-deb", {"--contents", sDeb});
    QCOMPARE(contents.nExitCode, 0);
    for (const char *pPath :
         {"./usr/share/doc/updateassist/copyright",
          "./usr/share/doc/updateassist/changelog.Debian.gz",
          "./usr/share/man/man1/updateassist.1.gz",
          "./usr/share/metainfo/com.norvale.updateassist.metainfo.xml",
          "./usr/lib/udev/rules.d/60-updateassist.rules", "./usr/bin/updateassist"})
        QVERIFY2(contents.baOut.contains(pPath), pPath);

#ifdef UA_INSTRUMENTED_BUILD
    QSKIP("a sanitizer build's package is not the one shipped: lintian judges the normal build's");
#endif
    // lintian's errors fail; its warnings are shown here.
    const ToolRun lint = RunTool("lintian", {"--fail-on", "error", sDeb}, 600000);
    const QByteArray baReport = lint.baOut + lint.baErr;
    qInfo("lintian on %s:\n%s", qPrintable(slDebs.first()), baReport.trimmed().constData());
    QVERIFY2(LinesOfKind(baReport, "E").isEmpty(), baReport.constData());
    QVERIFY2(lint.nExitCode == 0, baReport.constData());
}

QTEST_GUILESS_MAIN(tst_Installation)
#include "tst_Installation.moc"
