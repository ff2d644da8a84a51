// The download page of the main window against the stand-in update server,
// the simulated device and a device-disk folder: which packages the catalogue
// lists and how, its failures, and the downloads it starts with their row
// states, installed manifests, busy counter and firmware installation.

#include "DownloadTemporaries.h"
#include "UpdateTestBench.h"
#include "WaitWatch.h"
#include "accounts/AccountCommands.h"
#include "accounts/LoginReply.h"
#include "accounts/PasswordDigest.h"
#include "accounts/StoredCredentials.h"
#include "accounts/UserManage.h"
#include "accounts/UserReg.h"
#include "app/Language.h"
#include "app/Settings.h"
#include "device/DeviceState.h"
#include "net/HttpPost.h"
#include "update/DiffDownload.h"
#include "update/MainWindow.h"
#include "update/TransferStopFlag.h"
#include "widgets/KXButtonDelegate.h"

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTranslator>
#include <curl/curl.h>

using namespace UpdateTestBench;
using TestWidgets::DeleteTopLevelsOf;

namespace
{

const QByteArray kImage = QByteArray("new firmware image ").repeated(600); // 3 blocks

QJsonObject HomePackage()
{
    return QJsonObject{{"dir", "Home"},       {"rev", "V1.3"},     {"mandatory", true},
                       {"CN_name", "主程序"}, {"EN_name", "main"}, {"lang_name", "main"}};
}

QJsonObject EnginePackage(const QString &sRev = QStringLiteral("2.0"))
{
    return QJsonObject{{"dir", "Diag/Engine"},   {"rev", sRev},         {"branch", "DASH"},
                       {"EN_name", "Engine EN"}, {"CN_name", "发动机"}, {"lang_name", "Engine"}};
}

const QMap<QString, QByteArray> kEngineFiles{
    {"a.bin", "engine a"}, {"b.bin", "engine b"}, {"c.bin", "engine c"}};

size_t AppendTo(char *pData, size_t nSize, size_t nCount, void *pUser)
{
    static_cast<QByteArray *>(pUser)->append(pData, int(nSize * nCount));
    return nSize * nCount;
}

// The header lines of the server's answer to a GET of sUrl, or to a POST of
// baBody when it is not empty; as they came.
QByteArray AnswerHeaders(const QString &sUrl, const QByteArray &baBody = QByteArray())
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> pCurl(curl_easy_init(), curl_easy_cleanup);
    QByteArray baHeaders;
    QByteArray baIgnored;
    const QByteArray baUrl = sUrl.toUtf8();
    curl_easy_setopt(pCurl.get(), CURLOPT_URL, baUrl.constData());
    curl_easy_setopt(pCurl.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(pCurl.get(), CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(pCurl.get(), CURLOPT_HEADERFUNCTION, AppendTo);
    curl_easy_setopt(pCurl.get(), CURLOPT_HEADERDATA, &baHeaders);
    curl_easy_setopt(pCurl.get(), CURLOPT_WRITEFUNCTION, AppendTo);
    curl_easy_setopt(pCurl.get(), CURLOPT_WRITEDATA, &baIgnored);
    if (!baBody.isEmpty()) {
        curl_easy_setopt(pCurl.get(), CURLOPT_POSTFIELDS, baBody.constData());
        curl_easy_setopt(pCurl.get(), CURLOPT_POSTFIELDSIZE, long(baBody.size()));
    }
    curl_easy_perform(pCurl.get());
    return baHeaders;
}

// Counts the firmware windows shown and what the given row showed at that moment.
class FirmwareWindowWatch : public QObject
{
public:
    FirmwareWindowWatch(QTableWidget *pTable, QString sRow) : pTable(pTable), sRow(std::move(sRow))
    {
        qApp->installEventFilter(this);
    }
    ~FirmwareWindowWatch() override { qApp->removeEventFilter(this); }

    int nShown = 0;
    QString sRowStateAtShow;

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override
    {
        if (pEvent->type() == QEvent::Show &&
            pWatched->objectName() == QLatin1String("MainInstall")) {
            ++nShown;
            sRowStateAtShow = RowState(pTable, sRow);
        }
        return false;
    }

private:
    QTableWidget *pTable;
    QString sRow;
};

} // namespace

class tst_UpdatePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void catalogueListsWhatDiffers();
    void namesFollowTheLanguage();
    void catalogueFailures_data();
    void catalogueFailures();
    void catalogueWithAnotherStatus();
    void noDeviceNoRequest();
    void busyWindowKeepsItsRows();
    void catalogueWaitLeavesProgramResponsive_data();
    void catalogueWaitLeavesProgramResponsive();

    void oneClickWithNothingSelected();
    void mandatoryRowDownloadsAndFlashesFirmware();
    void successRecordsInstalledManifest();
    void twoPackagesIntoOneRow();
    void packagesOfTheRowsFolderName();
    void nothingToFetch();
    void failedFiles_data();
    void failedFiles();
    void unusableDownloadList();
    void rowButtonBringsMainProgram();
    void firmwareOnceAfterTheLastDownload();
    void refreshWaitsForTheFirmware();
    void firmwareWithoutPortIsNotWritten();
    void cancelKeepsTheOldFiles();
    void cancelCatalogueRefresh();
    void emptyListSaysWhy_data();
    void emptyListSaysWhy();
    void rowsFollowALanguageSwitch();
    void signedInAccountAndSigningOut();
    void signingOutEndsTheServerSession();
    void accountFollowsTheLoginAfterRegistration();
    void deviceRemovalAbandonsTheBatch();
    void deviceChangeLeavesTheOldRowsClean();
    void serverVariantsAreTaken_data();
    void serverVariantsAreTaken();

private:
    Bench bench;
    std::unique_ptr<MainWindow> pWindow;

    MainWindow &OpenWindow();
    QJsonObject LastRequestData(const QString &sKind);
    void WaitForIdle(MainWindow &w, int nTimeoutMs = 20000);
};

void tst_UpdatePage::initTestCase()
{
    QVERIFY(bench.Start(QStringLiteral("127.0.6.10")));
}

void tst_UpdatePage::init()
{
    SetLoginReply(QJsonObject{{"code", "000000"}});
    TransferStopFlag = 0;
    bench.Reset();
}

void tst_UpdatePage::cleanup()
{
    if (pWindow)
        WaitForIdle(*pWindow);
    pWindow.reset();
    TakeMessages();
}

MainWindow &tst_UpdatePage::OpenWindow()
{
    pWindow = std::make_unique<MainWindow>();
    pWindow->show();
    pWindow->FirstShow(); // selects the disk and lists the catalogue
    return *pWindow;
}

QJsonObject tst_UpdatePage::LastRequestData(const QString &sKind)
{
    const QJsonArray jaRequests = bench.pServer->Requests(sKind);
    return jaRequests.isEmpty() ? QJsonObject()
                                : jaRequests.last().toObject().value("data").toObject();
}

void tst_UpdatePage::WaitForIdle(MainWindow &w, int nTimeoutMs)
{
    QTRY_COMPARE_WITH_TIMEOUT(w.Batch().nTaskCount.load(), 0, nTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!TopLevelNamed("MainInstall"), nTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Batch().IsFirmwareInstalling(), nTimeoutMs);
}

void tst_UpdatePage::catalogueListsWhatDiffers()
{
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    bench.AddPackage(
        "30-keys",
        QJsonObject{
            {"dir", "Diag/Keys"}, {"rev", "1.0A"}, {"branch", "immo"}, {"lang_name", "Keys"}},
        {{"k.bin", "k"}});
    bench.AddPackage(
        "40-public",
        QJsonObject{{"dir", "Public"}, {"rev", "3"}, {"branch", "dash"}, {"lang_name", "Public"}},
        {{"p.bin", "p"}});
    bench.AddPackage("50-nameless", QJsonObject{{"dir", "Diag/Nameless"}, {"rev", "9"}},
                     {{"n.bin", "n"}});
    bench.Install("Diag/Keys", QJsonObject{{"rev", "1.0a"}});

    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 0), (QStringList{"main", "dash-Engine", "Public"}));
    QCOMPARE(ColumnTexts(pTable, 1), (QStringList{"V1.2", "", ""})); // the device runs V01.2
    QCOMPARE(ColumnTexts(pTable, 2), (QStringList{"V1.3", "2.0", "3"}));

    QCOMPARE(pTable->item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(pTable->item(1, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(pTable->item(2, 0)->checkState(), Qt::Checked);
    QCOMPARE(pTable->item(0, 0)->data(Qt::UserRole + 1).toString(), QStringLiteral("Home"));
    QCOMPARE(pTable->item(1, 0)->data(Qt::UserRole + 1).toString(), QStringLiteral("Diag/Engine"));
    QCOMPARE(pTable->item(1, 0)->data(Qt::UserRole + 2).toString(), QStringLiteral("dash"));
    QVERIFY(!pTable->item(2, 0)->data(Qt::UserRole + 2).isValid());
    QCOMPARE(pTable->item(1, 2)->data(Qt::UserRole + 1).toString(), QStringLiteral("2.0"));
    QCOMPARE(pTable->item(1, 3)->text(), QString());
    QCOMPARE(pTable->item(1, 4)->data(Qt::UserRole + 2).toInt(), 100);
    QVERIFY(!pTable->item(1, 4)->data(Qt::UserRole + 1).isValid());
    QCOMPARE(RowState(pTable, 1), QString());

    const QJsonObject joData = LastRequestData("catalogue");
    QCOMPARE(joData.value("devtype").toString(), QStringLiteral("kx520"));
    QCOMPARE(joData.value("sn").toString(), QStringLiteral("D000000000001"));
    QCOMPARE(joData.value("pwd").toString(), QString());
    QCOMPARE(joData.value("test"), QJsonValue(false));
    QVERIFY(!joData.value("devid").toString().isEmpty());
    QCOMPARE(w.sDevID, joData.value("devid").toString());
}

void tst_UpdatePage::namesFollowTheLanguage()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/other/en.qm")));
    QCoreApplication::installTranslator(&english);
    MainWindow &w = OpenWindow();
    const QStringList slNames = ColumnTexts(UpdateTable(w), 0);
    QCoreApplication::removeTranslator(&english);
    QCOMPARE(slNames, QStringList{QStringLiteral("Dashboard-Engine EN")});
}

void tst_UpdatePage::catalogueFailures_data()
{
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<QStringList>("slMessages");
    QTest::newRow("empty reply") << QJsonObject{{"on", "catalogue"}, {"empty", true}}
                                 << QStringList{"获取升级信息失败,请检查网络是否正常!"};
    // The status is not examined: the body decides.
    QTest::newRow("empty error reply")
        << QJsonObject{{"on", "catalogue"}, {"status", 503}, {"withreply", true}, {"empty", true}}
        << QStringList{"获取升级信息失败,请检查网络是否正常!"};
    QTest::newRow("error page") << QJsonObject{{"on", "catalogue"}, {"status", 503}}
                                << QStringList(); // does not unseal to JSON
    QTest::newRow("refused with an error status")
        << QJsonObject{{"on", "catalogue"}, {"status", 500}, {"withreply", true}, {"code", "10001"}}
        << QStringList{"获取升级信息失败!"};
    QTest::newRow("refused") << QJsonObject{{"on", "catalogue"}, {"code", "999999"}}
                             << QStringList{"获取升级信息失败!"};
    QTest::newRow("not JSON") << QJsonObject{{"on", "catalogue"}, {"notjson", true}}
                              << QStringList();
}

void tst_UpdatePage::catalogueFailures()
{
    QFETCH(QJsonObject, joFault);
    QFETCH(QStringList, slMessages);
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    QCOMPARE(UpdateTable(w)->rowCount(), 1);

    QVERIFY(bench.pServer->SetFault(joFault));
    Click(w, "btnDownload");
    QCOMPARE(bench.pServer->Requests("catalogue").size(), 2);
    if (slMessages.isEmpty())
        QTest::qWait(200); // time for a wrong message to come
    else
        QTRY_VERIFY(!MessageTexts().isEmpty());
    QCOMPARE(TakeMessages(), slMessages);
    // A failed refresh leaves the rows of the last good one.
    QCOMPARE(ColumnTexts(UpdateTable(w), 0), QStringList{"dash-Engine"});
}

void tst_UpdatePage::catalogueWithAnotherStatus()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    QCOMPARE(ColumnTexts(UpdateTable(w), 0), QStringList{"dash-Engine"});
    bench.AddPackage("30-keys",
                     QJsonObject{{"dir", "Diag/Keys"}, {"rev", "1"}, {"lang_name", "Keys"}},
                     {{"k.bin", "k"}});
    QVERIFY(bench.pServer->SetFault(
        QJsonObject{{"on", "catalogue"}, {"status", 500}, {"withreply", true}}));
    Click(w, "btnDownload");
    QTRY_COMPARE(ColumnTexts(UpdateTable(w), 0), (QStringList{"dash-Engine", "-Keys"}));
    QVERIFY(TakeMessages().isEmpty());
}

void tst_UpdatePage::noDeviceNoRequest()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    device::SetSerialOverride(bench.dir.filePath("no-such-port"));
    MainWindow &w = OpenWindow();
    device::SetSerialOverride(bench.sim.PtyPath());
    QCOMPARE(UpdateTable(w)->rowCount(), 0);
    QVERIFY(bench.pServer->Requests("catalogue").isEmpty());
    QVERIFY(!TopLevelNamed("PromptDlg"));
}

void tst_UpdatePage::busyWindowKeepsItsRows()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    w.Batch().nTaskCount = 1;
    bench.AddPackage("30-keys",
                     QJsonObject{{"dir", "Diag/Keys"}, {"rev", "1"}, {"lang_name", "Keys"}},
                     {{"k.bin", "k"}});
    Click(w, "btnDownload");
    w.Batch().nTaskCount = 0;
    QCOMPARE(bench.pServer->Requests("catalogue").size(), 1);
    QCOMPARE(ColumnTexts(UpdateTable(w), 0), QStringList{"dash-Engine"});
}

void tst_UpdatePage::catalogueWaitLeavesProgramResponsive_data()
{
    QTest::addColumn<QStringList>("slSimArgs");
    QTest::addColumn<bool>("bServerSilent");
    QTest::addColumn<QStringList>("slRows");
    QTest::addColumn<QStringList>("slMessages");
    // The device's first answer (its identifier) never comes: no catalogue.
    QTest::newRow("device silent on its identifier")
        << QStringList{"--silent", "id"} << false << QStringList() << QStringList();
    // Its firmware version never comes: the main program is listed without one.
    QTest::newRow("device silent on its version")
        << QStringList{"--silent", "version"} << false << QStringList{"main"} << QStringList();
    QTest::newRow("server silent") << QStringList() << true << QStringList()
                                   << QStringList{"获取升级信息失败,请检查网络是否正常!"};
}

// The catalogue's serial queries and its request wait on a worker behind the
// wait prompt, with the program handling its events all along.
void tst_UpdatePage::catalogueWaitLeavesProgramResponsive()
{
    QFETCH(QStringList, slSimArgs);
    QFETCH(bool, bServerSilent);
    QFETCH(QStringList, slRows);
    QFETCH(QStringList, slMessages);
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    DeviceSimProcess sim;
    QVERIFY2(sim.Start(slSimArgs), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    std::unique_ptr<SilentServer> pSilent;
    // As long as the device waits for a missing answer.
    const int nSilenceMs = device::CommandTimeoutMs;
    if (bServerSilent) {
        pSilent = std::make_unique<SilentServer>(QStringLiteral("127.0.6.12"), nSilenceMs);
        QVERIFY(pSilent->IsListening());
    }

    WaitWatch watch;
    MainWindow &w = OpenWindow();
    watch.Stop();
    pSilent.reset();
    device::SetSerialOverride(bench.sim.PtyPath());

    QVERIFY2(watch.Turns() >= 3, qPrintable(QString::number(watch.Turns())));
    QVERIFY2(watch.LongestGapMs() < nSilenceMs / 2,
             qPrintable(QString::number(watch.LongestGapMs())));
    QCOMPARE(ColumnTexts(UpdateTable(w), 0), slRows);
    if (!slRows.isEmpty())
        QCOMPARE(ColumnTexts(UpdateTable(w), 1), QStringList{QString()});
    QCOMPARE(TakeMessages(), slMessages);
    if (!bServerSilent)
        QCOMPARE(bench.pServer->Requests("catalogue").size(), slRows.size());
}

void tst_UpdatePage::oneClickWithNothingSelected()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    Click(w, "btnOneKeyUpdate");
    QVERIFY(w.findChild<QPushButton *>("btnOneKeyUpdate")->isEnabled());
    QCOMPARE(RowState(UpdateTable(w), 0), QString());
    QCOMPARE(w.Batch().nTaskCount.load(), 0);
    QTest::qWait(200); // time for a wrong request to reach the server
    QVERIFY(bench.pServer->Requests("downloadlist").isEmpty());
}

void tst_UpdatePage::mandatoryRowDownloadsAndFlashesFirmware()
{
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}, {"config.json", "{}"}});
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    WriteFile(bench.DiskPath("Home/MAIN.bin"), "stale image");
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    pTable->item(RowNamed(pTable, "main"), 0)->setCheckState(Qt::Unchecked);

    Click(w, "btnOneKeyUpdate");
    QVERIFY(!w.findChild<QPushButton *>("btnOneKeyUpdate")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "main"), QStringLiteral("下载成功"), 20000);
    QCOMPARE(ReadFile(bench.DiskPath("Home/MAIN.bin")), kImage);
    QVERIFY(!QFile::exists(bench.DiskPath("Home/config.json")));
    QCOMPARE(RowState(pTable, "dash-Engine"), QString()); // unchecked, optional
    QTRY_COMPARE_WITH_TIMEOUT(bench.sim.FlashedImage(), kImage, 30000);
    WaitForIdle(w);
    QVERIFY(w.findChild<QPushButton *>("btnOneKeyUpdate")->isEnabled());
    // The finished flash says so, with the version the device reports now.
    const QString sWritten = QStringLiteral("固件已写入设备，设备现在的版本：V1.2。");
    QCOMPARE(TakeMessages(), QStringList{sWritten});
    QCOMPARE(RowState(pTable, "main"), QStringLiteral("下载成功"));
    QCOMPARE(pTable->item(RowNamed(pTable, "main"), 5)->toolTip(), sWritten);

    const QJsonObject joData = LastRequestData("downloadlist");
    QCOMPARE(joData.value("type").toArray(), QJsonArray{"Home"});
    QCOMPARE(joData.value("branch").toString(), QString());
    QCOMPARE(joData.value("devtype").toString(), QStringLiteral("kx520"));
    QCOMPARE(joData.value("lang").toString(), QString());
}

void tst_UpdatePage::successRecordsInstalledManifest()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    bench.Install("Diag/Engine", QJsonObject{{"rev", "1.0"}});
    WriteFile(bench.DiskPath("Diag/Engine/a.bin"), "old a");
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 1), QStringList{"1.0"});
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, 0), QStringLiteral("下载成功"), 20000);
    QCOMPARE(pTable->item(0, 5)->foreground().color(), QColor(0, 255, 0));
    QCOMPARE(pTable->item(0, 1)->text(), QStringLiteral("2.0"));
    QCOMPARE(pTable->item(0, 4)->data(Qt::UserRole + 1).toInt(), 100);
    for (auto it = kEngineFiles.cbegin(); it != kEngineFiles.cend(); ++it)
        QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/" + it.key())), it.value());

    const QJsonObject joInstalled = ReadJson(bench.DiskPath("Diag/Engine/Update.json"));
    QCOMPARE(joInstalled.value("rev").toString(), QStringLiteral("2.0"));
    QCOMPARE(joInstalled.value("lang_name").toString(), QStringLiteral("Engine"));
    QVERIFY(!joInstalled.contains("root"));
    QVERIFY(!joInstalled.contains("lang"));
    QCOMPARE(joInstalled.value("files").toArray().size(), 3);
    WaitForIdle(w);
    QVERIFY(!TopLevelNamed("MainInstall")); // no firmware came down
}

void tst_UpdatePage::twoPackagesIntoOneRow()
{
    QJsonObject joFirst = EnginePackage();
    QJsonObject joSecond = EnginePackage("1.0");
    joSecond.insert("lang_name", "Engine B");
    bench.AddPackage("20-engine-a", joFirst, {{"x.bin", "first"}});
    bench.AddPackage("21-engine-b", joSecond, {{"y.bin", "second"}});
    bench.Install("Diag/Engine", QJsonObject{{"rev", "1.0"}}); // the second is not listed
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 0), QStringList{"dash-Engine"});
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    WaitForIdle(w);
    QCOMPARE(RowState(pTable, 0), QStringLiteral("下载成功"));
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/x.bin")), QByteArray("first"));
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/y.bin")), QByteArray("second"));
    QCOMPARE(bench.pServer->Requests("downloadlist").size(), 1);
}

void tst_UpdatePage::packagesOfTheRowsFolderName()
{
    // The request names the row's folder by its last part, and every package
    // of the reply with that last part is the row's, however its folder is
    // spelt; each file goes where its path says, but never into the
    // device's own places.
    QJsonObject joRow = EnginePackage();
    joRow.insert("dir", "Diag/A/Engine");
    QJsonObject joOther = EnginePackage();
    joOther.insert("dir", "Other/Engine");
    QJsonObject joRecords = EnginePackage();
    joRecords.insert("dir", "SaveData/ENGINE");
    bench.AddPackage("20-row", joRow, {{"x.bin", "row"}});
    bench.AddPackage("21-other", joOther, {{"y.bin", "other"}});
    bench.AddPackage("22-records", joRecords, {{"z.bin", "records"}});
    bench.Install("Other/Engine", QJsonObject{{"rev", "2.0"}});
    bench.Install("SaveData/ENGINE", QJsonObject{{"rev", "1.0"}});
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 0), QStringList{"dash-Engine"});
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    WaitForIdle(w);
    QCOMPARE(bench.pServer->Requests("downloadlist").size(), 1);
    QCOMPARE(ReadFile(bench.DiskPath("Diag/A/Engine/x.bin")), QByteArray("row"));
    QCOMPARE(ReadFile(bench.DiskPath("Other/Engine/y.bin")), QByteArray("other"));
    QCOMPARE(ReadJson(bench.DiskPath("Diag/A/Engine/Update.json")).value("rev").toString(),
             QStringLiteral("2.0"));
    // Nothing in the device's records, not even the installed manifest.
    QVERIFY(!QFile::exists(bench.DiskPath("SaveData/ENGINE/z.bin")));
    QCOMPARE(ReadJson(bench.DiskPath("SaveData/ENGINE/Update.json")),
             QJsonObject({{"rev", "1.0"}}));
    QStringList slFetched;
    for (const QJsonValue &jvFile : bench.pServer->Requests("files"))
        slFetched << jvFile.toObject().value("path").toString();
    slFetched.sort();
    QCOMPARE(slFetched, (QStringList{"/files/Diag/A/Engine/x.bin", "/files/Other/Engine/y.bin"}));
    // The records' package failed, one of three: told once.
    QCOMPARE(TakeMessages().size(), 1);
}

void tst_UpdatePage::nothingToFetch()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    for (auto it = kEngineFiles.cbegin(); it != kEngineFiles.cend(); ++it)
        WriteFile(bench.DiskPath("Diag/Engine/" + it.key()), it.value());
    bench.Install("Diag/Engine", QJsonObject{{"rev", "1.0"}});
    const QByteArray baManifest = ReadFile(bench.DiskPath("Diag/Engine/Update.json"));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    WaitForIdle(w);
    QCOMPARE(RowState(pTable, 0), QStringLiteral("无需更新"));
    QCOMPARE(pTable->item(0, 1)->text(), QStringLiteral("1.0"));
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/Update.json")), baManifest);
    QVERIFY(bench.pServer->Requests("files").isEmpty());
}

void tst_UpdatePage::failedFiles_data()
{
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<QString>("sState");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("nFailed");
    QTest::newRow("one of three") << QJsonObject{{"on", "files"},
                                                 {"match", "c.bin"},
                                                 {"status", 404}}
                                  << "部分下载失败" << QColor(0, 0, 255) << 1;
    QTest::newRow("all") << QJsonObject{{"on", "files"}, {"status", 500}} << "下载失败"
                         << QColor(255, 0, 0) << 3;
}

void tst_UpdatePage::failedFiles()
{
    QFETCH(QJsonObject, joFault);
    QFETCH(QString, sState);
    QFETCH(QColor, color);
    QFETCH(int, nFailed);
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    WriteFile(bench.DiskPath("Diag/Engine/c.bin"), "old c");
    QVERIFY(bench.pServer->SetFault(joFault));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    WaitForIdle(w);
    QCOMPARE(RowState(pTable, 0), sState);
    QCOMPARE(pTable->item(0, 5)->foreground().color(), color);
    QCOMPARE(pTable->item(0, 1)->text(), QString());
    QVERIFY(!QFile::exists(bench.DiskPath("Diag/Engine/Update.json")));
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/c.bin")), QByteArray("old c"));
    QVERIFY(w.findChild<QPushButton *>("btnOneKeyUpdate")->isEnabled());
    // Why, in words: on the row, and once for the batch.
    const QString sReason =
        QStringLiteral("服务器返回了错误：请稍后重试（%1 个文件）").arg(nFailed);
    QCOMPARE(pTable->item(0, 5)->toolTip(), sReason);
    QCOMPARE(TakeMessages(),
             QStringList{QStringLiteral("有 %1 个文件没有下载成功：\n").arg(nFailed) + sReason});
}

void tst_UpdatePage::unusableDownloadList()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    QVERIFY(bench.pServer->SetFault(QJsonObject{{"on", "downloadlist"}, {"notjson", true}}));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    QTRY_COMPARE(RowState(pTable, 0), QStringLiteral("获取数据异常"));
    WaitForIdle(w);
    QVERIFY(TakeMessages().isEmpty());
    // Nothing runs any more, so the button is usable again.
    QVERIFY(w.findChild<QPushButton *>("btnOneKeyUpdate")->isEnabled());
}

void tst_UpdatePage::rowButtonBringsMainProgram()
{
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    // The first request is answered late; the main program's waits for it.
    QVERIFY(bench.pServer->SetFault(
        QJsonObject{{"on", "downloadlist"}, {"delay", 1000}, {"times", 1}}));
    const int nRow = RowNamed(pTable, "dash-Engine");
    const QRect cell = pTable->visualRect(pTable->model()->index(nRow, 5));
    QTest::mouseClick(pTable->viewport(), Qt::LeftButton, Qt::NoModifier,
                      KXButtonDelegate::ButtonRect(cell).center());
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "dash-Engine"), QStringLiteral("下载成功"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "main"), QStringLiteral("下载成功"), 20000);
    const QJsonArray jaLists = bench.pServer->Requests("downloadlist");
    QCOMPARE(jaLists.size(), 2);
    const QJsonObject joFirst = jaLists.at(0).toObject();
    const QJsonObject joSecond = jaLists.at(1).toObject();
    QCOMPARE(joFirst.value("data").toObject().value("type").toArray(), QJsonArray{"Engine"});
    QCOMPARE(joSecond.value("data").toObject().value("type").toArray(), QJsonArray{"Home"});
    QVERIFY2(joSecond.value("time").toDouble() - joFirst.value("time").toDouble() >= 1000,
             "the main program was asked for before the clicked row's answer came");
    WaitForIdle(w, 30000);
    QCOMPARE(bench.sim.FlashedImage(), kImage);
}

void tst_UpdatePage::firmwareOnceAfterTheLastDownload()
{
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    bench.AddPackage("20-engine", EnginePackage(), {{"a.bin", "slow file"}});
    // The main program arrives first; the firmware must wait for the engine package.
    QVERIFY(bench.pServer->SetFault(
        QJsonObject{{"on", "files"}, {"match", "Engine"}, {"delay", 1500}}));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    pTable->item(RowNamed(pTable, "dash-Engine"), 0)->setCheckState(Qt::Checked);
    FirmwareWindowWatch watch(pTable, "dash-Engine");
    Click(w, "btnOneKeyUpdate");
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "main"), QStringLiteral("下载成功"), 20000);
    QCOMPARE(watch.nShown, 0);
    WaitForIdle(w, 30000);
    QCOMPARE(watch.nShown, 1);
    QCOMPARE(watch.sRowStateAtShow, QStringLiteral("下载成功"));
    QCOMPARE(bench.sim.FlashedImage(), kImage);
}

void tst_UpdatePage::refreshWaitsForTheFirmware()
{
    // A device that answers slowly, so that writing the image takes seconds,
    // and that logs every request it gets.
    DeviceSimProcess slow;
    slow.Process().setProcessChannelMode(QProcess::SeparateChannels);
    QVERIFY2(slow.Start({"--delay", "20", "--log", "--flashed-version", "V01.3"}),
             qPrintable(slow.ErrorString()));
    device::SetSerialOverride(slow.PtyPath());
    const auto restore = qScopeGuard([this] { device::SetSerialOverride(bench.sim.PtyPath()); });
    const QByteArray baImage = DeviceSimProcess::SampleImage(100 * 4096, 7);
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", baImage}});
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    auto *pOneClick = w.findChild<QPushButton *>("btnOneKeyUpdate");
    QCOMPARE(ColumnTexts(pTable, 0), QStringList{"main"});

    Click(w, "btnOneKeyUpdate");
    QTRY_VERIFY_WITH_TIMEOUT(TopLevelNamed("MainInstall"), 20000);
    QVERIFY(w.Batch().IsFirmwareInstalling());
    QVERIFY(!pOneClick->isEnabled());
    // Downloading now could replace the image being written.
    pOneClick->click();
    w.StartDownLoad(0);
    QCOMPARE(bench.pServer->Requests("downloadlist").size(), 1);

    // The refresh waits behind its prompt until the device's port is free.
    Click(w, "btnDownload");
    QVERIFY(!w.Batch().IsFirmwareInstalling());
    QVERIFY(pOneClick->isEnabled());
    QCOMPARE(slow.FlashedImage(), baImage);
    QCOMPARE(pTable->rowCount(), 0); // the device runs the new version now

    // Between the start of the upgrade and its end the device was asked
    // nothing else.
    QByteArray baLog;
    QStringList slTargets;
    auto readLog = [&] {
        baLog += slow.Process().readAllStandardError();
        slTargets.clear();
        const QRegularExpression line(QStringLiteral("^device-sim: (?:plain )?(\\w+)"));
        const QList<QByteArray> lines = baLog.split('\n');
        for (const QByteArray &baLine : lines) {
            const QRegularExpressionMatch match = line.match(QString::fromUtf8(baLine));
            if (match.hasMatch())
                slTargets << match.captured(1);
        }
        return slTargets.lastIndexOf("version") > slTargets.lastIndexOf("id") &&
               slTargets.lastIndexOf("id") > slTargets.indexOf("finish");
    };
    QTRY_VERIFY(readLog()); // the log comes through a pipe
    const int nBegin = slTargets.indexOf("begin");
    const int nFinish = slTargets.indexOf("finish");
    QVERIFY2(nBegin >= 0 && nFinish > nBegin, qPrintable(slTargets.join(' ')));
    const QStringList slDuring = slTargets.mid(nBegin, nFinish - nBegin + 1);
    QVERIFY2(!slDuring.contains("id") && !slDuring.contains("version"),
             qPrintable(slDuring.join(' ')));
    // The flash asks for the version the device runs now; then the refresh asks.
    QCOMPARE(slTargets.mid(nFinish + 1), (QStringList{"version", "id", "version"}));
}

void tst_UpdatePage::deviceRemovalAbandonsTheBatch()
{
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    bench.AddPackage("20-engine", EnginePackage(), {{"a.bin", "engine"}});
    QVERIFY(bench.pServer->SetFaults(
        QJsonArray{QJsonObject{{"on", "files"}, {"match", "MAIN.bin"}, {"delay", 1000}},
                   QJsonObject{{"on", "files"}, {"match", "Engine"}, {"delay", 3000}}}));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    auto *pOneClick = w.findChild<QPushButton *>("btnOneKeyUpdate");
    FirmwareWindowWatch watch(pTable, "dash-Engine");

    // Batch one: the main program, by its row button.
    const QRect cell = pTable->visualRect(pTable->model()->index(RowNamed(pTable, "main"), 5));
    QTest::mouseClick(pTable->viewport(), Qt::LeftButton, Qt::NoModifier,
                      KXButtonDelegate::ButtonRect(cell).center());
    QTRY_COMPARE(bench.pServer->Requests("files").size(), 1);
    w.Batch().nTaskCount = 0; // what the device removal does

    // Batch two: the engine package, by the one-click button.
    pTable->item(RowNamed(pTable, "dash-Engine"), 0)->setCheckState(Qt::Checked);
    pOneClick->click();
    QVERIFY(!pOneClick->isEnabled());

    // The abandoned download ends late: its row may be asked for again, but
    // claims no success and keeps its version (the disk may be another by
    // now); nothing else moves.
    QTRY_VERIFY_WITH_TIMEOUT(ReadFile(bench.DiskPath("Home/MAIN.bin")) == kImage, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "main"), QString(), 20000);
    QCOMPARE(pTable->item(RowNamed(pTable, "main"), 1)->text(), QStringLiteral("V1.2"));
    QVERIFY(!pOneClick->isEnabled());
    QVERIFY(w.Batch().nTaskCount.load() >= 1);
    QVERIFY(!QFile::exists(bench.DiskPath("Home/Update.json")));

    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "dash-Engine"), QStringLiteral("下载成功"), 20000);
    QTRY_VERIFY(pOneClick->isEnabled());
    QCOMPARE(w.Batch().nTaskCount.load(), 0);
    QTest::qWait(300);         // time for a wrong firmware window to open
    QCOMPARE(watch.nShown, 0); // the firmware of the abandoned batch is not installed
}

void tst_UpdatePage::deviceChangeLeavesTheOldRowsClean()
{
    // The device goes while its main program downloads; a second device is
    // there, but its catalogue does not come, so the old rows stay. What the
    // abandoned download reports late claims nothing for them.
    const QString sSecond = bench.dir.filePath("second-disk");
    QVERIFY(WriteFile(sSecond + "/sn.txt", "D000000000002"));
    SetDeviceDiskFolders({bench.sDisk, sSecond});
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    QVERIFY(bench.pServer->SetFault(
        QJsonObject{{"on", "files"}, {"match", "MAIN.bin"}, {"delay", 1500}}));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    auto *pCancel = w.findChild<QPushButton *>("btnCancelDownload");
    FirmwareWindowWatch watch(pTable, "main");
    const QRect cell = pTable->visualRect(pTable->model()->index(RowNamed(pTable, "main"), 5));
    QTest::mouseClick(pTable->viewport(), Qt::LeftButton, Qt::NoModifier,
                      KXButtonDelegate::ButtonRect(cell).center());
    QTRY_COMPARE(bench.pServer->Requests("files").size(), 1);
    QVERIFY(pCancel->isVisible());

    QVERIFY(bench.pServer->SetFaults(
        QJsonArray{QJsonObject{{"on", "catalogue"}, {"status", 503}},
                   QJsonObject{{"on", "files"}, {"match", "MAIN.bin"}, {"delay", 1500}}}));
    SetDeviceDiskFolders({sSecond});
    w.OnDeviceChange();
    QCOMPARE(w.sCurDisk, sSecond);
    QCOMPARE(ColumnTexts(pTable, 0), QStringList{"main"});
    QVERIFY(!pCancel->isVisible()); // nothing left to cancel

    // The abandoned download ends (aborted, or complete on the old disk).
    QTRY_COMPARE_WITH_TIMEOUT(RowState(pTable, "main"), QString(), 20000);
    QTest::qWait(300); // time for a wrong report or firmware window
    QCOMPARE(RowState(pTable, "main"), QString());
    QCOMPARE(pTable->item(0, 1)->text(), QStringLiteral("V1.2"));
    QCOMPARE(pTable->item(0, 4)->data(Qt::UserRole + 1), QVariant());
    QCOMPARE(watch.nShown, 0);
    QVERIFY(!QFile::exists(sSecond + "/Home/Update.json"));
    QVERIFY(!QFile::exists(bench.DiskPath("Home/Update.json")));
    TakeMessages();
}

void tst_UpdatePage::serverVariantsAreTaken_data()
{
    // What the server may send otherwise (its modes), and what the device
    // disk holds afterwards: each package's files in their places and, where
    // the download list names the catalogue's folder, its installed manifest,
    // so that a refresh lists nothing more. The evidence ("where|pattern")
    // shows the server did send the variant: in the unsealed catalogue or
    // download list, or in the header lines of a file or a download list.
    QTest::addColumn<QStringList>("slModes");
    QTest::addColumn<QStringList>("slEvidence");
    QTest::addColumn<QStringList>("slListedAfter");
    const QStringList slNothing;
    const QStringList slBoth{"public", "dash-Engine"};
    QTest::newRow("as ever") << QStringList() << QStringList() << slNothing;
    QTest::newRow("stale sizes")
        << QStringList{"stale-size"}
        << QStringList{R"(list|"Path":"Diag/Engine/a\.bin","Size":50000\})"} << slNothing;
    QTest::newRow("zero sizes") << QStringList{"zero-size"}
                                << QStringList{R"(list|"Path":"Diag/Engine/a\.bin","Size":0\})"}
                                << slNothing;
    QTest::newRow("no sizes") << QStringList{"no-size"}
                              << QStringList{R"(list|"Path":"Diag/Engine/a\.bin"\})"} << slNothing;
    QTest::newRow("sizes as text")
        << QStringList{"text-size"} << QStringList{R"(list|"Size":"200000")"} << slNothing;
    QTest::newRow("sizes too large")
        << QStringList{"big-size"} << QStringList{R"(list|"Size":800000)"} << slNothing;
    QTest::newRow("upper-case digests")
        << QStringList{"upper-hash"}
        << QStringList{R"(list|"Hash":"[0-9A-F]{32}","Path":"Diag/Engine/a\.bin")"} << slNothing;
    QTest::newRow("files in another order")
        << QStringList{"files-reversed"}
        << QStringList{R"(list|x y\.bin".*"Path":"Diag/Engine/a\.bin".*Common/shared)"}
        << slNothing;
    // The request names the folder by its last part: the download list may
    // spell the rest otherwise. Its installed manifest goes to the folder it
    // names, which is not there: the catalogue's folder keeps its old one.
    QTest::newRow("download list: folder below another parent")
        << QStringList{"dir-parent"} << QStringList{R"(list|"dir":"Elsewhere/Engine")"} << slBoth;
    QTest::newRow("download list: folder with a trailing slash")
        << QStringList{"dir-slash"} << QStringList{R"(list|"dir":"Diag/Engine/")"} << slNothing;
    QTest::newRow("folders and paths with a leading slash")
        << QStringList{"leading-slash"}
        << QStringList{R"(catalogue|"dir":"/Diag/Engine")", R"(list|"Path":"/Diag/Engine/a\.bin")"}
        << slNothing;
    QTest::newRow("paths with backslashes")
        << QStringList{"backslash-path"} << QStringList{R"(list|"Path":"Diag\\\\Engine\\\\a\.bin")"}
        << slNothing;
    QTest::newRow("download list with another code")
        << QStringList{"list-code"} << QStringList{R"(list|"code":"999999")"} << slNothing;
    QTest::newRow("members nobody asked for")
        << QStringList{"extra-members"}
        << QStringList{R"(catalogue|"x_released")", R"(list|"x_mode":420)",
                       R"(list|"x_server":"stand-in")"}
        << slNothing;
    QTest::newRow("mandatory package with a branch")
        << QStringList{"branch-mandatory"} << QStringList{R"(catalogue|"branch":"main")"}
        << slNothing;
    QTest::newRow("chunked replies") << QStringList{"chunked"}
                                     << QStringList{"file|(?i)transfer-encoding: chunked",
                                                    "listhead|(?i)transfer-encoding: chunked"}
                                     << slNothing;
    QTest::newRow("HTTP/1.0 replies ended by close")
        << QStringList{"http10"} << QStringList{"file|^HTTP/1\\.0 200", "listhead|^HTTP/1\\.0 200"}
        << slNothing;
    QTest::newRow("all at once") << QStringList{"stale-size",     "upper-hash",
                                                "files-reversed", "dir-slash",
                                                "backslash-path", "list-code",
                                                "extra-members",  "branch-mandatory",
                                                "chunked"}
                                 << QStringList() << slNothing;
}

void tst_UpdatePage::serverVariantsAreTaken()
{
    QFETCH(QStringList, slModes);
    QFETCH(QStringList, slEvidence);
    QFETCH(QStringList, slListedAfter);
    const QByteArray baEngine = QByteArray("engine data ").repeated(16667).left(200000);
    const QByteArray baShared = QByteArray("shared vehicle list ").repeated(500);
    bench.AddPackage(
        "10-public",
        QJsonObject{{"dir", "Public"}, {"rev", "3"}, {"mandatory", true}, {"lang_name", "public"}},
        {{"p.bin", QByteArray(40000, 'p')}});
    bench.AddPackage("20-engine", EnginePackage(), {{"a.bin", baEngine}, {"sub/x y.bin", "x y"}});
    QVERIFY(WriteFile(bench.sPackages + "/20-engine/disk/Diag/Common/shared.bin", baShared));
    bench.Install("Diag/Engine", QJsonObject{{"rev", "1.0"}});
    QVERIFY(WriteFile(bench.DiskPath("Diag/Engine/a.bin"), "old engine"));
    QVERIFY(bench.pServer->SetModes(slModes));

    for (const QString &sEvidence : slEvidence) {
        const QString sWhere = sEvidence.section('|', 0, 0);
        const QRegularExpression pattern(sEvidence.section('|', 1));
        const QJsonObject joList{{"devid", "D"},
                                 {"sn", "D000000000001"},
                                 {"pwd", ""},
                                 {"lang", ""},
                                 {"type", QJsonArray{"Engine"}},
                                 {"branch", "dash"},
                                 {"devtype", "kx520"},
                                 {"test", false}};
        QByteArray baSeen;
        if (sWhere == "catalogue")
            baSeen = SendSealedCommand(CommandCatalogue, QJsonObject{{"devid", "D"},
                                                                     {"sn", "D000000000001"},
                                                                     {"pwd", ""},
                                                                     {"devtype", "kx520"},
                                                                     {"test", false}})
                         .baPlain;
        else if (sWhere == "list")
            baSeen = SendSealedCommand(CommandDownloadList, joList).baPlain;
        else if (sWhere == "file")
            baSeen = AnswerHeaders(bench.pServer->BaseUrl() + "/files/Diag/Engine/a.bin");
        else if (sWhere == "listhead")
            baSeen = AnswerHeaders(
                bench.pServer->BaseUrl() + "/universal.kxa",
                QJsonDocument(QJsonObject{{"command", CommandDownloadList},
                                          {"data", QString::fromLatin1(
                                                       SealPayload(QJsonDocument(joList).toJson(
                                                                       QJsonDocument::Compact),
                                                                   PayloadKey())
                                                           .toHex())}})
                    .toJson(QJsonDocument::Compact));
        QVERIFY2(pattern.match(QString::fromUtf8(baSeen)).hasMatch(),
                 qPrintable(sEvidence + " not in: " + QString::fromUtf8(baSeen.left(2000))));
    }

    // The account commands on the other endpoints take the variants too.
    const CommandReply login = SendLogin("alice", PasswordDigest("secret123"));
    QVERIFY2(login.IsHttpOk() && login.Code() == "000000", login.baPlain.constData());

    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 0), (QStringList{"public", "dash-Engine"}));
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
        pTable->item(nRow, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    WaitForIdle(w);
    QCOMPARE(RowState(pTable, "public"), QStringLiteral("下载成功"));
    QCOMPARE(RowState(pTable, "dash-Engine"), QStringLiteral("下载成功"));
    QCOMPARE(ColumnTexts(pTable, 1), (QStringList{"3", "2.0"}));
    QCOMPARE(ReadFile(bench.DiskPath("Public/p.bin")), QByteArray(40000, 'p'));
    QVERIFY(ReadFile(bench.DiskPath("Diag/Engine/a.bin")) == baEngine);
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/sub/x y.bin")), QByteArray("x y"));
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Common/shared.bin")), baShared);
    QVERIFY(DownloadTemporaries(bench.sDisk).isEmpty());
    QVERIFY(TakeMessages().isEmpty());

    // What the disk says now is what the catalogue compares.
    Click(w, "btnDownload");
    QTRY_COMPARE(ColumnTexts(pTable, 0), slListedAfter);
}

void tst_UpdatePage::firmwareWithoutPortIsNotWritten()
{
    bench.AddPackage("10-home", HomePackage(), {{"MAIN.bin", kImage}});
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    // The port goes away between the catalogue and the flash.
    device::SetSerialOverride(bench.dir.filePath("no-such-port"));
    const auto restore = qScopeGuard([this] { device::SetSerialOverride(bench.sim.PtyPath()); });
    const QByteArray baFlashed = bench.sim.FlashedImage();
    Click(w, "btnOneKeyUpdate");
    WaitForIdle(w);
    QCOMPARE(ReadFile(bench.DiskPath("Home/MAIN.bin")), kImage);
    QCOMPARE(bench.sim.FlashedImage(), baFlashed);
    // The image came down but is not in the device: the row does not claim success.
    const int nRow = RowNamed(pTable, "main");
    QCOMPARE(RowState(pTable, nRow), QStringLiteral("固件未写入"));
    QCOMPARE(pTable->item(nRow, 5)->foreground().color(), QColor(255, 0, 0));
    const QString sTip = pTable->item(nRow, 5)->toolTip();
    QVERIFY2(sTip.contains(QStringLiteral("固件没有写入设备：找不到设备的串口")), qPrintable(sTip));
    QCOMPARE(TakeMessages(), QStringList{sTip});
}

void tst_UpdatePage::cancelKeepsTheOldFiles()
{
    const QByteArray baBig = QByteArray("new big file ").repeated(20000);
    bench.AddPackage("20-engine", EnginePackage(), {{"a.bin", "engine a"}, {"c.bin", baBig}});
    WriteFile(bench.DiskPath("Diag/Engine/c.bin"), "old c");
    QVERIFY(
        bench.pServer->SetFault(QJsonObject{{"on", "files"}, {"match", "c.bin"}, {"trickle", 20}}));
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    auto *pCancel = w.findChild<QPushButton *>("btnCancelDownload");
    QVERIFY(pCancel);
    QVERIFY(!pCancel->isVisible());
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUpdate");
    QVERIFY(pCancel->isVisible());
    // While the batch runs the status bar tells how far it is.
    QStatusBar *pStatus = w.findChild<QStatusBar *>("statusBar");
    QTRY_VERIFY_WITH_TIMEOUT(pStatus->currentMessage().startsWith(QStringLiteral("已下载 ")),
                             20000);
    QVERIFY2(pStatus->currentMessage().contains(QStringLiteral("速度")) &&
                 pStatus->currentMessage().contains(QStringLiteral("剩余时间")),
             qPrintable(pStatus->currentMessage()));
    QTRY_VERIFY(!DownloadTemporaries(bench.sDisk).isEmpty()); // c.bin is coming in

    pCancel->click();
    WaitForIdle(w);
    QCOMPARE(RowState(pTable, 0), QStringLiteral("已取消"));
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/c.bin")), QByteArray("old c"));
    QVERIFY2(DownloadTemporaries(bench.sDisk).isEmpty(),
             qPrintable(DownloadTemporaries(bench.sDisk).join(' ')));
    QVERIFY(!QFile::exists(bench.DiskPath("Diag/Engine/Update.json")));
    QCOMPARE(pTable->item(0, 1)->text(), QString());
    QVERIFY(!pCancel->isVisible());
    QVERIFY(TakeMessages().isEmpty()); // the user knows why
    // The status bar shows the device again, with its free space read anew.
    QVERIFY2(pStatus->currentMessage().startsWith(QStringLiteral("SN:")),
             qPrintable(pStatus->currentMessage()));
}

void tst_UpdatePage::cancelCatalogueRefresh()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    bench.AddPackage("30-keys",
                     QJsonObject{{"dir", "Diag/Keys"}, {"rev", "1"}, {"lang_name", "Keys"}},
                     {{"k.bin", "k"}});
    QVERIFY(bench.pServer->SetFault(QJsonObject{{"on", "catalogue"}, {"delay", 2000}}));
    bool bCancelOffered = false;
    QTimer::singleShot(200, this, [&bCancelOffered] {
        QWidget *pPrompt = TopLevelNamed("PromptDlg");
        auto *pButton = pPrompt ? pPrompt->findChild<QPushButton *>("btnCancel") : nullptr;
        bCancelOffered = pButton && pButton->isVisible();
        if (pButton)
            pButton->click();
    });
    Click(w, "btnDownload"); // returns once the prompt is cancelled
    QVERIFY(bCancelOffered);
    QVERIFY(!TopLevelNamed("PromptDlg"));
    // The late answer changes nothing.
    QTRY_COMPARE_WITH_TIMEOUT(bench.pServer->Requests("catalogue").size(), 2, 10000);
    QTest::qWait(2500); // the answer, 2 s late, has come and gone

    QCOMPARE(ColumnTexts(UpdateTable(w), 0), QStringList{"dash-Engine"});
    QVERIFY(TakeMessages().isEmpty());
    // A refresh after it lists anew.
    QVERIFY(bench.pServer->ClearFaults());
    Click(w, "btnDownload");
    QCOMPARE(ColumnTexts(UpdateTable(w), 0), (QStringList{"dash-Engine", "-Keys"}));
}

void tst_UpdatePage::emptyListSaysWhy_data()
{
    QTest::addColumn<QString>("sCase");
    QTest::addColumn<int>("nReason");
    QTest::addColumn<QString>("sText");
    QTest::newRow("up to date") << "uptodate" << int(MainWindow::EmptyReason::UpToDate)
                                << "设备上的软件都是最新版本，无需更新。";
    QTest::newRow("not signed in")
        << "signedout" << int(MainWindow::EmptyReason::NotSignedIn)
        << "尚未登录，无法获取升级信息。请先登录，然后点击“下载”刷新列表。";
    QTest::newRow("no device") << "nodevice" << int(MainWindow::EmptyReason::NoDevice)
                               << "没有检测到设备。请用 USB 连接设备并开机。";
    QTest::newRow("no answer") << "noanswer" << int(MainWindow::EmptyReason::CatalogueFailed)
                               << "没有取得升级信息。请检查网络，然后点击“下载”刷新列表。";
}

void tst_UpdatePage::emptyListSaysWhy()
{
    QFETCH(QString, sCase);
    QFETCH(int, nReason);
    QFETCH(QString, sText);
    bench.Install("Diag/Engine", QJsonObject{{"rev", "2.0"}});
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles); // installed already
    if (sCase == "signedout")
        SetLoginReply(QJsonObject());
    if (sCase == "nodevice")
        device::SetSerialOverride(bench.dir.filePath("no-such-port"));
    if (sCase == "noanswer")
        QVERIFY(bench.pServer->SetFault(QJsonObject{{"on", "catalogue"}, {"empty", true}}));
    const auto restore = qScopeGuard([this] { device::SetSerialOverride(bench.sim.PtyPath()); });
    MainWindow &w = OpenWindow();
    TakeMessages();
    DeleteTopLevelsOf<UserManage>(); // the login window of the signed-out case
    QCOMPARE(UpdateTable(w)->rowCount(), 0);
    QCOMPARE(int(w.EmptyListReason()), nReason);
    auto *pLabel = w.findChild<QLabel *>("labEmptyReason");
    QVERIFY(pLabel);
    QVERIFY(pLabel->isVisible());
    QCOMPARE(pLabel->text(), sText);
}

void tst_UpdatePage::rowsFollowALanguageSwitch()
{
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    bench.AddPackage("30-keys",
                     QJsonObject{{"dir", "Diag/Keys"}, {"rev", "1"}, {"lang_name", "Keys"}},
                     {{"k.bin", "k"}});
    MainWindow &w = OpenWindow();
    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 0), (QStringList{"dash-Engine", "-Keys"}));
    const QSignalBlocker noLogin(&w); // no login window from the disk selection
    const auto restore = qScopeGuard([] {
        StoreLanguageSetting(99); // no translation, as the other tests run
        ApplyStoredLanguage();
    });
    StoreLanguageSetting(2); // English
    w.SwitchLanguage(QStringLiteral("English"));
    QCOMPARE(ColumnTexts(pTable, 0), (QStringList{"Dashboard-Engine EN", "-Keys"}));
    QCOMPARE(w.findChild<QPushButton *>("btnCancelDownload")->text(),
             QStringLiteral("Cancel download"));
    StoreLanguageSetting(0); // Simplified Chinese
    w.SwitchLanguage(QStringLiteral("简体中文"));
    QCOMPARE(ColumnTexts(pTable, 0).first(), QStringLiteral("仪表-发动机"));
}

void tst_UpdatePage::signedInAccountAndSigningOut()
{
    SetLoginReply(QJsonObject{{"code", "000000"}}, QStringLiteral("alice"));
    StoredCredentials stored;
    stored.sUserName = QStringLiteral("alice");
    stored.sPassword = QStringLiteral("0123456789abcdef0123456789abcdef");
    stored.bAuto = true;
    QVERIFY(WriteStoredCredentials(stored));
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    auto *pAccount = w.findChild<QLabel *>("labAccount");
    auto *pSignOut = w.findChild<QPushButton *>("btnSignOut");
    QVERIFY(pAccount && pSignOut);
    QCOMPARE(pAccount->text(), QStringLiteral("已登录：alice"));
    QCOMPARE(pSignOut->text(), QStringLiteral("退出登录"));

    pSignOut->click();
    QVERIFY(!HasLoginReply());
    QCOMPARE(pAccount->text(), QStringLiteral("未登录"));
    QCOMPARE(pSignOut->text(), QStringLiteral("登录"));
    StoredCredentials after;
    QVERIFY(ReadStoredCredentials(&after));
    QCOMPARE(after.sUserName, QStringLiteral("alice"));
    QVERIFY(!after.bAuto);              // the next start does not sign in by itself
    QVERIFY(after.sPassword.isEmpty()); // nor was the password to be remembered
    QCOMPARE(UpdateTable(w)->rowCount(), 0);
    QCOMPARE(w.EmptyListReason(), MainWindow::EmptyReason::NotSignedIn);
    QFile::remove(UserFilePath());
}

void tst_UpdatePage::signingOutEndsTheServerSession()
{
    // Signed in for real: the server's session cookie is in the shared store.
    const CommandReply login =
        SendLogin(QStringLiteral("alice"), PasswordDigest(QStringLiteral("secret123")));
    QVERIFY(login.IsSuccess());
    SetLoginReply(login.joReply, QStringLiteral("alice"));
    bench.AddPackage("20-engine", EnginePackage(), kEngineFiles);
    MainWindow &w = OpenWindow();
    QJsonArray jaCatalogue = bench.pServer->Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaCatalogue.size(), 1);
    QCOMPARE(jaCatalogue.at(0).toObject().value("session").toString(), QStringLiteral("alice"));

    Click(w, "btnSignOut");
    QVERIFY(bench.pServer->ClearRequests());
    Click(w, "btnDownload"); // the catalogue once more
    jaCatalogue = bench.pServer->Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaCatalogue.size(), 1);
    const QJsonObject joRequest = jaCatalogue.at(0).toObject();
    QVERIFY2(!joRequest.value("cookie").toString().contains(QStringLiteral("UASESSION=")),
             qPrintable(joRequest.value("cookie").toString()));
    QCOMPARE(joRequest.value("session").toString(), QString());
}

void tst_UpdatePage::accountFollowsTheLoginAfterRegistration()
{
    // Nobody signed in and nothing remembered: the login window opens by itself.
    QFile::remove(UserFilePath());
    SetLoginReply(QJsonObject());
    const auto closeAll = qScopeGuard([] {
        TakeMessages();
        DeleteTopLevelsOf<UserManage, UserReg>();
        QFile::remove(UserFilePath());
    });
    MainWindow &w = OpenWindow();
    auto *pAccount = w.findChild<QLabel *>("labAccount");
    QVERIFY(pAccount);
    QCOMPARE(pAccount->text(), QStringLiteral("未登录"));
    QTRY_VERIFY(TopLevelNamed("UserManage"));
    TopLevelNamed("UserManage")->findChild<QPushButton *>("btnReg")->click();
    QTRY_VERIFY(TopLevelNamed("UserReg"));
    QWidget *pReg = TopLevelNamed("UserReg");
    pReg->findChild<QLineEdit *>("edtUserName")->setText(QStringLiteral("bobby"));
    pReg->findChild<QLineEdit *>("edtPassword")->setText(QStringLiteral("password1"));
    pReg->findChild<QLineEdit *>("edtRePassword")->setText(QStringLiteral("password1"));
    pReg->findChild<QLineEdit *>("edtMail")->setText(QStringLiteral("bobby@example.com"));
    pReg->findChild<QPushButton *>("btnSubmit")->click();
    QCOMPARE(TakeMessages(), QStringList());

    // The login window that the registration opens, filled in for the new account.
    QTRY_VERIFY(TopLevelNamed("UserManage") && !TopLevelNamed("UserReg"));
    TopLevelNamed("UserManage")->findChild<QPushButton *>("btnLogin")->click();
    QCOMPARE(TakeMessages(), QStringList());
    QCOMPARE(LoginAccount(), QStringLiteral("bobby"));
    QTRY_COMPARE(pAccount->text(), QStringLiteral("已登录：bobby"));
    QCOMPARE(w.findChild<QPushButton *>("btnSignOut")->text(), QStringLiteral("退出登录"));
}

QTEST_MAIN(tst_UpdatePage)
#include "tst_UpdatePage.moc"
