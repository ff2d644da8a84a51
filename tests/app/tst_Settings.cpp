#include "app/Language.h"
#include "app/Settings.h"

#include <QtTest>

// Settings live in "config.ini" in the working directory; each test runs in a
// fresh one.
class tst_Settings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultsWithoutConfigFile();
    void languageRoundTrip();
    void testSettingReadEachTime();
    void languageResource_data();
    void languageResource();
    void storedLanguageChoosesTranslation_data();
    void storedLanguageChoosesTranslation();
    void switchingToUnknownLanguageDropsOldTranslation();
    void qtDialogsSpeakTheLanguage_data();
    void qtDialogsSpeakTheLanguage();

private:
    void WriteConfig(const QByteArray &baText);
    std::unique_ptr<QTemporaryDir> dir;
    QString sOldDir;
};

void tst_Settings::init()
{
    sOldDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_Settings::cleanup()
{
    QDir::setCurrent(sOldDir);
    dir.reset();
}

void tst_Settings::WriteConfig(const QByteArray &baText)
{
    QFile file("config.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baText);
}

void tst_Settings::defaultsWithoutConfigFile()
{
    QCOMPARE(LanguageSetting(), 0);
    QCOMPARE(TestSetting(), false);
    // Reading leaves no file behind.
    QVERIFY(!QFile::exists("config.ini"));
}

void tst_Settings::languageRoundTrip()
{
    StoreLanguageSetting(2);
    QCOMPARE(LanguageSetting(), 2);
    StoreLanguageSetting(-1);
    QCOMPARE(LanguageSetting(), -1);
    QSettings ini("config.ini", QSettings::IniFormat);
    QCOMPARE(ini.value("config/language").toInt(), -1);
}

void tst_Settings::testSettingReadEachTime()
{
    WriteConfig("[config]\ntest=true\n");
    QCOMPARE(TestSetting(), true);
    // Set by hand while the program runs: the next read sees it.
    WriteConfig("[config]\ntest=false\nlanguage=1\n");
    QCOMPARE(TestSetting(), false);
    QCOMPARE(LanguageSetting(), 1);
}

void tst_Settings::languageResource_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("resource");
    QTest::newRow("0") << 0 << ":/other/cn.qm";
    QTest::newRow("1") << 1 << ":/other/tc.qm";
    QTest::newRow("2") << 2 << ":/other/en.qm";
    QTest::newRow("3") << 3 << "";
    QTest::newRow("-1") << -1 << "";
}

void tst_Settings::languageResource()
{
    QFETCH(int, position);
    QFETCH(QString, resource);
    QCOMPARE(LanguageResource(position), resource);
    if (!resource.isEmpty())
        QVERIFY(QFile::exists(resource));
}

void tst_Settings::storedLanguageChoosesTranslation_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("apply");
    QTest::newRow("no config: simplified Chinese") << QByteArray() << "应用";
    QTest::newRow("0") << QByteArray("[config]\nlanguage=0\n") << "应用";
    QTest::newRow("1") << QByteArray("[config]\nlanguage=1\n") << "應用";
    QTest::newRow("2") << QByteArray("[config]\nlanguage=2\n") << "Apply";
    QTest::newRow("3: source texts") << QByteArray("[config]\nlanguage=3\n") << "应用";
}

void tst_Settings::storedLanguageChoosesTranslation()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, apply);
    if (!config.isEmpty())
        WriteConfig(config);
    ApplyStoredLanguage();
    QCOMPARE(QCoreApplication::translate("SettingDlg", "应用"), apply);
    // Installed in every case, loaded or not.
    QVERIFY(QCoreApplication::removeTranslator(&AppTranslator()));
}

void tst_Settings::switchingToUnknownLanguageDropsOldTranslation()
{
    StoreLanguageSetting(2);
    ApplyStoredLanguage();
    QCOMPARE(QCoreApplication::translate("SettingDlg", "应用"), QStringLiteral("Apply"));
    StoreLanguageSetting(3);
    ApplyStoredLanguage();
    QCOMPARE(QCoreApplication::translate("SettingDlg", "应用"), QStringLiteral("应用"));
    QVERIFY(AppTranslator().isEmpty());
}

void tst_Settings::qtDialogsSpeakTheLanguage_data()
{
    QTest::addColumn<int>("nLanguage");
    QTest::addColumn<QString>("sSave");
    QTest::newRow("simplified Chinese") << 0 << "保存";
    QTest::newRow("traditional Chinese") << 1 << "儲存";
    QTest::newRow("English") << 2 << "Save";
    QTest::newRow("source texts") << 3 << "Save";
}

// Qt's own dialogs (file, print, preview) and buttons take the program's language.
void tst_Settings::qtDialogsSpeakTheLanguage()
{
    QFETCH(int, nLanguage);
    QFETCH(QString, sSave);
    bool bFound = false;
    for (const QString &sFolder : QtTranslationFolders())
        bFound = bFound || QFile::exists(sFolder + "/qtbase_zh_CN.qm");
    if (!bFound)
        QSKIP("Qt's translations are not installed (qttranslations5-l10n)");
    StoreLanguageSetting(nLanguage);
    ApplyStoredLanguage();
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Save"), sSave);
    StoreLanguageSetting(3);
    ApplyStoredLanguage();
    QVERIFY(AppTranslator().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
