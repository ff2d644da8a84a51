// Repairing an installed package from the stand-in update server: only the
// damaged and missing files come back, through the download-list request and
// the downloader; a package whose revision moved on is left for an update.

#include "FifoWatch.h"
#include "HostProgram.h"
#include "PosixFiles.h"
#include "TestWidgets.h"
#include "UpdateServerProcess.h"
#include "accounts/AccountCommands.h"
#include "accounts/PasswordDigest.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"
#include "update/InstalledManifest.h"
#include "update/PackageCheck.h"
#include "update/PackageRepair.h"
#include "update/TransferStopFlag.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

using TestWidgets::WriteFile;

namespace
{

const QString kAddress = QStringLiteral("127.0.19.5");
const QByteArray kA = QByteArray("engine data ").repeated(2000);
const QByteArray kB(300 * 1024, 'b');
const QByteArray kC("small file");
const QByteArray kShared = QByteArray("shared vehicle list ").repeated(100);

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FilePaths(const QJsonArray &jaRequests)
{
    QStringList slPaths;
    for (const QJsonValue &value : jaRequests)
        slPaths << value.toObject().value("path").toString();
    slPaths.sort();
    return slPaths;
}

} // namespace

class tst_PackageRepair : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void repairsOnlyDamagedFiles();
    void repairsWhatTheServerMaySend_data();
    void repairsWhatTheServerMaySend();
    void asksForTheBranchTheDownloadPageAsksFor_data();
    void asksForTheBranchTheDownloadPageAsksFor();
    void fifoInPlaceOfAFileIsNotRead();
    void movedOnRevisionIsOfferedAsUpdate();
    void fileChangedOnServerIsNotFetched();
    void unusableReplies_data();
    void unusableReplies();
    void failedTransfersKeepWhatWasThere();
    void restrictKeepsOnlyMatchingFiles();
    void cancelStopsTheTransfer();
    void intactPackageAsksNothing();

private:
    QTemporaryDir dir;
    QString sDisk;
    QString sPackages;
    QString sFolder;
    std::unique_ptr<UpdateServerProcess> pServer;

    void ServePackage(const QString &sRev, const QString &sDir = QStringLiteral("Diag/Engine"),
                      const QString &sName = QStringLiteral("Engine"),
                      const QString &sBranch = QStringLiteral("dash"));
    DownloadRequest Device() const;
    void Install(const QString &sBranch = QStringLiteral("dash"));
    PackageCheckResult Check() const { return PackageCheck(sDisk).Check(sFolder); }
};

void tst_PackageRepair::initTestCase()
{
    QString sWhy;
    if (!HostProgram::CanRunTools(&sWhy))
        QSKIP(qPrintable(sWhy));
    QVERIFY(dir.isValid());
    sDisk = dir.filePath("disk");
    sPackages = dir.filePath("packages");
    sFolder = sDisk + "/Diag/Engine";
    QDir().mkpath(sPackages);
    pServer = std::make_unique<UpdateServerProcess>(kAddress);
    pServer->SetPackagesFolder(sPackages);
    pServer->AddAccount("alice", "secret123");
    QVERIFY2(pServer->Start(), qPrintable(pServer->Output()));
    SetServerAddress(kAddress);
    // Signed in: the session cookie goes with every request afterwards.
    QVERIFY(SendLogin("alice", PasswordDigest("secret123")).IsSuccess());
}

void tst_PackageRepair::ServePackage(const QString &sRev, const QString &sDir, const QString &sName,
                                     const QString &sBranch)
{
    const QString sRoot = sPackages + "/20-engine";
    QDir(sRoot).removeRecursively();
    const QJsonObject joPackage{{"dir", sDir},        {"rev", sRev},      {"branch", sBranch},
                                {"lang_name", sName}, {"CN_name", sName}, {"EN_name", sName}};
    QVERIFY(WriteFile(sRoot + "/package.json", QJsonDocument(joPackage).toJson()));
    QVERIFY(WriteFile(sRoot + "/files/a.bin", kA));
    QVERIFY(WriteFile(sRoot + "/files/sub/b.bin", kB));
    QVERIFY(WriteFile(sRoot + "/files/c.bin", kC));
    QVERIFY(WriteFile(sRoot + "/disk/Diag/Common/shared.bin", kShared));
}

DownloadRequest tst_PackageRepair::Device() const
{
    DownloadRequest device;
    device.sDevID = "DEVID-1";
    device.sSN = "D000000000001";
    device.sDisk = sDisk;
    return device;
}

void tst_PackageRepair::init()
{
    TransferStopFlag = 0;
    pServer->ClearFaults();
    QVERIFY(pServer->SetModes({}));
    QDir(sDisk).removeRecursively();
    QVERIFY(WriteFile(sDisk + "/sn.txt", "D000000000001"));
    ServePackage("2.0");
    Install();
    QCOMPARE(Check().state, PackageCheckResult::Intact);
    pServer->ClearRequests();
}

// Installed as the download page installs it: the download list, the
// downloader, then the installed manifest.
void tst_PackageRepair::Install(const QString &sBranch)
{
    DownloadRequest request = Device();
    request.sDir = "Diag/Engine";
    request.sBranch = sBranch;
    const CommandReply reply = SendSealedCommand(CommandDownloadList, DownloadRequestData(request));
    bool bUsable = false;
    const QList<QJsonObject> packages =
        MatchingPackages(reply.joReply, reply.bParsed, request, &bUsable);
    QCOMPARE(packages.size(), 1);
    int nErr = -1;
    {
        DiffDownload downloader;
        connect(&downloader, &DiffDownload::DownloadFinish,
                [&nErr](int, int nFailed, bool) { nErr = nFailed; });
        downloader.SetSavePath(sDisk);
        downloader.SetPackageJson(packages.first());
        downloader.StartDownload();
    }
    QCOMPARE(nErr, 0);
    QVERIFY(InstalledManifest::Save(sDisk, packages.first(), QString()));
}

void tst_PackageRepair::repairsOnlyDamagedFiles()
{
    QByteArray baDamaged = kB;
    baDamaged[1000] = 'x';
    QVERIFY(WriteFile(sFolder + "/sub/b.bin", baDamaged));
    QVERIFY(QFile::remove(sFolder + "/a.bin"));
    QVERIFY(QFile::remove(sDisk + "/Diag/Common/shared.bin"));
    const PackageCheckResult check = Check();
    QCOMPARE(check.faults.size(), 3);

    std::vector<int> percents;
    PackageRepair repair(Device());
    repair.SetProgress([&](int nPercent) { percents.push_back(nPercent); });
    const PackageRepairResult result = repair.Repair(check);
    QCOMPARE(result.state, PackageRepairResult::Repaired);
    QCOMPARE(result.nRepaired, 3);
    QCOMPARE(result.nFailed, 0);
    QVERIFY(!percents.empty());
    QCOMPARE(percents.back(), 100);

    QCOMPARE(ReadFile(sFolder + "/a.bin"), kA);
    QCOMPARE(ReadFile(sFolder + "/sub/b.bin"), kB);
    QCOMPARE(ReadFile(sDisk + "/Diag/Common/shared.bin"), kShared);
    QCOMPARE(Check().state, PackageCheckResult::Intact);
    QCOMPARE(QDir(sFolder).entryList(QDir::Files, QDir::Name),
             (QStringList{"Update.json", "a.bin", "c.bin"}));

    // One download-list request for the package's folder and branch, then
    // exactly the damaged files, all in the signed-in session.
    const QJsonArray jaLists = pServer->Requests("downloadlist");
    QCOMPARE(jaLists.size(), 1);
    const QJsonObject joList = jaLists.at(0).toObject();
    QCOMPARE(joList.value("data").toObject().value("type").toArray(), QJsonArray{"Engine"});
    QCOMPARE(joList.value("data").toObject().value("branch").toString(), QStringLiteral("dash"));
    QCOMPARE(joList.value("data").toObject().value("sn").toString(),
             QStringLiteral("D000000000001"));
    QCOMPARE(joList.value("session").toString(), QStringLiteral("alice"));
    const QJsonArray jaFiles = pServer->Requests("files");
    QCOMPARE(FilePaths(jaFiles),
             (QStringList{"/files/Diag/Common/shared.bin", "/files/Diag/Engine/a.bin",
                          "/files/Diag/Engine/sub/b.bin"}));
    for (const QJsonValue &value : jaFiles)
        QVERIFY(value.toObject().value("cookie").toString().contains("UASESSION="));
}

void tst_PackageRepair::repairsWhatTheServerMaySend_data()
{
    // The server is asked by the folder's last name only: it may spell the
    // rest of "dir" otherwise, and send its other allowed variants.
    QTest::addColumn<QStringList>("modes");
    QTest::newRow("another parent") << QStringList{"dir-parent"};
    QTest::newRow("trailing slash") << QStringList{"dir-slash"};
    QTest::newRow("upper-case digests") << QStringList{"upper-hash"};
    QTest::newRow("stale sizes") << QStringList{"stale-size"};
    QTest::newRow("backslashes in paths") << QStringList{"backslash-path"};
    QTest::newRow("all at once") << QStringList{"dir-parent", "upper-hash", "stale-size",
                                                "backslash-path"};
}

void tst_PackageRepair::repairsWhatTheServerMaySend()
{
    QFETCH(QStringList, modes);
    QVERIFY(QFile::remove(sFolder + "/a.bin"));
    QVERIFY(pServer->SetModes(modes));
    PackageRepair repair(Device());
    const PackageRepairResult result = repair.Repair(Check());
    QVERIFY(pServer->SetModes({}));
    QCOMPARE(result.state, PackageRepairResult::Repaired);
    QCOMPARE(result.nRepaired, 1);
    QCOMPARE(ReadFile(sFolder + "/a.bin"), kA);
    QCOMPARE(Check().state, PackageCheckResult::Intact);
}

void tst_PackageRepair::asksForTheBranchTheDownloadPageAsksFor_data()
{
    // The server's branch is kept in Update.json as it came; the download page
    // asks in lower case, and with no branch at all for a mandatory package.
    QTest::addColumn<QString>("sName");
    QTest::addColumn<QString>("sBranch"); // as the server sent it
    QTest::addColumn<QString>("sAsked");
    QTest::newRow("upper case") << "Engine"
                                << "DASH"
                                << "dash";
    QTest::newRow("mixed case") << "Engine"
                                << "Immo"
                                << "immo";
    QTest::newRow("mandatory Public") << "Public"
                                      << "Dash"
                                      << "";
    QTest::newRow("mandatory main, other case") << "MAIN"
                                                << "dash"
                                                << "";
}

void tst_PackageRepair::asksForTheBranchTheDownloadPageAsksFor()
{
    QFETCH(QString, sName);
    QFETCH(QString, sBranch);
    QFETCH(QString, sAsked);
    ServePackage("2.0", "Diag/Engine", sName, sBranch);
    Install(QString());
    QCOMPARE(InstalledManifest::Read(sFolder).value("branch").toString(), sBranch);
    pServer->ClearRequests();
    QVERIFY(WriteFile(sFolder + "/c.bin", "damaged c!"));
    const PackageRepairResult result = PackageRepair(Device()).Repair(Check());
    QCOMPARE(result.state, PackageRepairResult::Repaired);
    const QJsonArray jaLists = pServer->Requests("downloadlist");
    QCOMPARE(jaLists.size(), 1);
    const QJsonObject joData = jaLists.at(0).toObject().value("data").toObject();
    QVERIFY(joData.value("branch").isString());
    QCOMPARE(joData.value("branch").toString(), sAsked);
    QCOMPARE(ReadFile(sFolder + "/c.bin"), kC);
}

void tst_PackageRepair::fifoInPlaceOfAFileIsNotRead()
{
    // A FIFO where a package file should be would hold the repair until a
    // writer came: it is taken as missing, never opened, and replaced.
    if (!CanMakePosixSpecialFiles())
        QSKIP("no FIFOs here");
    QVERIFY(QFile::remove(sFolder + "/c.bin"));
    FifoWatch fifo(sFolder + "/c.bin");
    QVERIFY(fifo.IsValid());
    const PackageCheckResult check = Check();
    QCOMPARE(check.state, PackageCheckResult::Damaged);
    const PackageRepairResult result = PackageRepair(Device()).Repair(check);
    const bool bOpened = fifo.Opened();
    QVERIFY2(!bOpened, "the FIFO was opened");
    QCOMPARE(result.state, PackageRepairResult::Repaired);
    QCOMPARE(ReadFile(sFolder + "/c.bin"), kC);
}

void tst_PackageRepair::movedOnRevisionIsOfferedAsUpdate()
{
    ServePackage("2.1");
    QVERIFY(WriteFile(sPackages + "/20-engine/files/a.bin", "the next revision"));
    QVERIFY(WriteFile(sFolder + "/a.bin", "damaged"));
    const PackageRepairResult result = PackageRepair(Device()).Repair(Check());
    QCOMPARE(result.state, PackageRepairResult::UpdateAvailable);
    QCOMPARE(result.sServerRev, QStringLiteral("2.1"));
    QCOMPARE(pServer->Requests("downloadlist").size(), 1);
    QVERIFY(pServer->Requests("files").isEmpty());
    QCOMPARE(ReadFile(sFolder + "/a.bin"), QByteArray("damaged"));
}

void tst_PackageRepair::fileChangedOnServerIsNotFetched()
{
    // Same revision, but one file was replaced on the server: fetching it
    // would not bring the installed package back.
    QVERIFY(WriteFile(sPackages + "/20-engine/files/sub/b.bin", "republished"));
    QVERIFY(WriteFile(sFolder + "/sub/b.bin", "damaged b"));
    QVERIFY(WriteFile(sFolder + "/c.bin", "damaged c!"));
    const PackageRepairResult result = PackageRepair(Device()).Repair(Check());
    QCOMPARE(result.state, PackageRepairResult::PartlyRepaired);
    QCOMPARE(result.nRepaired, 1);
    QCOMPARE(result.nFailed, 1);
    QCOMPARE(FilePaths(pServer->Requests("files")), QStringList{"/files/Diag/Engine/c.bin"});
    QCOMPARE(ReadFile(sFolder + "/c.bin"), kC);
    QCOMPARE(ReadFile(sFolder + "/sub/b.bin"), QByteArray("damaged b"));
}

void tst_PackageRepair::unusableReplies_data()
{
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<QString>("sServedDir");
    QTest::addColumn<int>("nState");
    const QString sDir("Diag/Engine");
    QTest::newRow("status 500") << QJsonObject{{"on", "downloadlist"}, {"status", 500}} << sDir
                                << int(PackageRepairResult::BadReply);
    QTest::newRow("not JSON") << QJsonObject{{"on", "downloadlist"}, {"notjson", true}} << sDir
                              << int(PackageRepairResult::BadReply);
    QTest::newRow("cut off") << QJsonObject{{"on", "downloadlist"}, {"reset", true}} << sDir
                             << int(PackageRepairResult::BadReply);
    QTest::newRow("an array") << QJsonObject{{"on", "downloadlist"}, {"body", "[]"}} << sDir
                              << int(PackageRepairResult::BadReply);
    QTest::newRow("another folder of that name")
        << QJsonObject() << "Other/Engine" << int(PackageRepairResult::NotOnServer);
}

void tst_PackageRepair::unusableReplies()
{
    QFETCH(QJsonObject, joFault);
    QFETCH(QString, sServedDir);
    QFETCH(int, nState);
    ServePackage("2.0", sServedDir);
    QVERIFY(pServer->SetFault(joFault));
    QVERIFY(WriteFile(sFolder + "/a.bin", "damaged"));
    const PackageRepairResult result = PackageRepair(Device()).Repair(Check());
    QCOMPARE(int(result.state), nState);
    QVERIFY(pServer->Requests("files").isEmpty());
    QCOMPARE(ReadFile(sFolder + "/a.bin"), QByteArray("damaged"));
}

void tst_PackageRepair::failedTransfersKeepWhatWasThere()
{
    QVERIFY(pServer->SetFault({{"on", "files"}, {"status", 404}}));
    QVERIFY(WriteFile(sFolder + "/a.bin", "damaged"));
    QVERIFY(QFile::remove(sFolder + "/c.bin"));
    const PackageRepairResult result = PackageRepair(Device()).Repair(Check());
    QCOMPARE(result.state, PackageRepairResult::NotRepaired);
    QCOMPARE(result.nRepaired, 0);
    QCOMPARE(result.nFailed, 2);
    QCOMPARE(ReadFile(sFolder + "/a.bin"), QByteArray("damaged"));
    QVERIFY(!QFile::exists(sFolder + "/c.bin"));
    QCOMPARE(QDir(sFolder).entryList(QDir::Files, QDir::Name),
             (QStringList{"Update.json", "a.bin"}));
}

void tst_PackageRepair::restrictKeepsOnlyMatchingFiles()
{
    PackageCheckResult check;
    check.state = PackageCheckResult::Damaged;
    check.faults = {
        FileFault{"Diag/Engine/a.bin", sDisk + "/Diag/Engine/a.bin", "AA", FileFault::Missing},
        FileFault{"Diag/Engine/b.bin", sDisk + "/Diag/Engine/b.bin", "bb", FileFault::SizeDiffers},
        FileFault{"Diag/Engine/gone.bin", sDisk + "/Diag/Engine/gone.bin", "cc",
                  FileFault::Missing},
        FileFault{"../x.bin", QString(), "dd", FileFault::Refused}};
    const QJsonObject joServer{
        {"root", "http://127.0.19.5:19320/files/"},
        {"lang", "EN"},
        {"rev", "2.0"},
        {"files",
         QJsonArray{QJsonObject{{"Path", "en/Diag/Engine/a.bin"}, {"Hash", "aa"}, {"Size", 1}},
                    QJsonObject{{"Path", "Diag/Engine/b.bin"}, {"Hash", "other"}, {"Size", 1}},
                    QJsonObject{{"Path", "Diag/Engine/intact.bin"}, {"Hash", "ee"}},
                    QJsonObject{{"Path", "../x.bin"}, {"Hash", "dd"}}}}};
    int nUnavailable = -1;
    const QJsonObject joRestricted =
        PackageRepair::RestrictToFaults(joServer, check, sDisk, &nUnavailable);
    QCOMPARE(nUnavailable, 3);
    QCOMPARE(joRestricted.value("files").toArray(),
             QJsonArray{joServer.value("files").toArray().at(0)});
    QCOMPARE(joRestricted.value("root"), joServer.value("root"));
    QCOMPARE(joRestricted.value("lang"), joServer.value("lang"));
}

void tst_PackageRepair::cancelStopsTheTransfer()
{
    // The file trickles in far slower than any test waits for.
    QVERIFY(pServer->SetFault({{"on", "files"}, {"trickle", 200}}));
    QVERIFY(WriteFile(sFolder + "/sub/b.bin", "damaged"));
    const PackageCheckResult check = Check();
    PackageRepair repair(Device());
    PackageRepairResult result;
    std::thread worker([&] { result = repair.Repair(check); });
    QTRY_COMPARE(pServer->Requests("files").size(), 1);
    repair.Cancel();
    worker.join();
    QCOMPARE(result.state, PackageRepairResult::Cancelled);
    QCOMPARE(ReadFile(sFolder + "/sub/b.bin"), QByteArray("damaged"));
    QCOMPARE(QDir(sFolder + "/sub").entryList(QDir::Files), QStringList{"b.bin"});

    // Cancelled, it asks the server nothing more.
    pServer->ClearRequests();
    QCOMPARE(repair.Repair(check).state, PackageRepairResult::Cancelled);
    QVERIFY(pServer->Requests().isEmpty());
}

void tst_PackageRepair::intactPackageAsksNothing()
{
    QCOMPARE(PackageRepair(Device()).Repair(Check()).state, PackageRepairResult::NothingToRepair);
    QVERIFY(pServer->Requests().isEmpty());
}

QTEST_GUILESS_MAIN(tst_PackageRepair)
#include "tst_PackageRepair.moc"
