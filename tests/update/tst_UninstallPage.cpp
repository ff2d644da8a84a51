// The uninstall page: which package folders of the device disk it lists, how,
// and what the uninstall button removes.

#include "UpdateTestBench.h"
#include "accounts/LoginReply.h"
#include "app/Language.h"
#include "app/Settings.h"
#include "update/TransferStopFlag.h"

using namespace UpdateTestBench;

class tst_UninstallPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listsInstalledPackages();
    void uninstallRemovesCheckedPackages();
    void uninstallWithNothingCheckedRebuilds();
    void noDiskNoRows();
    void languageSwitchRenamesRows();

private:
    QTemporaryDir dir;
    QString sDisk;
    std::unique_ptr<MainWindow> pWindow;

    MainWindow &OpenUninstallPage();
    void WriteManifest(const QString &sFolder, const QJsonObject &joManifest);
};

void tst_UninstallPage::initTestCase()
{
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    // No device on a serial line: the catalogue is not fetched.
    device::SetSerialOverride(dir.filePath("no-such-port"));
    SetLoginReply(QJsonObject{{"code", "000000"}});
}

void tst_UninstallPage::init()
{
    TransferStopFlag = 0;
    sDisk = dir.filePath("disk");
    QDir(sDisk).removeRecursively();
    QVERIFY(WriteFile(sDisk + "/sn.txt", "T000000000009"));
    SetDeviceDiskFolders({sDisk});
}

void tst_UninstallPage::cleanup()
{
    pWindow.reset();
    TakeMessages();
}

MainWindow &tst_UninstallPage::OpenUninstallPage()
{
    pWindow = std::make_unique<MainWindow>();
    pWindow->show();
    pWindow->FirstShow();
    Click(*pWindow, "btnUnistall");
    return *pWindow;
}

void tst_UninstallPage::WriteManifest(const QString &sFolder, const QJsonObject &joManifest)
{
    QVERIFY(WriteFile(sDisk + "/" + sFolder + "/Update.json", QJsonDocument(joManifest).toJson()));
}

void tst_UninstallPage::listsInstalledPackages()
{
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}, {"branch", "DASH"}});
    WriteManifest("Diag/Engine/Inner", {{"lang_name", "Inner"}, {"rev", "1"}}); // never found
    WriteManifest("Diag/Home", {{"lang_name", "main"}, {"rev", "V1.3"}});       // not listed
    QVERIFY(WriteFile(sDisk + "/Diag/Keys/UPDATE.JSON", R"({"lang_name": "Keys", "rev": "1.1"})"));
    QVERIFY(WriteFile(sDisk + "/Broken/Update.json", QByteArray())); // 0 bytes, no manifest
    const QByteArray baBig =
        QJsonDocument(QJsonObject{{"lang_name", "Big"}, {"rev", "7"}, {"branch", "immo"}}).toJson();
    QVERIFY(WriteFile(sDisk + "/Big/Update.json", baBig));
    QVERIFY(WriteFile(sDisk + "/Big/data/fill.bin", QByteArray(1048576 - baBig.size(), 'x')));

    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    const QStringList slSorted{"", "-Keys", "dash-Engine", "immo-Big"};
    QTRY_COMPARE(ColumnTexts(pTable, 0), slSorted);
    QCOMPARE(ColumnTexts(pTable, 1), (QStringList{"", "1.1", "2.0", "7"}));
    QCOMPARE(pTable->item(0, 2)->text(), QStringLiteral("0 Bytes"));
    QCOMPARE(pTable->item(3, 2)->text(), QStringLiteral("1.00 MB"));
    const QStringList slFolders{"Broken", "Diag/Keys", "Diag/Engine", "Big"};
    for (int nRow = 0; nRow < 4; ++nRow) {
        const QString sPath = pTable->item(nRow, 3)->text();
        QCOMPARE(QDir::cleanPath(sPath), sDisk + "/" + slFolders.at(nRow));
        QCOMPARE(pTable->item(nRow, 0)->data(Qt::UserRole + 1).toString(), sPath);
        QCOMPARE(pTable->item(nRow, 0)->checkState(), Qt::Unchecked);
    }
}

void tst_UninstallPage::uninstallRemovesCheckedPackages()
{
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}, {"branch", "dash"}});
    WriteManifest("Diag/Keys", {{"lang_name", "Keys"}, {"rev", "1.1"}, {"branch", "immo"}});
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pTable, 0), (QStringList{"dash-Engine", "immo-Keys"}));
    pTable->item(RowNamed(pTable, "immo-Keys"), 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUnistall");
    QVERIFY(!QFileInfo::exists(sDisk + "/Diag/Keys"));
    QVERIFY(QFileInfo::exists(sDisk + "/Diag/Engine/Update.json"));
    QTRY_COMPARE(ColumnTexts(pTable, 0), QStringList{"dash-Engine"});
    QCOMPARE(pTable->item(0, 0)->checkState(), Qt::Unchecked);
}

void tst_UninstallPage::uninstallWithNothingCheckedRebuilds()
{
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}, {"branch", "dash"}});
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pTable, 0), QStringList{"dash-Engine"});
    WriteManifest("Diag/Keys", {{"lang_name", "Keys"}, {"rev", "1.1"}, {"branch", "immo"}});
    Click(w, "btnOneKeyUnistall");
    QTRY_COMPARE(ColumnTexts(pTable, 0), (QStringList{"dash-Engine", "immo-Keys"}));
    QVERIFY(QFileInfo::exists(sDisk + "/Diag/Engine/Update.json"));
}

void tst_UninstallPage::noDiskNoRows()
{
    SetDeviceDiskFolders({});
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}});
    MainWindow &w = OpenUninstallPage();
    QTest::qWait(200);
    QCOMPARE(UnistallTable(w)->rowCount(), 0);
}

void tst_UninstallPage::languageSwitchRenamesRows()
{
    WriteManifest(
        "Diag/Engine",
        {{"lang_name", "Engine"}, {"EN_name", "Motor"}, {"rev", "2.0"}, {"branch", "dash"}});
    WriteManifest("Diag/Keys", {{"lang_name", "Keys"}, {"EN_name", "Immobiliser"}, {"rev", "1"}});
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pTable, 0), (QStringList{"-Keys", "dash-Engine"}));
    pTable->item(RowNamed(pTable, "dash-Engine"), 0)->setCheckState(Qt::Checked);

    StoreLanguageSetting(2);
    w.SwitchLanguage(QStringLiteral("en"));
    // The same packages, named and sorted in English; the check mark stays with its package.
    QCOMPARE(ColumnTexts(pTable, 0), (QStringList{"-Immobiliser", "Dashboard-Motor"}));
    QCOMPARE(pTable->item(1, 0)->checkState(), Qt::Checked);
    QCOMPARE(pTable->item(1, 3)->text(), pTable->item(1, 0)->data(Qt::UserRole + 1).toString());

    // Back to the source texts for the tests that follow.
    StoreLanguageSetting(3);
    ApplyStoredLanguage();
}

QTEST_MAIN(tst_UninstallPage)
#include "tst_UninstallPage.moc"
