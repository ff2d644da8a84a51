// The uninstall page: which package folders of the device disk it lists, how,
// and what the uninstall button removes.

#include "FatDisk.h"
#include "UpdateTestBench.h"
#include "WaitWatch.h"
#include "accounts/LoginReply.h"
#include "app/Language.h"
#include "app/Settings.h"
#include "device/DeviceState.h"
#include "update/InstalledPackages.h"
#include "update/TransferStopFlag.h"

#include <atomic>
#include <thread>

using namespace UpdateTestBench;

namespace
{
QMessageBox *ShownBox()
{
    const QList<QMessageBox *> boxes = TestWidgets::VisibleMessageBoxes();
    return boxes.isEmpty() ? nullptr : boxes.last();
}

void Answer(QMessageBox *pBox, const QString &sButton)
{
    const QList<QAbstractButton *> buttons = pBox->buttons();
    for (QAbstractButton *pButton : buttons) {
        if (pButton->text() == sButton)
            pButton->click();
    }
}
} // namespace

class tst_UninstallPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listsInstalledPackages();
    void devicesOwnPlacesAreNotListed_data();
    void devicesOwnPlacesAreNotListed();
    void uninstallRemovesCheckedPackages();
    void uninstallWithNothingCheckedRebuilds();
    void uninstallNotConfirmedRemovesNothing_data();
    void uninstallNotConfirmedRemovesNothing();
    void slowDiskLeavesProgramResponsive();
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

void tst_UninstallPage::devicesOwnPlacesAreNotListed_data()
{
    // An "Update.json" in the device's own places (an older build's, or a
    // crafted disk's) names a package of its choosing; one click on the
    // uninstall button would take every diagnostic record with it.
    QTest::addColumn<QString>("sFolder"); // below the disk
    QTest::newRow("SaveData") << "SaveData";
    QTest::newRow("a records folder") << "SaveData/DTC";
    QTest::newRow("the disk's root") << "";
}

void tst_UninstallPage::devicesOwnPlacesAreNotListed()
{
    QFETCH(QString, sFolder);
    const QString sPath = sFolder.isEmpty() ? sDisk : sDisk + "/" + sFolder;
    QVERIFY(WriteFile(sDisk + "/SaveData/DTC/record.bin", "a record"));
    QVERIFY(
        WriteFile(sPath + "/Update.json",
                  QJsonDocument(QJsonObject{{"lang_name", "Engine"}, {"rev", "2.0"}}).toJson()));
    WriteManifest("Diag/Keys", {{"lang_name", "Keys"}, {"rev", "1.1"}, {"branch", "immo"}});
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pTable, 0), QStringList{"immo-Keys"});
    // Nor by name, as the scan once handed its folders over.
    w.AddUnistallItem(sPath);
    QCOMPARE(ColumnTexts(pTable, 0), QStringList{"immo-Keys"});

    // Everything checked and uninstalled: the records stay.
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUnistall");
    QMessageBox *pQuestion = ShownBox();
    QVERIFY(pQuestion);
    Answer(pQuestion, "是");
    QTRY_VERIFY(!QFileInfo::exists(sDisk + "/Diag/Keys"));
    QVERIFY(QFileInfo::exists(sDisk + "/SaveData/DTC/record.bin"));
    QVERIFY(QFileInfo::exists(sPath + "/Update.json"));
    QTRY_COMPARE(MessageTexts(), QStringList{QStringLiteral("已卸载 1 个软件：\nimmo-Keys")});
}

void tst_UninstallPage::uninstallRemovesCheckedPackages()
{
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}, {"branch", "dash"}});
    WriteManifest("Diag/Keys", {{"lang_name", "Keys"}, {"rev", "1.1"}, {"branch", "immo"}});
    WriteManifest("Diag/Lamps", {{"lang_name", "Lamps"}, {"rev", "3"}, {"branch", "dash"}});
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pTable, 0), (QStringList{"dash-Engine", "dash-Lamps", "immo-Keys"}));
    pTable->item(RowNamed(pTable, "immo-Keys"), 0)->setCheckState(Qt::Checked);
    pTable->item(RowNamed(pTable, "dash-Lamps"), 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUnistall");

    // First the question, with the packages by name; nothing has gone yet.
    QMessageBox *pQuestion = ShownBox();
    QVERIFY(pQuestion);
    QCOMPARE(pQuestion->icon(), QMessageBox::Question);
    QCOMPARE(pQuestion->text(),
             QStringLiteral("确定要卸载选中的 2 个软件吗？\n\ndash-Lamps\nimmo-Keys"));
    QVERIFY(QFileInfo::exists(sDisk + "/Diag/Keys/Update.json"));
    Answer(pQuestion, "是");

    QTRY_VERIFY(!QFileInfo::exists(sDisk + "/Diag/Keys"));
    QVERIFY(!QFileInfo::exists(sDisk + "/Diag/Lamps"));
    QVERIFY(QFileInfo::exists(sDisk + "/Diag/Engine/Update.json"));
    QTRY_COMPARE(ColumnTexts(pTable, 0), QStringList{"dash-Engine"});
    QCOMPARE(pTable->item(0, 0)->checkState(), Qt::Unchecked);
    // Afterwards it says what went.
    QTRY_COMPARE(MessageTexts(),
                 QStringList{QStringLiteral("已卸载 2 个软件：\ndash-Lamps\nimmo-Keys")});
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
    // No question: there is nothing to ask about; the user is told to choose.
    QCOMPARE(TakeMessages(), QStringList{QStringLiteral("请先勾选要卸载的软件。")});
}

void tst_UninstallPage::uninstallNotConfirmedRemovesNothing_data()
{
    QTest::addColumn<QString>("sAnswer"); // a button, or "close" for the title bar's
    QTest::newRow("no") << "否";
    QTest::newRow("closed") << "close";
}

void tst_UninstallPage::uninstallNotConfirmedRemovesNothing()
{
    QFETCH(QString, sAnswer);
    WriteManifest("Diag/Keys", {{"lang_name", "Keys"}, {"rev", "1.1"}, {"branch", "immo"}});
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pTable, 0), QStringList{"immo-Keys"});
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUnistall");
    QPointer<QMessageBox> pQuestion = ShownBox();
    QVERIFY(pQuestion);
    if (sAnswer == QLatin1String("close"))
        pQuestion->findChild<QPushButton *>("btnClose")->click();
    else
        Answer(pQuestion, sAnswer);
    QTRY_VERIFY(pQuestion.isNull());
    // An answer of yes would have queued the removal; it runs now or never.
    QCoreApplication::sendPostedEvents();
    QVERIFY(QFileInfo::exists(sDisk + "/Diag/Keys/Update.json"));
    QCOMPARE(ColumnTexts(pTable, 0), QStringList{"immo-Keys"});
    QCOMPARE(pTable->item(0, 0)->checkState(), Qt::Checked);
    QVERIFY(MessageTexts().isEmpty());
}

// The sizes of the listed packages are counted by the scan, not by the window:
// part of a package lies on a disk that stops answering, and the program goes
// on handling its events while the count waits for it.
void tst_UninstallPage::slowDiskLeavesProgramResponsive()
{
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}, {"branch", "dash"}});
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/data/a.bin", QByteArray(1000, 'a')));
    const QString sSlow = sDisk + "/Diag/Engine/data/slow";
    QVERIFY(QDir().mkpath(sSlow));
    // Mounted before the window watches the mount table.
    FatDisk slow(dir.filePath("slow.img"), sSlow);
    if (!slow.IsMounted())
        QSKIP(qPrintable(slow.Error()));
    QVERIFY(WriteFile(sSlow + "/b.bin", QByteArray(2048, 'b')));
    const quint64 nBytes = DirectorySize(sDisk + "/Diag/Engine");
    QVERIFY(nBytes > 3048);

    pWindow = std::make_unique<MainWindow>();
    pWindow->show();
    pWindow->FirstShow();
    QTableWidget *pTable = UnistallTable(*pWindow);
    QVERIFY(slow.Pause());
    // Should the window wait for the disk itself, the disk answers again after
    // a while (longer than the wait below, which a busy machine may need), so
    // that the test ends (and fails). Ended and joined on every way out.
    std::atomic<bool> bDone{false};
    std::thread watchdog([&bDone, &slow]() {
        for (int i = 0; i < 400 && !bDone; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        slow.Resume();
    });
    struct Ender {
        std::atomic<bool> &bDone;
        std::thread &thread;
        ~Ender()
        {
            bDone = true;
            if (thread.joinable())
                thread.join();
        }
    } ender{bDone, watchdog};
    WaitWatch watch([pTable]() { return pTable->rowCount() == 0; });
    Click(*pWindow, "btnUnistall");
    QTRY_VERIFY2_WITH_TIMEOUT(watch.Turns() >= 50,
                              qPrintable(QStringLiteral("turns %1, rows %2, longest gap %3 ms")
                                             .arg(watch.Turns())
                                             .arg(pTable->rowCount())
                                             .arg(watch.LongestGapMs())),
                              15000);
    QCOMPARE(pTable->rowCount(), 0); // still counting
    bDone = true;
    watchdog.join();
    QTRY_COMPARE(ColumnTexts(pTable, 0), QStringList{"dash-Engine"});
    watch.Stop();
    QCOMPARE(pTable->item(0, 2)->text(), FormatSize(nBytes));
}

void tst_UninstallPage::noDiskNoRows()
{
    SetDeviceDiskFolders({});
    WriteManifest("Diag/Engine", {{"lang_name", "Engine"}, {"rev", "2.0"}});
    MainWindow &w = OpenUninstallPage();
    // No event marks a scan that finds nothing: rows would come within this time.
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
