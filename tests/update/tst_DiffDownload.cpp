// The package downloader against a local HTTP server: which files it fetches,
// where they go, how it counts and reports, and that a failed, interrupted,
// corrupted or unsafe file never destroys the copy that worked.

#include "DownloadTemporaries.h"
#include "FatDisk.h"
#include "TestHttpServer.h"
#include "TestTools.h"
#include "net/HttpPost.h"
#include "update/DiffDownload.h"
#include "update/InstalledManifest.h"
#include "update/TransferStopFlag.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <thread>
#include <vector>

namespace
{

struct TestFile {
    QString sPath;
    QString sHash;
    int nSize;
};

QString Md5(const QByteArray &baData)
{
    return QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
}

QJsonObject Manifest(const QString &sRoot, const QString &sLang, const QString &sDir,
                     const QList<TestFile> &files)
{
    QJsonArray jaFiles;
    for (const TestFile &file : files)
        jaFiles.append(
            QJsonObject{{"Path", file.sPath}, {"Hash", file.sHash}, {"Size", file.nSize}});
    return QJsonObject{
        {"root", sRoot}, {"lang", sLang}, {"dir", sDir}, {"rev", "2.0"}, {"files", jaFiles}};
}

void WriteFile(const QString &sPath, const QByteArray &baData)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(baData);
}

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

using Finish = QList<QVariant>;

} // namespace

class tst_DiffDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void configJsonIsNeverFetched_data();
    void configJsonIsNeverFetched();
    void mainBinIsAlwaysFetched_data();
    void mainBinIsAlwaysFetched();
    void languageFolderAndSpaces();
    void digestComparisonIgnoresCase();
    void httpErrorKeepsOldCopy();
    void interruptedTransferKeepsOldCopy();
    void wrongDigestKeepsOldCopy();
    void emptyHashAcceptsContent();
    void emptyHashFetchesNothingThatIsMissing_data();
    void emptyHashFetchesNothingThatIsMissing();
    void unsafePathsWriteNothing_data();
    void unsafePathsWriteNothing();
    void packageFolderOnlyPlacesTheManifest_data();
    void packageFolderOnlyPlacesTheManifest();
    void filesOutsideThePackageFolder();
    void packagesSharingAFolderAtOnce();
    void devicePlacesAreNeverWritten_data();
    void devicePlacesAreNeverWritten();
    void twoSpellingsOfOneFile_data();
    void twoSpellingsOfOneFile();
    void twoLetterCasesOnAFatDisk();
    void othersTemporaryFilesAreLeftAlone();
    void onlyHttpIsSpoken_data();
    void onlyHttpIsSpoken();
    void sizeIsNoLimit_data();
    void sizeIsNoLimit();
    void diskReserveBoundsWhatPassesItsSize_data();
    void diskReserveBoundsWhatPassesItsSize();
    void tricklingTransferIsDropped();
    void linkOutOfDiskIsRefused();
    void temporaryNameNeverWritesThroughALink();
    void leftoverTemporaryFilesAreRemoved();
    void noProgressWithoutSizes();
    void progressReachesHundred();
    void finishOnceAfterLastFile();
    void secondRunAndDestructionReportNothingMore();
    void destructionBeforeFinishReports();
    void filesShareOneConnection();
    void stopFlagAbortsTransfer();
    void lowSpeedLimitAbortsStalledTransfer();
    void failureReasons_data();
    void failureReasons();

private:
    std::unique_ptr<TestHttpServer> pServer;
    std::unique_ptr<QTemporaryDir> pDisk;
    QString sDisk;

    QList<Finish> Run(const QJsonObject &joManifest, QList<int> *pProgress = nullptr);
};

void tst_DiffDownload::initTestCase()
{
    curl_global_init(CURL_GLOBAL_ALL);
    pServer = std::make_unique<TestHttpServer>(QHostAddress(QStringLiteral("127.0.6.1")));
    QVERIFY(pServer->IsListening());
}

void tst_DiffDownload::init()
{
    pDisk = std::make_unique<QTemporaryDir>();
    QVERIFY(pDisk->isValid());
    sDisk = pDisk->path() + QStringLiteral("/disk");
    QVERIFY(QDir().mkpath(sDisk));
}

void tst_DiffDownload::cleanup()
{
    TransferStopFlag = 0;
    SetTransferTimeouts(TransferTimeouts());
    pServer->OnStall(nullptr);
}

QList<Finish> tst_DiffDownload::Run(const QJsonObject &joManifest, QList<int> *pProgress)
{
    DiffDownload downloader;
    QSignalSpy finished(&downloader, &DiffDownload::DownloadFinish);
    QSignalSpy progress(&downloader, &DiffDownload::Progress);
    downloader.SetSavePath(sDisk);
    downloader.SetPackageJson(joManifest);
    downloader.StartDownload();
    if (pProgress) {
        for (const QList<QVariant> &args : progress)
            *pProgress << args.at(0).toInt();
    }
    return finished;
}

void tst_DiffDownload::configJsonIsNeverFetched_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::newRow("top level") << "config.json";
    QTest::newRow("deep, upper case") << "Diag/Car/CONFIG.JSON";
}

void tst_DiffDownload::configJsonIsNeverFetched()
{
    QFETCH(QString, sPath);
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "", {{sPath, Md5("x"), 1}}));
    QCOMPARE(finished, (QList<Finish>{{-1, 0, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests);
    QVERIFY(!QFile::exists(sDisk + "/" + sPath));
}

void tst_DiffDownload::mainBinIsAlwaysFetched_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::addColumn<bool>("bNeedInstall");
    QTest::newRow("Home/MAIN.bin") << "Home/MAIN.bin" << true;
    QTest::newRow("home/main.BIN") << "home/main.BIN" << true;
    QTest::newRow("xmain.bin") << "Home/xmain.bin" << false;
}

void tst_DiffDownload::mainBinIsAlwaysFetched()
{
    QFETCH(QString, sPath);
    QFETCH(bool, bNeedInstall);
    const QByteArray baImage("firmware image");
    pServer->SetFile("/" + sPath, baImage);
    WriteFile(sDisk + "/" + sPath, baImage); // already equal
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Home", {{sPath, Md5(baImage), baImage.size()}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, bNeedInstall}}));
    QCOMPARE(pServer->Requests().size(), nRequests + 1);
}

void tst_DiffDownload::languageFolderAndSpaces()
{
    const QByteArray baData("diagnostic data");
    pServer->SetFile("/en/Diag/x%20y.bin", baData);
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "EN", "EN/Diag", {{"en/Diag/x y.bin", Md5(baData), 15}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(pServer->Requests().constLast(), QStringLiteral("/en/Diag/x%20y.bin"));
    QCOMPARE(ReadFile(sDisk + "/Diag/x y.bin"), baData);
    QVERIFY(!QFile::exists(sDisk + "/en"));
}

void tst_DiffDownload::digestComparisonIgnoresCase()
{
    const QByteArray baData("same content");
    WriteFile(sDisk + "/Diag/a.bin", baData);
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/a.bin", Md5(baData).toUpper(), 12}}));
    QCOMPARE(finished, (QList<Finish>{{-1, 0, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests);
}

void tst_DiffDownload::httpErrorKeepsOldCopy()
{
    WriteFile(sDisk + "/Diag/gone.bin", "old copy");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/gone.bin", Md5("new copy"), 8}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/gone.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::interruptedTransferKeepsOldCopy()
{
    const QByteArray baNew(200000, 'n');
    pServer->SetFile("/Diag/cut.bin", baNew, 200, TestHttpServer::Truncated);
    WriteFile(sDisk + "/Diag/cut.bin", "old copy");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/cut.bin", Md5(baNew), baNew.size()}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/cut.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::wrongDigestKeepsOldCopy()
{
    pServer->SetFile("/Diag/bad.bin", "corrupted on the way");
    WriteFile(sDisk + "/Diag/bad.bin", "old copy");
    const QList<Finish> finished = Run(
        Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/bad.bin", Md5("what was meant"), 14}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/bad.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::emptyHashAcceptsContent()
{
    // Without a digest there is nothing to check the content against.
    pServer->SetFile("/Diag/nohash.bin", "fresh");
    WriteFile(sDisk + "/Diag/nohash.bin", "stale");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/nohash.bin", "", 5}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/nohash.bin"), QByteArray("fresh"));
}

void tst_DiffDownload::unsafePathsWriteNothing_data()
{
    QTest::addColumn<QString>("sLang");
    QTest::addColumn<QString>("sDir");
    QTest::addColumn<QString>("sPath");
    QTest::newRow("parent of the disk") << ""
                                        << ""
                                        << "../outside.bin";
    QTest::newRow("parent through the package") << ""
                                                << "Diag"
                                                << "Diag/../../outside.bin";
    QTest::newRow("backslash parent") << ""
                                      << "Diag"
                                      << "Diag\\..\\..\\outside.bin";
    QTest::newRow("absolute") << "EN"
                              << ""
                              << "/outside.bin";
    QTest::newRow("drive letter") << ""
                                  << ""
                                  << "C:/outside.bin";
    QTest::newRow("unsafe package folder") << ""
                                           << "../x"
                                           << "../x/outside.bin";
    QTest::newRow("package folder among the records") << ""
                                                      << "SaveData/Other"
                                                      << "SaveData/Other/outside.bin";
}

void tst_DiffDownload::emptyHashFetchesNothingThatIsMissing_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::addColumn<bool>("bFolderExists");
    QTest::addColumn<bool>("bFetched");
    QTest::newRow("in a folder that is there") << "Diag/new.bin" << true << false;
    QTest::newRow("in a folder that is not") << "Diag/new.bin" << false << false;
    QTest::newRow("firmware image") << "Home/MAIN.bin" << false << true;
}

void tst_DiffDownload::emptyHashFetchesNothingThatIsMissing()
{
    // A missing file has the empty digest: it matches an empty "Hash", wherever it would go.
    QFETCH(QString, sPath);
    QFETCH(bool, bFolderExists);
    QFETCH(bool, bFetched);
    if (bFolderExists)
        QVERIFY(QDir().mkpath(QFileInfo(sDisk + "/" + sPath).absolutePath()));
    pServer->SetFile("/" + sPath, "fresh");
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished = Run(Manifest(pServer->BaseUrl(), "", "Diag", {{sPath, "", 5}}));
    QCOMPARE(finished, bFetched ? (QList<Finish>{{1, 0, true}}) : (QList<Finish>{{-1, 0, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests + (bFetched ? 1 : 0));
    QCOMPARE(QFile::exists(sDisk + "/" + sPath), bFetched);
}

void tst_DiffDownload::unsafePathsWriteNothing()
{
    QFETCH(QString, sLang);
    QFETCH(QString, sDir);
    QFETCH(QString, sPath);
    const QByteArray baData("payload");
    pServer->SetFile("/outside.bin", baData);
    pServer->SetFile("/Other/outside.bin", baData);
    const QString sParent = QFileInfo(sDisk).absolutePath();
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), sLang, sDir, {{sPath, Md5(baData), baData.size()}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests);
    QVERIFY(!QFile::exists(sParent + "/outside.bin"));
    QVERIFY(!QFile::exists(sDisk + "/Other/outside.bin"));
    QVERIFY(!QFile::exists(QFileInfo(sParent).absolutePath() + "/outside.bin"));
}

void tst_DiffDownload::packageFolderOnlyPlacesTheManifest_data()
{
    QTest::addColumn<QString>("sLang");
    QTest::addColumn<QString>("sDir");
    QTest::addColumn<QString>("sPath");
    QTest::newRow("folder is the disk") << ""
                                        << ""
                                        << "Other/inside.bin";
    QTest::newRow("folder is the disk, dot") << ""
                                             << "."
                                             << "Other/inside.bin";
    QTest::newRow("folder is the disk, slash") << ""
                                               << "/"
                                               << "Other/inside.bin";
    QTest::newRow("folder is only the language") << "EN"
                                                 << "EN/"
                                                 << "EN/Other/inside.bin";
    QTest::newRow("folder out of the disk") << ""
                                            << "../x"
                                            << "Other/inside.bin";
    QTest::newRow("folder among the records") << ""
                                              << "SaveData/Other"
                                              << "Other/inside.bin";
}

void tst_DiffDownload::packageFolderOnlyPlacesTheManifest()
{
    // The files go where their own paths say; only the installed manifest,
    // which would land on the disk's root or outside the package places, is not written.
    QFETCH(QString, sLang);
    QFETCH(QString, sDir);
    QFETCH(QString, sPath);
    const QByteArray baData("payload");
    pServer->SetFile("/" + sPath, baData);
    const QJsonObject joManifest =
        Manifest(pServer->BaseUrl(), sLang, sDir, {{sPath, Md5(baData), baData.size()}});
    const QList<Finish> finished = Run(joManifest);
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(ReadFile(sDisk + "/Other/inside.bin"), baData);
    QVERIFY(!InstalledManifest::Save(sDisk, joManifest, sLang));
    QVERIFY(!QFile::exists(sDisk + "/Update.json"));
    QCOMPARE(QDir(sDisk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"Other"});
}

void tst_DiffDownload::filesOutsideThePackageFolder()
{
    // "dir" only places the installed manifest: a package may bring files that
    // it shares with others, wherever they go on the disk.
    pServer->SetFile("/Diag/VW/vw.bin", "vw");
    pServer->SetFile("/Diag/Common/shared.bin", "shared");
    pServer->SetFile("/top.bin", "top");
    WriteFile(sDisk + "/Diag/Common/shared.bin", "old shared");
    const QList<Finish> finished = Run(Manifest(pServer->BaseUrl(), "", "Diag/VW",
                                                {{"Diag/VW/vw.bin", Md5("vw"), 2},
                                                 {"Diag/Common/shared.bin", Md5("shared"), 6},
                                                 {"top.bin", Md5("top"), 3}}));
    QCOMPARE(finished, (QList<Finish>{{3, 0, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/VW/vw.bin"), QByteArray("vw"));
    QCOMPARE(ReadFile(sDisk + "/Diag/Common/shared.bin"), QByteArray("shared"));
    QCOMPARE(ReadFile(sDisk + "/top.bin"), QByteArray("top"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::packagesSharingAFolderAtOnce()
{
    // One batch runs its packages side by side: packages that bring a file in
    // the same folder that is not there yet make that folder at the same time,
    // and each must find it made rather than count its file as failed.
    const QByteArray baShared("shared");
    pServer->SetFile("/Diag/Common/a/b/c/shared.bin", baShared);
    const int nPackages = 8;
    for (int nRound = 0; nRound < 10; ++nRound) {
        QTemporaryDir roundDisk;
        QVERIFY(roundDisk.isValid());
        std::vector<std::unique_ptr<DiffDownload>> downloaders;
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (int n = 0; n < nPackages; ++n) {
            downloaders.push_back(std::make_unique<DiffDownload>());
            spies.push_back(std::make_unique<QSignalSpy>(downloaders.back().get(),
                                                         &DiffDownload::DownloadFinish));
            downloaders.back()->SetSavePath(roundDisk.path());
            downloaders.back()->SetPackageJson(
                Manifest(pServer->BaseUrl(), "", QStringLiteral("Diag/P%1").arg(n),
                         {{"Diag/Common/a/b/c/shared.bin", Md5(baShared), baShared.size()}}));
        }
        std::vector<std::thread> threads;
        for (const auto &pDownloader : downloaders)
            threads.emplace_back([p = pDownloader.get()] { p->StartDownload(); });
        for (std::thread &thread : threads)
            thread.join();
        // A package that starts after another placed the file has nothing to fetch (-1).
        for (const auto &pSpy : spies) {
            QCOMPARE(pSpy->count(), 1);
            QVERIFY2(pSpy->value(0) == (Finish{1, 0, false}) ||
                         pSpy->value(0) == (Finish{-1, 0, false}),
                     qPrintable(pSpy->value(0).at(0).toString()));
        }
        QCOMPARE(ReadFile(roundDisk.path() + "/Diag/Common/a/b/c/shared.bin"), baShared);
    }
}

void tst_DiffDownload::devicePlacesAreNeverWritten_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::newRow("serial number") << "sn.txt";
    QTest::newRow("serial number, other case") << "SN.TXT";
    QTest::newRow("a record") << "SaveData/DTC/1.dat";
    QTest::newRow("a record, other case") << "savedata/DTC/1.dat";
    QTest::newRow("a new record") << "SaveData/DTC/2.dat";
    // Windows drops a trailing dot: these are the serial number and a record there.
    QTest::newRow("serial number with a trailing dot") << "sn.txt.";
    QTest::newRow("a record through a folder with a trailing dot") << "SaveData./DTC/1.dat";
    // Windows opens the device of that name.
    QTest::newRow("a device's name") << "Diag/COM3.bin";
}

void tst_DiffDownload::devicePlacesAreNeverWritten()
{
    QFETCH(QString, sPath);
    WriteFile(sDisk + "/sn.txt", "D520000000001");
    WriteFile(sDisk + "/SaveData/DTC/1.dat", "record");
    pServer->SetFile("/" + sPath, "replaced");
    pServer->SetFile("/Diag/a.bin", "a");
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag",
                     {{sPath, Md5("replaced"), 8}, {"Diag/a.bin", Md5("a"), 1}}));
    QCOMPARE(finished, (QList<Finish>{{1, 1, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests + 1);
    QCOMPARE(ReadFile(sDisk + "/sn.txt"), QByteArray("D520000000001"));
    QCOMPARE(ReadFile(sDisk + "/SaveData/DTC/1.dat"), QByteArray("record"));
    QVERIFY(!QFile::exists(sDisk + "/SaveData/DTC/2.dat"));
}

void tst_DiffDownload::twoSpellingsOfOneFile_data()
{
    QTest::addColumn<QString>("sLang");
    QTest::addColumn<QString>("sFirst");
    QTest::addColumn<QString>("sSecond");
    QTest::newRow("doubled slash") << ""
                                   << "Diag/Dash//d.bin"
                                   << "Diag/Dash/d.bin";
    QTest::newRow("dot folder") << ""
                                << "Diag/./Dash/d.bin"
                                << "Diag/Dash/d.bin";
    QTest::newRow("backslashes") << ""
                                 << "Diag\\Dash\\d.bin"
                                 << "Diag/Dash/d.bin";
    QTest::newRow("language folder") << "en"
                                     << "en/Diag/Dash/d.bin"
                                     << "Diag/Dash/d.bin";
}

void tst_DiffDownload::twoSpellingsOfOneFile()
{
    // Both spellings name one file on the disk: it is fetched once, and the
    // working copy is replaced only by a complete, verified transfer.
    QFETCH(QString, sLang);
    QFETCH(QString, sFirst);
    QFETCH(QString, sSecond);
    const QByteArray baNew(300000, 'n');
    for (const QString &sPath : {sFirst, sSecond}) {
        QString sUrlPath = "/" + sPath;
        sUrlPath.replace('\\', "%5C");
        pServer->SetFile(sUrlPath, baNew);
    }
    WriteFile(sDisk + "/Diag/Dash/d.bin", "old copy");
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), sLang, "Diag/Dash",
                     {{sFirst, Md5(baNew), baNew.size()}, {sSecond, Md5(baNew), baNew.size()}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests + 1);
    QCOMPARE(ReadFile(sDisk + "/Diag/Dash/d.bin"), baNew);
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::twoLetterCasesOnAFatDisk()
{
    // On the device's FAT disk "d.bin" and "D.BIN" are one file.
    const FatDisk fat(pDisk->path() + "/fat.img", sDisk);
    if (!fat.IsMounted())
        QSKIP(qPrintable("no FAT disk: " + fat.Error()));
    WriteFile(sDisk + "/sn.txt", "D520000000001");
    const QByteArray baNew(300000, 'f');
    pServer->SetFile("/Diag/Dash/d.bin", baNew);
    pServer->SetFile("/DIAG/DASH/D.BIN", baNew);
    WriteFile(sDisk + "/Diag/Dash/d.bin", "old copy");
    const int nRequests = pServer->Requests().size();
    const QList<Finish> finished = Run(Manifest(pServer->BaseUrl(), "", "Diag/Dash",
                                                {{"Diag/Dash/d.bin", Md5(baNew), baNew.size()},
                                                 {"DIAG/DASH/D.BIN", Md5(baNew), baNew.size()}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(pServer->Requests().size(), nRequests + 1);
    // Read under the name it was written by: the kernel's cache of the other
    // spelling may lag behind on a FUSE file system.
    QCOMPARE(ReadFile(sDisk + "/DIAG/DASH/D.BIN"), baNew);
    QCOMPARE(QDir(sDisk + "/Diag/Dash").entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void tst_DiffDownload::othersTemporaryFilesAreLeftAlone()
{
    // A temporary file that a running transfer holds (another package sharing
    // the file) stays; one that nobody holds is a leftover and goes.
    const QString sLive = sDisk + "/Diag/o.bin.live" + DiffDownload::TemporarySuffix;
    const QString sLeftover = sDisk + "/Diag/o.bin.dead" + DiffDownload::TemporarySuffix;
    const QString sUnrelated = sDisk + "/Diag/other.bin.dead" + DiffDownload::TemporarySuffix;
    WriteFile(sLeftover, "left by a killed run");
    WriteFile(sUnrelated, "not ours to judge");
    QFile live(sLive);
    QVERIFY(live.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    live.write("in flight");
    live.flush();
    pServer->SetFile("/Diag/o.bin", "oh");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/o.bin", Md5("oh"), 2}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/o.bin"), QByteArray("oh"));
    QCOMPARE(ReadFile(sLive), QByteArray("in flight"));
    QVERIFY(!QFile::exists(sLeftover));
    QVERIFY(QFile::exists(sUnrelated));
}

void tst_DiffDownload::onlyHttpIsSpoken_data()
{
    QTest::addColumn<QString>("sScheme");
    QTest::newRow("gopher") << "gopher";
    QTest::newRow("dict") << "dict";
    QTest::newRow("telnet") << "telnet";
    QTest::newRow("ftp") << "ftp";
    QTest::newRow("smtp") << "smtp";
    QTest::newRow("file") << "file";
}

void tst_DiffDownload::onlyHttpIsSpoken()
{
    // "root" comes from the server over plain HTTP: it must not make the
    // program talk to another local service, nor read local files.
    QFETCH(QString, sScheme);
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress(QStringLiteral("127.0.6.3")), 0));
    const QString sSource = pDisk->path() + "/source";
    WriteFile(sSource + "/_/Diag/p.bin", "local secret");
    const QString sRoot =
        sScheme == QLatin1String("file")
            ? QStringLiteral("file://%1/_/").arg(sSource)
            : QStringLiteral("%1://127.0.6.3:%2/_/").arg(sScheme).arg(listener.serverPort());
    const QList<Finish> finished =
        Run(Manifest(sRoot, "", "Diag", {{"Diag/p.bin", Md5("local secret"), 12}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QVERIFY(!QFile::exists(sDisk + "/Diag/p.bin"));
    QVERIFY(!listener.waitForNewConnection(100));
}

void tst_DiffDownload::sizeIsNoLimit_data()
{
    // "Size" only weighs the file in the progress; what arrives, and its
    // digest, decide.
    QTest::addColumn<bool>("bDigest");
    QTest::addColumn<int>("nSize");
    QTest::addColumn<int>("nLastProgress"); // -1: none
    QTest::newRow("too small, with digest") << true << 1000 << 500;
    QTest::newRow("too small, without digest") << false << 1000 << 500;
    QTest::newRow("zero, with digest") << true << 0 << -1;
    QTest::newRow("too large, with digest") << true << 20000 << 25;
}

void tst_DiffDownload::sizeIsNoLimit()
{
    QFETCH(bool, bDigest);
    QFETCH(int, nSize);
    QFETCH(int, nLastProgress);
    const QByteArray baNew = QByteArray("grown ").repeated(1000).left(5000);
    pServer->SetFile("/Diag/grow.bin", baNew);
    WriteFile(sDisk + "/Diag/grow.bin", "old copy");
    QList<int> progress;
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag",
                     {{"Diag/grow.bin", bDigest ? Md5(baNew) : QString(), nSize}}),
            &progress);
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/grow.bin"), baNew);
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
    QCOMPARE(progress.isEmpty() ? -1 : progress.constLast(), nLastProgress);
}

void tst_DiffDownload::diskReserveBoundsWhatPassesItsSize_data()
{
    QTest::addColumn<int>("nSize"); // of the manifest; the file has 24 MiB
    QTest::addColumn<bool>("bArrives");
    // A file within its size may fill the disk as ever; one that runs past
    // its size (a server that never ends) stops while the disk keeps its reserve.
    QTest::newRow("within its size") << 24 * 1024 * 1024 << true;
    QTest::newRow("past its size") << 1000 << false;
    QTest::newRow("no size") << 0 << false;
}

void tst_DiffDownload::diskReserveBoundsWhatPassesItsSize()
{
    QFETCH(int, nSize);
    QFETCH(bool, bArrives);
    const qint64 nReserve = qint64(DiffDownload::DiskReserveBytes);
    const qint64 nVolume = 48 * 1024 * 1024;
    QTemporaryDir volumeDir;
    const QString sVolume = volumeDir.filePath("volume");
    QVERIFY(QDir().mkpath(sVolume));
    const QString sError = TestTools::RunTool(
        "mount", {"-t", "tmpfs", "-o", QStringLiteral("size=%1").arg(nVolume), "tmpfs", sVolume});
    if (!sError.isEmpty())
        QSKIP(qPrintable("cannot mount a tmpfs: " + sError));
    const auto unmount = qScopeGuard([&sVolume] { TestTools::RunTool("umount", {"-l", sVolume}); });
    const QByteArray baNew(24 * 1024 * 1024, 'e');
    pServer->SetFile("/Diag/endless.bin", baNew);
    WriteFile(sVolume + "/Diag/endless.bin", "old copy");

    DiffDownload downloader;
    QSignalSpy finished(&downloader, &DiffDownload::DownloadFinish);
    qint64 nMostReceived = 0;
    connect(&downloader, &DiffDownload::Transferred, this,
            [&nMostReceived](int, qint64 nReceived, qint64) {
                nMostReceived = qMax(nMostReceived, nReceived);
            });
    downloader.SetSavePath(sVolume);
    downloader.SetPackageJson(
        Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/endless.bin", QString(), nSize}}));
    downloader.StartDownload();
    QCOMPARE(finished.size(), 1);
    if (bArrives) {
        QCOMPARE(finished.at(0), (Finish{1, 0, false}));
        QVERIFY(ReadFile(sVolume + "/Diag/endless.bin") == baNew);
        return;
    }
    QCOMPARE(finished.at(0), (Finish{0, 1, false}));
    QCOMPARE(downloader.FailureReasons(),
             (DiffDownload::Failures{{DiffDownload::Failure::DiskFull, 1}}));
    // Stopped near the reserve (a chunk or two past it), not at the disk's end.
    QVERIFY2(nMostReceived <= nVolume - nReserve + 2 * 1024 * 1024,
             qPrintable(QString::number(nMostReceived)));
    QCOMPARE(ReadFile(sVolume + "/Diag/endless.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sVolume).isEmpty());
}

void tst_DiffDownload::tricklingTransferIsDropped()
{
    // A few bytes now and then pass the 1 byte/s test; a file must bring the
    // least amount within each period (60 s and 1 KiB in the program).
    TransferTimeouts timeouts;
    timeouts.nFileWindowSeconds = 2;
    timeouts.nFileWindowBytes = 1024;
    SetTransferTimeouts(timeouts);
    const QByteArray baNew(600, 't');
    pServer->SetFile("/Diag/drip.bin", baNew, 200, TestHttpServer::Trickled);
    WriteFile(sDisk + "/Diag/drip.bin", "old copy");
    const QList<Finish> finished = Run(
        Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/drip.bin", Md5(baNew), baNew.size()}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/drip.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::linkOutOfDiskIsRefused()
{
    const QString sOutside = pDisk->path() + "/elsewhere";
    QVERIFY(QDir().mkpath(sOutside));
    QVERIFY(QFile::link(sOutside, sDisk + "/Diag"));
    pServer->SetFile("/Diag/a.bin", "payload");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/a.bin", Md5("payload"), 7}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QVERIFY(QDir(sOutside).isEmpty());
}

void tst_DiffDownload::temporaryNameNeverWritesThroughALink()
{
    // A leftover at the temporary name that is a link (even a dangling one) is
    // replaced, never followed.
    const QString sOutside = pDisk->path() + "/outside.bin";
    QVERIFY(QDir().mkpath(sDisk + "/Diag"));
    QVERIFY(QFile::link(sOutside, sDisk + "/Diag/l.bin" + DiffDownload::TemporarySuffix));
    pServer->SetFile("/Diag/l.bin", "linked");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/l.bin", Md5("linked"), 6}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QVERIFY(!QFileInfo::exists(sOutside));
    QCOMPARE(ReadFile(sDisk + "/Diag/l.bin"), QByteArray("linked"));
    QVERIFY(!QFileInfo(sDisk + "/Diag/l.bin").isSymLink());
}

void tst_DiffDownload::leftoverTemporaryFilesAreRemoved()
{
    const QByteArray baData("current");
    WriteFile(sDisk + "/Diag/a.bin", baData);
    WriteFile(sDisk + "/Diag/a.bin" + DiffDownload::TemporarySuffix, "half of an old run");
    WriteFile(sDisk + "/Diag/b.bin" + DiffDownload::TemporarySuffix, "half of an old run");
    pServer->SetFile("/Diag/b.bin", "bee");
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag",
                     {{"Diag/a.bin", Md5(baData), 7}, {"Diag/b.bin", Md5("bee"), 3}}));
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/b.bin"), QByteArray("bee"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::noProgressWithoutSizes()
{
    pServer->SetFile("/Diag/s1.bin", "one");
    pServer->SetFile("/Diag/s2.bin", "two");
    QList<int> progress;
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag",
                     {{"Diag/s1.bin", Md5("one"), 0}, {"Diag/s2.bin", Md5("two"), 0}}),
            &progress);
    QCOMPARE(finished, (QList<Finish>{{2, 0, false}}));
    QVERIFY(progress.isEmpty());
}

void tst_DiffDownload::progressReachesHundred()
{
    const QByteArray baBig(300000, 'b');
    pServer->SetFile("/Diag/big.bin", baBig);
    QList<int> progress;
    const QList<Finish> finished =
        Run(Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/big.bin", Md5(baBig), baBig.size()}}),
            &progress);
    QCOMPARE(finished, (QList<Finish>{{1, 0, false}}));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.constLast(), 100);
    QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
}

void tst_DiffDownload::finishOnceAfterLastFile()
{
    pServer->SetFile("/Diag/f1.bin", "one");
    pServer->SetFile("/Diag/f3.bin", "three");
    // f2 is missing on the server: 404
    DiffDownload downloader;
    QList<Finish> finished;
    QList<int> requestsAtFinish;
    const int nRequests = pServer->Requests().size();
    connect(&downloader, &DiffDownload::DownloadFinish, this,
            [&](int nSuccess, int nErr, bool bNeedInstall) {
                finished << Finish{nSuccess, nErr, bNeedInstall};
                requestsAtFinish << pServer->Requests().size() - nRequests;
            });
    downloader.SetSavePath(sDisk);
    downloader.SetPackageJson(Manifest(pServer->BaseUrl(), "", "Diag",
                                       {{"Diag/f1.bin", Md5("one"), 3},
                                        {"Diag/f2.bin", Md5("two"), 3},
                                        {"Diag/f3.bin", Md5("three"), 5}}));
    downloader.StartDownload();
    QCOMPARE(finished, (QList<Finish>{{2, 1, false}}));
    QCOMPARE(requestsAtFinish, QList<int>{3});
}

void tst_DiffDownload::secondRunAndDestructionReportNothingMore()
{
    pServer->SetFile("/Diag/once.bin", "once");
    auto pDownloader = std::make_unique<DiffDownload>();
    QSignalSpy finished(pDownloader.get(), &DiffDownload::DownloadFinish);
    pDownloader->SetSavePath(sDisk);
    pDownloader->SetPackageJson(
        Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/once.bin", Md5("once"), 4}}));
    pDownloader->StartDownload();
    QCOMPARE(finished.size(), 1);
    QFile::remove(sDisk + "/Diag/once.bin");
    pDownloader->StartDownload();
    pDownloader.reset();
    QCOMPARE(finished.size(), 1);
}

void tst_DiffDownload::destructionBeforeFinishReports()
{
    QList<Finish> finished;
    {
        DiffDownload downloader;
        connect(&downloader, &DiffDownload::DownloadFinish, this,
                [&](int nSuccess, int nErr, bool bNeedInstall) {
                    finished << Finish{nSuccess, nErr, bNeedInstall};
                });
    }
    QCOMPARE(finished, (QList<Finish>{{0, 0, false}}));
}

void tst_DiffDownload::filesShareOneConnection()
{
    TestHttpServer server(QHostAddress(QStringLiteral("127.0.6.2")));
    QVERIFY(server.IsListening());
    QList<TestFile> files;
    for (int i = 0; i < 4; ++i) {
        const QByteArray baData = QByteArray::number(i).repeated(1000);
        server.SetFile(QStringLiteral("/Diag/c%1.bin").arg(i), baData);
        files << TestFile{QStringLiteral("Diag/c%1.bin").arg(i), Md5(baData), baData.size()};
    }
    const QList<Finish> finished = Run(Manifest(server.BaseUrl(), "", "Diag", files));
    QCOMPARE(finished, (QList<Finish>{{4, 0, false}}));
    QCOMPARE(server.Requests().size(), 4);
    QCOMPARE(server.Connections(), 1);
}

void tst_DiffDownload::stopFlagAbortsTransfer()
{
    const QByteArray baNew(100000, 's');
    pServer->SetFile("/Diag/stop.bin", baNew, 200, TestHttpServer::Stalled);
    pServer->SetFile("/Diag/z-after.bin", "after");
    pServer->OnStall([] { TransferStopFlag = 1; }); // the device goes away mid-transfer
    WriteFile(sDisk + "/Diag/stop.bin", "old copy");
    const QList<Finish> finished = Run(Manifest(
        pServer->BaseUrl(), "", "Diag",
        {{"Diag/stop.bin", Md5(baNew), baNew.size()}, {"Diag/z-after.bin", Md5("after"), 5}}));
    // While the flag stays up the next file fails as well; every file was tried.
    QCOMPARE(finished, (QList<Finish>{{0, 2, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/stop.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sDisk).isEmpty());
}

void tst_DiffDownload::lowSpeedLimitAbortsStalledTransfer()
{
    TransferTimeouts timeouts;
    timeouts.nLowSpeedSeconds = 1;
    SetTransferTimeouts(timeouts);
    const QByteArray baNew(100000, 'l');
    pServer->SetFile("/Diag/slow.bin", baNew, 200, TestHttpServer::Stalled);
    WriteFile(sDisk + "/Diag/slow.bin", "old copy");
    const QList<Finish> finished = Run(
        Manifest(pServer->BaseUrl(), "", "Diag", {{"Diag/slow.bin", Md5(baNew), baNew.size()}}));
    QCOMPARE(finished, (QList<Finish>{{0, 1, false}}));
    QCOMPARE(ReadFile(sDisk + "/Diag/slow.bin"), QByteArray("old copy"));
}

void tst_DiffDownload::failureReasons_data()
{
    // Each failed file carries its reason up, and the old copy stays.
    QTest::addColumn<QString>("sCase");
    QTest::addColumn<QString>("sReason"); // the DiffDownload::Failure key
    QTest::newRow("server error") << "server"
                                  << "ServerError";
    QTest::newRow("digest mismatch") << "digest"
                                     << "DigestMismatch";
    QTest::newRow("server not reachable") << "unreachable"
                                          << "Network";
    QTest::newRow("disk removed") << "removed"
                                  << "DiskGone";
    QTest::newRow("disk full") << "full"
                               << "DiskFull";
    QTest::newRow("cancelled") << "cancel"
                               << "Cancelled";
}

void tst_DiffDownload::failureReasons()
{
    QFETCH(QString, sCase);
    QFETCH(QString, sReason);
    const QByteArray baNew(300000, 'r');
    QString sRoot = pServer->BaseUrl();
    QString sSave = sDisk;
    auto pCancel = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<QTemporaryDir> pVolumeDir;
    QString sVolume;
    const auto unmount = qScopeGuard([&sVolume] {
        if (!sVolume.isEmpty())
            TestTools::RunTool("umount", {"-l", sVolume});
    });
    if (sCase == "server") {
        pServer->SetFile("/Diag/f.bin", "not here", 500);
    } else if (sCase == "digest") {
        pServer->SetFile("/Diag/f.bin", QByteArray(baNew).replace(0, 1, "x"));
    } else if (sCase == "unreachable") {
        QTcpServer closed; // a port that was just free: nobody listens there
        QVERIFY(closed.listen(QHostAddress(QStringLiteral("127.0.6.1"))));
        sRoot = QStringLiteral("http://127.0.6.1:%1/").arg(closed.serverPort());
        closed.close();
    } else if (sCase == "removed") {
        pServer->SetFile("/Diag/f.bin", baNew, 200, TestHttpServer::Stalled);
        pServer->OnStall([] { TransferStopFlag = 1; });
    } else if (sCase == "cancel") {
        pServer->SetFile("/Diag/f.bin", baNew, 200, TestHttpServer::Stalled);
        pServer->OnStall([pCancel] { *pCancel = true; });
    } else if (sCase == "full") {
        pVolumeDir = std::make_unique<QTemporaryDir>();
        const QString sMount = pVolumeDir->filePath("volume");
        QVERIFY(QDir().mkpath(sMount));
        const QString sError =
            TestTools::RunTool("mount", {"-t", "tmpfs", "-o", "size=128k", "tmpfs", sMount});
        if (!sError.isEmpty())
            QSKIP(qPrintable("cannot mount a tmpfs: " + sError));
        sVolume = sMount;
        sSave = sMount;
        pServer->SetFile("/Diag/f.bin", baNew);
    }
    WriteFile(sSave + "/Diag/f.bin", "old copy");

    DiffDownload downloader;
    downloader.SetSavePath(sSave);
    downloader.SetCancelFlag(pCancel);
    downloader.SetPackageJson(
        Manifest(sRoot, "", "Diag",
                 {{"Diag/f.bin", Md5(baNew), baNew.size()}, {"Diag/g.bin", Md5("g"), 1}}));
    downloader.StartDownload();
    TransferStopFlag = 0;

    DiffDownload::Failures failures = downloader.FailureReasons();
    const int nValue = QMetaEnum::fromType<DiffDownload::Failure>().keyToValue(qPrintable(sReason));
    QVERIFY(nValue >= 0);
    // The first file fails for the reason of the case; the second (not
    // served) for its own, unless the run could not go on.
    QVERIFY2(failures.value(DiffDownload::Failure(nValue)) >= 1,
             qPrintable(QStringLiteral("%1 files for the reason, %2 failed in all")
                            .arg(failures.value(DiffDownload::Failure(nValue)))
                            .arg(failures.size())));
    if (sCase == "cancel") // nothing more is asked for once stopped
        QCOMPARE(failures, (DiffDownload::Failures{{DiffDownload::Failure::Cancelled, 2}}));
    QCOMPARE(ReadFile(sSave + "/Diag/f.bin"), QByteArray("old copy"));
    QVERIFY(DownloadTemporaries(sSave).isEmpty());
}

QTEST_GUILESS_MAIN(tst_DiffDownload)
#include "tst_DiffDownload.moc"
