// The check and repair buttons of the uninstall page, on the real main window
// against the stand-in update server: what each package shows after a check,
// what a repair brings back, what it leaves for an update, and a cancel.

#include "UpdateTestBench.h"
#include "accounts/LoginReply.h"
#include "accounts/UserManage.h"
#include "app/Language.h"
#include "app/Settings.h"
#include "device/DeviceState.h"
#include "update/PackageCheckPanel.h"
#include "update/TransferStopFlag.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>

using namespace UpdateTestBench;

namespace
{

const QString kAddress = QStringLiteral("127.0.19.2");
const QMap<QString, QByteArray> kEngine{{"a.bin", QByteArray(200000, 'a')},
                                        {"sub/b.bin", "engine b"}};
const QMap<QString, QByteArray> kKeys{{"k1.bin", QByteArray(50000, 'k')}, {"k2.bin", "keys two"}};
const QMap<QString, QByteArray> kFine{{"f.bin", "fine"}};

} // namespace

class tst_UninstallCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void checkShowsEachPackage();
    void repairBringsBackCheckedPackages();
    void cancelEndsRepair();
    void repairFollowsSignIn();
    void languageSwitchRetranslatesOutcome();

private:
    QTemporaryDir dir;
    QString sDisk;
    QString sPackages;
    std::unique_ptr<UpdateServerProcess> pServer;
    std::unique_ptr<MainWindow> pWindow;

    void Serve(const QString &sName, const QString &sDir, const QString &sRev,
               const QMap<QString, QByteArray> &files);
    void Install(const QString &sDir, const QString &sRev, const QMap<QString, QByteArray> &files);
    MainWindow &OpenUninstallPage();
    int RowOf(const QString &sDir) const;
    QTableWidgetItem *Outcome(const QString &sDir) const;
    void WaitUntilIdle();
};

void tst_UninstallCheck::initTestCase()
{
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    sDisk = dir.filePath("disk");
    sPackages = dir.filePath("packages");
    QDir().mkpath(sPackages);
    // No device on a serial line: the catalogue is not fetched.
    device::SetSerialOverride(dir.filePath("no-such-port"));
    pServer = std::make_unique<UpdateServerProcess>(kAddress);
    pServer->SetPackagesFolder(sPackages);
    pServer->AddAccount("alice", "secret123");
    QVERIFY2(pServer->Start(), qPrintable(pServer->Output()));
    SetServerAddress(kAddress);
}

void tst_UninstallCheck::Serve(const QString &sName, const QString &sDir, const QString &sRev,
                               const QMap<QString, QByteArray> &files)
{
    const QString sRoot = sPackages + "/" + sName;
    QDir(sRoot).removeRecursively();
    QVERIFY(WriteFile(
        sRoot + "/package.json",
        QJsonDocument(
            QJsonObject{{"dir", sDir}, {"rev", sRev}, {"lang_name", sDir.section('/', -1)}})
            .toJson()));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(WriteFile(sRoot + "/files/" + it.key(), it.value()));
}

// The files and the installed manifest, as a download leaves them.
void tst_UninstallCheck::Install(const QString &sDir, const QString &sRev,
                                 const QMap<QString, QByteArray> &files)
{
    QJsonArray jaFiles;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QVERIFY(WriteFile(sDisk + "/" + sDir + "/" + it.key(), it.value()));
        jaFiles.append(QJsonObject{{"Path", sDir + "/" + it.key()},
                                   {"Hash", Md5(it.value())},
                                   {"Size", it.value().size()}});
    }
    const QJsonObject joManifest{
        {"dir", sDir}, {"rev", sRev}, {"lang_name", sDir.section('/', -1)}, {"files", jaFiles}};
    QVERIFY(WriteFile(sDisk + "/" + sDir + "/Update.json", QJsonDocument(joManifest).toJson()));
}

void tst_UninstallCheck::init()
{
    SetLoginReply(QJsonObject{{"code", "000000"}});
    TransferStopFlag = 0;
    pServer->ClearFaults();
    QDir(sDisk).removeRecursively();
    QDir(sPackages).removeRecursively();
    QVERIFY(WriteFile(sDisk + "/sn.txt", "D000000000001"));
    SetDeviceDiskFolders({sDisk});
    // Engine and Fine are served as installed; Keys has moved on to 1.1.
    Serve("10-engine", "Diag/Engine", "2.0", kEngine);
    Serve("20-keys", "Diag/Keys", "1.1", kKeys);
    Serve("30-fine", "Diag/Fine", "1.0", kFine);
    Install("Diag/Engine", "2.0", kEngine);
    Install("Diag/Keys", "1.0", kKeys);
    Install("Diag/Fine", "1.0", kFine);
    QVERIFY(WriteFile(sDisk + "/Broken/Update.json", "{\"rev\": \"1.0\", \"files\": ["));
    pServer->ClearRequests();
}

void tst_UninstallCheck::cleanup()
{
    pWindow.reset();
    TakeMessages();
    TestWidgets::DeleteTopLevelsOf<UserManage>();
}

MainWindow &tst_UninstallCheck::OpenUninstallPage()
{
    pWindow = std::make_unique<MainWindow>();
    pWindow->show();
    pWindow->FirstShow();
    Click(*pWindow, "btnUnistall");
    QTableWidget *pTable = UnistallTable(*pWindow);
    [&] { QTRY_COMPARE(pTable->rowCount(), 4); }();
    return *pWindow;
}

int tst_UninstallCheck::RowOf(const QString &sDir) const
{
    QTableWidget *pTable = UnistallTable(*pWindow);
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        if (QDir::cleanPath(pTable->item(nRow, 0)->data(Qt::UserRole + 1).toString()) ==
            sDisk + "/" + sDir)
            return nRow;
    }
    return -1;
}

QTableWidgetItem *tst_UninstallCheck::Outcome(const QString &sDir) const
{
    const int nRow = RowOf(sDir);
    return nRow < 0 ? nullptr
                    : UnistallTable(*pWindow)->item(nRow, PackageCheckPanel::ResultColumn);
}

void tst_UninstallCheck::WaitUntilIdle()
{
    auto *pCheck = pWindow->findChild<QPushButton *>("btnCheck");
    QTRY_VERIFY_WITH_TIMEOUT(pCheck->isEnabled(), 30000);
}

void tst_UninstallCheck::checkShowsEachPackage()
{
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QCOMPARE(pTable->horizontalHeaderItem(PackageCheckPanel::ResultColumn)->text(),
             QStringLiteral("检查结果"));
    QByteArray baDamaged = kEngine.value("a.bin");
    baDamaged[100] = 'x';
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/a.bin", baDamaged));
    QVERIFY(QFile::remove(sDisk + "/Diag/Keys/k1.bin"));
    QVERIFY(WriteFile(sDisk + "/Diag/Keys/k2.bin", "keys two, longer"));

    // Nothing checked: every package is checked.
    Click(w, "btnCheck");
    auto *pProgress = w.findChild<QProgressBar *>("pbCheck");
    QVERIFY(pProgress->isVisible());
    QVERIFY(w.findChild<QPushButton *>("btnCancelCheck")->isVisible());
    QVERIFY(!w.findChild<QPushButton *>("btnOneKeyUnistall")->isEnabled());
    QVERIFY(!w.findChild<QPushButton *>("btnRepair")->isEnabled());
    WaitUntilIdle();
    QVERIFY(!pProgress->isVisible());
    QVERIFY(w.findChild<QPushButton *>("btnOneKeyUnistall")->isEnabled());

    QCOMPARE(Outcome("Diag/Fine")->text(), QStringLiteral("完好"));
    QVERIFY(Outcome("Diag/Fine")->toolTip().isEmpty());
    QCOMPARE(Outcome("Diag/Engine")->text(), QStringLiteral("1 个文件损坏或缺失"));
    QCOMPARE(Outcome("Diag/Engine")->toolTip(), QStringLiteral("内容损坏：Diag/Engine/a.bin"));
    QCOMPARE(Outcome("Diag/Keys")->text(), QStringLiteral("2 个文件损坏或缺失"));
    QCOMPARE(Outcome("Diag/Keys")->toolTip(),
             QStringLiteral("缺失：Diag/Keys/k1.bin\n大小不符：Diag/Keys/k2.bin"));
    QCOMPARE(Outcome("Broken")->text(), QStringLiteral("安装清单 Update.json 无法读取"));
    QVERIFY(TakeMessages().isEmpty());
    // A check asks the server nothing.
    QVERIFY(pServer->Requests().isEmpty());

    // Only the checked row, when one is checked: the others keep their outcome.
    QVERIFY(QFile::remove(sDisk + "/Diag/Fine/Update.json"));
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/a.bin", kEngine.value("a.bin")));
    pTable->item(RowOf("Diag/Fine"), 0)->setCheckState(Qt::Checked);
    Click(w, "btnCheck");
    WaitUntilIdle();
    QCOMPARE(Outcome("Diag/Fine")->text(), QStringLiteral("缺少安装清单 Update.json"));
    QCOMPARE(Outcome("Diag/Engine")->text(), QStringLiteral("1 个文件损坏或缺失"));
}

void tst_UninstallCheck::repairBringsBackCheckedPackages()
{
    MainWindow &w = OpenUninstallPage();
    QTableWidget *pTable = UnistallTable(w);
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/a.bin", "damaged"));
    QVERIFY(QFile::remove(sDisk + "/Diag/Engine/sub/b.bin"));
    QVERIFY(QFile::remove(sDisk + "/Diag/Keys/k1.bin"));
    QVERIFY(QFile::remove(sDisk + "/Diag/Fine/f.bin")); // not checked: left alone
    pTable->item(RowOf("Diag/Engine"), 0)->setCheckState(Qt::Checked);
    pTable->item(RowOf("Diag/Keys"), 0)->setCheckState(Qt::Checked);

    Click(w, "btnRepair");
    WaitUntilIdle();
    QCOMPARE(
        TakeMessages(),
        QStringList{"修复完成：1 个软件包已修复，0 个未能修复，1 个有新版本，请在下载页更新。"});
    QCOMPARE(Outcome("Diag/Engine")->text(), QStringLiteral("已修复"));
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/a.bin"), kEngine.value("a.bin"));
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/sub/b.bin"), kEngine.value("sub/b.bin"));
    QCOMPARE(Outcome("Diag/Keys")->text(), QStringLiteral("有新版本 1.1，请在下载页更新"));
    QCOMPARE(Outcome("Diag/Keys")->toolTip(), QStringLiteral("缺失：Diag/Keys/k1.bin"));
    QVERIFY(!QFile::exists(sDisk + "/Diag/Keys/k1.bin"));
    QVERIFY(!QFile::exists(sDisk + "/Diag/Fine/f.bin"));
    QVERIFY(!Outcome("Diag/Fine"));

    QStringList slFiles;
    for (const QJsonValue &value : pServer->Requests("files"))
        slFiles << value.toObject().value("path").toString();
    slFiles.sort();
    QCOMPARE(slFiles, (QStringList{"/files/Diag/Engine/a.bin", "/files/Diag/Engine/sub/b.bin"}));

    // Nothing left to repair.
    pTable->item(RowOf("Diag/Keys"), 0)->setCheckState(Qt::Unchecked);
    Click(w, "btnRepair");
    WaitUntilIdle();
    QCOMPARE(TakeMessages(), QStringList{"没有需要修复的软件包。"});
    QCOMPARE(Outcome("Diag/Engine")->text(), QStringLiteral("完好"));
}

void tst_UninstallCheck::cancelEndsRepair()
{
    // The file trickles in far slower than the test waits.
    QVERIFY(pServer->SetFault({{"on", "files"}, {"trickle", 200}}));
    MainWindow &w = OpenUninstallPage();
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/a.bin", "damaged"));
    UnistallTable(w)->item(RowOf("Diag/Engine"), 0)->setCheckState(Qt::Checked);
    Click(w, "btnRepair");
    QTRY_COMPARE(pServer->Requests("files").size(), 1);
    Click(w, "btnCancelCheck");
    WaitUntilIdle();
    QVERIFY(TakeMessages().isEmpty());
    QCOMPARE(Outcome("Diag/Engine")->text(), QStringLiteral("1 个文件损坏或缺失"));
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/a.bin"), QByteArray("damaged"));
    QCOMPARE(QDir(sDisk + "/Diag/Engine").entryList(QDir::Files, QDir::Name),
             (QStringList{"Update.json", "a.bin"}));

    // The window closed during a repair ends it and leaves the disk as it was.
    pServer->ClearRequests();
    Click(w, "btnRepair");
    QTRY_COMPARE(pServer->Requests("files").size(), 1);
    pWindow.reset();
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/a.bin"), QByteArray("damaged"));
    QCOMPARE(QDir(sDisk + "/Diag/Engine").entryList(QDir::Files, QDir::Name),
             (QStringList{"Update.json", "a.bin"}));
}

void tst_UninstallCheck::repairFollowsSignIn()
{
    // A repair asks the server as the signed-in user: signed out there is
    // nobody to ask for, while a check needs no one.
    SetLoginReply(QJsonObject());
    MainWindow &w = OpenUninstallPage();
    auto *pRepair = w.findChild<QPushButton *>("btnRepair");
    auto *pCheck = w.findChild<QPushButton *>("btnCheck");
    QVERIFY(pCheck->isEnabled());
    QVERIFY(!pRepair->isEnabled());
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/a.bin", "damaged"));
    Click(w, "btnCheck");
    WaitUntilIdle();
    QCOMPARE(Outcome("Diag/Engine")->text(), QStringLiteral("1 个文件损坏或缺失"));
    QVERIFY(!pRepair->isEnabled());
    pRepair->click();
    QCoreApplication::processEvents();
    QVERIFY(pServer->Requests().isEmpty());

    // Signed in while the page is shown, through the login window the
    // device's arrival opened (no stored account to sign in with).
    QTRY_VERIFY(TopLevelNamed("UserManage"));
    QWidget *pLogin = TopLevelNamed("UserManage");
    pLogin->findChild<QLineEdit *>("edtUserName")->setText("alice");
    pLogin->findChild<QLineEdit *>("edtPassword")->setText("secret123");
    pLogin->findChild<QPushButton *>("btnLogin")->click();
    QTRY_VERIFY(HasLoginReply());
    QTRY_VERIFY(pRepair->isEnabled());
    Click(w, "btnRepair");
    WaitUntilIdle();
    QCOMPARE(
        TakeMessages(),
        QStringList{"修复完成：1 个软件包已修复，0 个未能修复，0 个有新版本，请在下载页更新。"});
    QVERIFY(pRepair->isEnabled());

    // Signed out again while the page is shown.
    Click(w, "btnSignOut");
    QTRY_VERIFY(!HasLoginReply());
    QTRY_VERIFY(!pRepair->isEnabled());
    QVERIFY(pCheck->isEnabled());
    // A check that ends does not bring the button back.
    Click(w, "btnCheck");
    WaitUntilIdle();
    QVERIFY(!pRepair->isEnabled());
}

void tst_UninstallCheck::languageSwitchRetranslatesOutcome()
{
    MainWindow &w = OpenUninstallPage();
    QVERIFY(QFile::remove(sDisk + "/Diag/Keys/k1.bin"));
    Click(w, "btnCheck");
    WaitUntilIdle();
    StoreLanguageSetting(2);
    w.SwitchLanguage(QStringLiteral("en"));
    QCOMPARE(w.findChild<QPushButton *>("btnCheck")->text(), QStringLiteral("Check"));
    QCOMPARE(w.findChild<QPushButton *>("btnRepair")->text(), QStringLiteral("Repair"));
    QTableWidget *pTable = UnistallTable(w);
    QCOMPARE(pTable->horizontalHeaderItem(PackageCheckPanel::ResultColumn)->text(),
             QStringLiteral("Check result"));
    QCOMPARE(Outcome("Diag/Keys")->text(), QStringLiteral("1 file(s) damaged or missing"));
    QCOMPARE(Outcome("Diag/Keys")->toolTip(), QStringLiteral("Missing: Diag/Keys/k1.bin"));
    QCOMPARE(Outcome("Diag/Fine")->text(), QStringLiteral("Intact"));

    // Back to the source texts for the tests that follow.
    StoreLanguageSetting(3);
    ApplyStoredLanguage();
}

QTEST_MAIN(tst_UninstallCheck)
#include "tst_UninstallCheck.moc"
