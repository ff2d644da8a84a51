#include "FormContract.h"
#include "app/SettingDlg.h"
#include "app/Settings.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

// The dialog reads "./Lang/language.txt" and "config.ini" from the working
// directory; each test runs in a fresh one.
class tst_SettingDlg : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void builtInEntriesWithoutFiles();
    void languageList_data();
    void languageList();
    void applyStoresPositionAndEmitsPack_data();
    void applyStoresPositionAndEmitsPack();
    void escapeLeavesDialogOpen();
    void formContract_data();
    void formContract();
    void applyIsWideAndCloseCloses();

private:
    void WriteLanguageList(const QByteArray &baJson);
    void WriteLanguage(int nPos);
    std::unique_ptr<QTemporaryDir> dir;
    QString sOldDir;
};

void tst_SettingDlg::init()
{
    sOldDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_SettingDlg::cleanup()
{
    QDir::setCurrent(sOldDir);
    dir.reset();
}

void tst_SettingDlg::WriteLanguageList(const QByteArray &baJson)
{
    QVERIFY(QDir().mkpath("Lang"));
    QFile file("Lang/language.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baJson);
}

void tst_SettingDlg::WriteLanguage(int nPos)
{
    QSettings settings("config.ini", QSettings::IniFormat);
    settings.setValue("config/language", nPos);
}

void tst_SettingDlg::builtInEntriesWithoutFiles()
{
    SettingDlg dialog(nullptr);
    auto *pCombo = dialog.findChild<QComboBox *>("cmbLangluage");
    QVERIFY(pCombo);
    QCOMPARE(pCombo->count(), 3);
    QCOMPARE(pCombo->itemText(0), QStringLiteral("Chinese(简体中文)"));
    QCOMPARE(pCombo->itemText(1), QStringLiteral("繁体中文"));
    QCOMPARE(pCombo->itemText(2), QStringLiteral("English"));
    QCOMPARE(pCombo->currentIndex(), 0);

    dialog.show();
    QSignalSpy spy(&dialog, &SettingDlg::SetLanguage);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toString(), QString());
    QVERIFY(!dialog.isVisible());
    QSettings settings("config.ini", QSettings::IniFormat);
    QCOMPARE(settings.value("config/language").toString(), QStringLiteral("0"));
}

void tst_SettingDlg::languageList_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("current");
    const QByteArray baThree = R"([{"name":"简体","pack":"cn"},{"name":"繁體","pack":"tc"},)"
                               R"({"name":"English","pack":"en"}])";
    QTest::newRow("shipped order") << baThree << 2 << QStringList{"简体", "繁體", "English"} << 2;
    QTest::newRow("position beyond the end")
        << baThree << 7 << QStringList{"简体", "繁體", "English"} << -1;
    QTest::newRow("second element a string is skipped")
        << QByteArray(R"([{"name":"A","pack":"a"},"junk",{"name":"B","pack":"b"},)"
                      R"({"name":"C","pack":"c"}])")
        << 1 << QStringList{"A", "B", "C"} << 1;
    QTest::newRow("not an array") << QByteArray(R"({"name":"A"})") << 0 << QStringList() << -1;
    QTest::newRow("not JSON") << QByteArray("[{") << 0 << QStringList() << -1;
}

void tst_SettingDlg::languageList()
{
    QFETCH(QByteArray, list);
    QFETCH(int, stored);
    QFETCH(QStringList, names);
    QFETCH(int, current);
    WriteLanguageList(list);
    WriteLanguage(stored);
    SettingDlg dialog(nullptr);
    auto *pCombo = dialog.findChild<QComboBox *>("cmbLangluage");
    QStringList shown;
    for (int i = 0; i < pCombo->count(); ++i)
        shown << pCombo->itemText(i);
    QCOMPARE(shown, names);
    QCOMPARE(pCombo->currentIndex(), current);
}

void tst_SettingDlg::applyStoresPositionAndEmitsPack_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("choose");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("pack");
    const QByteArray baThree = R"([{"name":"简体","pack":"cn"},{"name":"繁體","pack":"tc"},)"
                               R"({"name":"English","pack":"en"}])";
    QTest::newRow("Return on English") << baThree << 2 << int(Qt::Key_Return) << 2 << "en";
    QTest::newRow("Enter on Traditional") << baThree << 1 << int(Qt::Key_Enter) << 1 << "tc";
    QTest::newRow("Apply button") << baThree << 0 << 0 << 0 << "cn";
    QTest::newRow("numeric pack") << QByteArray(R"([{"name":"X","pack":5}])") << 0
                                  << int(Qt::Key_Return) << 0 << "5";
    QTest::newRow("empty list stores -1")
        << QByteArray("{}") << -1 << int(Qt::Key_Return) << -1 << "";
}

void tst_SettingDlg::applyStoresPositionAndEmitsPack()
{
    QFETCH(QByteArray, list);
    QFETCH(int, choose);
    QFETCH(int, key);
    QFETCH(int, stored);
    QFETCH(QString, pack);
    WriteLanguageList(list);
    SettingDlg dialog(nullptr);
    dialog.show();
    auto *pCombo = dialog.findChild<QComboBox *>("cmbLangluage");
    pCombo->setCurrentIndex(choose);
    QSignalSpy spy(&dialog, &SettingDlg::SetLanguage);
    if (key)
        QTest::keyClick(&dialog, Qt::Key(key));
    else
        dialog.findChild<QPushButton *>("btnApply")->click();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toString(), pack);
    QCOMPARE(LanguageSetting(), stored);
    QVERIFY(!dialog.isVisible());
}

void tst_SettingDlg::escapeLeavesDialogOpen()
{
    SettingDlg dialog(nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy spy(&dialog, &SettingDlg::SetLanguage);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_A);
    QVERIFY(dialog.isVisible());
    QCOMPARE(spy.size(), 0);
    QVERIFY(!QFile::exists("config.ini"));
    // Return also works while the list has the focus.
    auto *pCombo = dialog.findChild<QComboBox *>("cmbLangluage");
    pCombo->setFocus();
    QTest::keyClick(pCombo, Qt::Key_Return);
    QCOMPARE(spy.size(), 1);
}

void tst_SettingDlg::formContract_data()
{
    using FormContract::Row;
    using FormContract::Shown;
    FormContract::AddColumn();
    FormContract::AddRows({
        Row("SettingDlg", "SettingDlg")
            .Flags(Qt::FramelessWindowHint)
            .Properties({{"Form", true}, {"CanMove", true}}),
        Row("btnMin", "QPushButton").Is(Shown::Hidden),
        Row("btnMax", "QPushButton").Is(Shown::Hidden),
        Row("btnApply", "QPushButton"),
        Row("btnClose", "QPushButton"),
    });
}

void tst_SettingDlg::formContract()
{
    QFETCH(FormContract::Row, row);
    SettingDlg dialog(nullptr);
    FormContract::Verify(&dialog, row);
}

void tst_SettingDlg::applyIsWideAndCloseCloses()
{
    SettingDlg dialog(nullptr);
    QVERIFY(dialog.findChild<QPushButton *>("btnApply")->maximumWidth() >= 160);
    dialog.show();
    dialog.findChild<QPushButton *>("btnClose")->click();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(tst_SettingDlg)
#include "tst_SettingDlg.moc"
