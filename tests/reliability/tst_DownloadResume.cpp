// A large file whose transfer broke off, against the stand-in update server on
// a tmpfs device disk: the retry asks for the rest by range and only the rest
// travels (counted by the server); whatever the server answers or the side
// record on the disk claims, the file on the disk is the old copy until the
// new one arrived whole and verified.
#include "DownloadHarness.h"
#include "HostProgram.h"
#include "PosixFiles.h"
#include "TestTools.h"
#include "UpdateServerProcess.h"

#include "net/HttpPost.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"
#include "update/InstalledPackages.h"
#include "update/KeptPart.h"
#include "update/TransferStopFlag.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <memory>

namespace
{
const char kAddress[] = "127.0.19.1";
constexpr qint64 kBigSize = 64 * 1024 * 1024;
// Where the stand-in server cuts the first transfer: at 60 % of the file.
constexpr qint64 kCutAt = qint64(kBigSize * 0.6);

QByteArray RandomBytes(quint32 nSeed, qint64 nSize)
{
    QByteArray ba(int(nSize), Qt::Uninitialized);
    QRandomGenerator generator(nSeed);
    generator.fillRange(reinterpret_cast<quint32 *>(ba.data()), int(nSize / 4));
    return ba;
}

QString Md5(const QByteArray &baData)
{
    return QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
}

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString &sPath, const QByteArray &baData)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QFile file(sPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(baData) == baData.size();
}

qint64 Sent(const QJsonValue &jvRequest)
{
    return qint64(jvRequest.toObject().value("sent").toDouble());
}
QString RangeOf(const QJsonValue &jvRequest)
{
    return jvRequest.toObject().value("range").toString();
}
int StatusOf(const QJsonValue &jvRequest)
{
    return jvRequest.toObject().value("status").toInt();
}

// How a test changes the world between the break-off and the retry.
enum class Change {
    None,
    NoRange,            // the server ignores Range
    Touched,            // the server's file gets a new time (new validators), same content
    TouchedIgnoreIf,    // that, and the server ignores If-Range
    RangeElsewhere,     // the rest starts later than asked, and says so
    RangeLies,          // the rest starts later than asked, claiming otherwise
    NewContent,         // the server's file is another one (new digest in the manifest)
    RecordKeptTooMany,  // side record: more bytes than kept
    RecordKeptTooFew,   // side record: fewer bytes than kept
    RecordWrongDigest,  // side record: the kept bytes' digest is wrong
    DataAlteredToMatch, // kept bytes altered, record digest made to fit them
    RecordNotJson,
    RecordHeaderInjection, // a validator with a line break
    RecordOtherDigest,     // kept for another version of the file
    RecordOtherUrl,
    RecordIsFifo,
    DataIsLinkOut,   // the kept data is a link to a file outside the disk
    DataHasTwoNames, // the kept data is a hard link to another file of the disk
    Expired,         // both kept files a week and a day old
};

} // namespace

Q_DECLARE_METATYPE(Change)

class tst_DownloadResume : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_sDisk;
    QString m_sPackages;
    bool m_bMounted = false;
    QByteArray m_baBig;
    QByteArray m_baOld;
    QByteArray m_baSmall;
    std::unique_ptr<UpdateServerProcess> m_pServer;

    QString Target() const { return m_sDisk + "/Diag/Dash/big.bin"; }
    QString ServerFile() const { return m_sPackages + "/20-dash/files/big.bin"; }

    QJsonArray BigRequests()
    {
        QJsonArray jaBig;
        for (const QJsonValue &jvRequest : m_pServer->Requests("files")) {
            if (jvRequest.toObject().value("path").toString().endsWith("/big.bin"))
                jaBig.append(jvRequest);
        }
        return jaBig;
    }

    QJsonObject Record() const
    {
        return QJsonDocument::fromJson(ReadFile(KeptPart::RecordPath(Target()))).object();
    }
    bool WriteRecord(const QJsonObject &joRecord) const
    {
        return WriteFile(KeptPart::RecordPath(Target()), QJsonDocument(joRecord).toJson());
    }

    // The first run: the server drops the connection at 60 % of the large
    // file, every time (a resume in the same run gets nothing more). The old
    // copy stays; the part received is kept with its record.
    void BreakOffAndKeep()
    {
        QVERIFY(
            m_pServer->SetFault(QJsonObject{{"on", "files"}, {"match", "big.bin"}, {"cut", 0.6}}));
        const DownloadOutcome outcome = DownloadHarness(m_sDisk).Run();
        QVERIFY(outcome.bReturned);
        QCOMPARE(outcome.nFinishCount, 1);
        QCOMPARE(outcome.nSuccess, 1); // the small file
        QCOMPARE(outcome.nErr, 1);
        QVERIFY(!outcome.bManifestSaved);
        QCOMPARE(ReadFile(Target()), m_baOld);
        QCOMPARE(QFileInfo(KeptPart::DataPath(Target())).size(), kCutAt);
        const QJsonObject joRecord = Record();
        QCOMPARE(qint64(joRecord.value("kept").toDouble()), kCutAt);
        QCOMPARE(joRecord.value("kept_md5").toString(), Md5(m_baBig.left(int(kCutAt))));
        QCOMPARE(joRecord.value("md5").toString(), Md5(m_baBig));
        QVERIFY(!joRecord.value("etag").toString().isEmpty());
        QVERIFY(m_pServer->ClearFaults());
        QVERIFY(m_pServer->ClearRequests());
    }

    // The next run completes the package; the large file is the new one.
    // nLastProgress: by the manifest's sizes (-1: none, the sizes are 0).
    void VerifyRetryCompletes(const QByteArray &baExpected, int nLastProgress = 100)
    {
        DownloadHarness harness(m_sDisk);
        const DownloadOutcome outcome = harness.Run();
        QVERIFY(outcome.bReturned);
        QCOMPARE(outcome.nFinishCount, 1);
        QCOMPARE(outcome.nErr, 0);
        QCOMPARE(outcome.nSuccess, 1);
        QVERIFY(outcome.bManifestSaved);
        // Bytes that came twice (a whole file after a part) count once.
        QCOMPARE(outcome.nLastProgress, nLastProgress);
        QVERIFY(ReadFile(Target()) == baExpected);
        QVERIFY2(harness.TemporaryFiles().isEmpty(),
                 qPrintable(harness.TemporaryFiles().join(' ')));
    }

    void Apply(Change change);

    // Another package of the same batch, whose files lie in the same folder
    // as the large file; with bBig it brings the large file too.
    QJsonObject OtherPackage(bool bBig) const
    {
        QJsonArray jaFiles{QJsonObject{{"Path", "Diag/Dash/a.bin"},
                                       {"Hash", Md5(m_baSmall)},
                                       {"Size", double(m_baSmall.size())}}};
        if (bBig)
            jaFiles.append(QJsonObject{
                {"Path", "Diag/Dash/big.bin"}, {"Hash", Md5(m_baBig)}, {"Size", double(kBigSize)}});
        return QJsonObject{{"dir", "Diag/Other"},
                           {"lang", ""},
                           {"rev", "1.0"},
                           {"root", m_pServer->BaseUrl() + "/files/"},
                           {"files", jaFiles}};
    }
    // What another package's look at the disk leaves of the kept part.
    void LookAsOtherPackage(bool bBig) const
    {
        DiffDownload other;
        other.SetSavePath(m_sDisk);
        other.SetPackageJson(OtherPackage(bBig));
        const DiffDownload::FileList files = other.BuildFileList();
        QCOMPARE(files.contains(m_pServer->BaseUrl() + "/files/Diag/Dash/big.bin"), bBig);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void resumedInTheSameRun_data();
    void resumedInTheSameRun();
    void resumedInTheNextRun_data();
    void resumedInTheNextRun();
    void fallsBackToTheWholeFile_data();
    void fallsBackToTheWholeFile();
    void smallFilesAreFetchedWhole();
    void keptPartOfAFileNoLongerFetchedGoes();
    void freshFetchAfterAWrongJoinIsNotJoinedAgain();
    void otherPackagesLeaveAKeptPartAlone();
    void otherPackagesLeaveARunningResumeAlone();
    void keptPartsGoWithTheirPackageOrWithAge();
};

void tst_DownloadResume::initTestCase()
{
    QString sWhy;
    if (!HostProgram::CanRunTools(&sWhy))
        QSKIP(qPrintable(sWhy));
    QVERIFY(m_dir.isValid());
    m_sDisk = m_dir.filePath("disk");
    m_sPackages = m_dir.filePath("packages");
    QVERIFY(QDir().mkpath(m_sDisk));
    // A real file system of its own, as a device disk is.
    const QString sError =
        TestTools::RunTool("mount", {"-t", "tmpfs", "-o", "size=256m", "tmpfs", m_sDisk});
    m_bMounted = sError.isEmpty();
    if (!m_bMounted)
        qInfo("no tmpfs (%s): the disk is a plain folder", qPrintable(sError));
    m_baBig = RandomBytes(19, kBigSize);
    m_baOld = RandomBytes(7, 3 * 1024 * 1024);
    m_baSmall = RandomBytes(5, 200 * 1000);
    TransferTimeouts timeouts;
    timeouts.nConnectMs = 5000;
    SetTransferTimeouts(timeouts);
}

void tst_DownloadResume::init()
{
    QDir disk(m_sDisk);
    for (const QString &sEntry :
         disk.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        QVERIFY(QFileInfo(disk.filePath(sEntry)).isDir()
                    ? QDir(disk.filePath(sEntry)).removeRecursively()
                    : disk.remove(sEntry));
    QDir(m_sPackages).removeRecursively();
    QVERIFY(
        DownloadHarness::WritePackage(m_sPackages, {{"a.bin", m_baSmall}, {"big.bin", m_baBig}}));
    QVERIFY(WriteFile(Target(), m_baOld));
    m_pServer = std::make_unique<UpdateServerProcess>(QString::fromLatin1(kAddress));
    m_pServer->SetPackagesFolder(m_sPackages);
    QVERIFY2(m_pServer->Start(), qPrintable(m_pServer->Output()));
    SetServerAddress(m_pServer->Address());
    TransferStopFlag = 0;
}

void tst_DownloadResume::cleanup()
{
    m_pServer.reset();
}

void tst_DownloadResume::cleanupTestCase()
{
    if (m_bMounted)
        TestTools::Unmount(m_sDisk);
}

void tst_DownloadResume::resumedInTheSameRun_data()
{
    // The manifest's "Size" may be wrong: the server's own length of the
    // file decides what the rest is.
    QTest::addColumn<QString>("sMode");
    QTest::addColumn<int>("nLastProgress"); // -1: none
    QTest::newRow("size right") << QString() << 100;
    QTest::newRow("size too small") << "stale-size" << 400;
    QTest::newRow("size too large") << "big-size" << 25;
    QTest::newRow("size zero") << "zero-size" << -1;
}

void tst_DownloadResume::resumedInTheSameRun()
{
    // Dropped once at 60 %: the same run asks for the rest and completes.
    QFETCH(QString, sMode);
    QFETCH(int, nLastProgress);
    QVERIFY(m_pServer->SetModes(sMode.isEmpty() ? QStringList() : QStringList{sMode}));
    QVERIFY(m_pServer->SetFault(
        QJsonObject{{"on", "files"}, {"match", "big.bin"}, {"cut", 0.6}, {"times", 1}}));
    DownloadHarness harness(m_sDisk);
    const DownloadOutcome outcome = harness.Run();
    QVERIFY(outcome.bReturned);
    QCOMPARE(outcome.nFinishCount, 1);
    QCOMPARE(outcome.nSuccess, 2);
    QCOMPARE(outcome.nErr, 0);
    QVERIFY(outcome.bManifestSaved);
    QVERIFY(ReadFile(Target()) == m_baBig);
    QVERIFY(harness.TemporaryFiles().isEmpty());
    QCOMPARE(outcome.nLastProgress, nLastProgress);

    const QJsonArray jaBig = BigRequests();
    QCOMPARE(jaBig.size(), 2);
    QCOMPARE(RangeOf(jaBig[0]), QString());
    QCOMPARE(Sent(jaBig[0]), kCutAt);
    QCOMPARE(RangeOf(jaBig[1]), QStringLiteral("bytes=%1-").arg(kCutAt));
    QCOMPARE(StatusOf(jaBig[1]), 206);
    const double dShare = double(Sent(jaBig[1])) / double(kBigSize);
    QVERIFY2(dShare > 0.39 && dShare < 0.41, qPrintable(QString::number(dShare)));
}

void tst_DownloadResume::resumedInTheNextRun_data()
{
    resumedInTheSameRun_data();
}

void tst_DownloadResume::resumedInTheNextRun()
{
    // Broken off for good in one run; the next one (the user clicks again, or
    // the program was started again) fetches only the remaining 40 %.
    QFETCH(QString, sMode);
    QFETCH(int, nLastProgress);
    QVERIFY(m_pServer->SetModes(sMode.isEmpty() ? QStringList() : QStringList{sMode}));
    BreakOffAndKeep();
    const QString sETag = Record().value("etag").toString();
    VerifyRetryCompletes(m_baBig, nLastProgress);
    const QJsonArray jaBig = BigRequests();
    QCOMPARE(jaBig.size(), 1);
    QCOMPARE(RangeOf(jaBig[0]), QStringLiteral("bytes=%1-").arg(kCutAt));
    QCOMPARE(jaBig[0].toObject().value("if_range").toString(), sETag);
    QCOMPARE(StatusOf(jaBig[0]), 206);
    const double dShare = double(Sent(jaBig[0])) / double(kBigSize);
    QVERIFY2(dShare > 0.39 && dShare < 0.41, qPrintable(QString::number(dShare)));
}

void tst_DownloadResume::Apply(Change change)
{
    QJsonObject joRecord = Record();
    const QString sData = KeptPart::DataPath(Target());
    switch (change) {
    case Change::None:
        break;
    case Change::NoRange:
        QVERIFY(m_pServer->SetFault(QJsonObject{{"on", "files"}, {"norange", true}}));
        break;
    case Change::Touched:
    case Change::TouchedIgnoreIf: {
        QFile file(ServerFile());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
        if (change == Change::TouchedIgnoreIf)
            QVERIFY(m_pServer->SetFault(QJsonObject{{"on", "files"}, {"ignoreifrange", true}}));
        break;
    }
    case Change::RangeElsewhere:
        QVERIFY(m_pServer->SetFault(QJsonObject{{"on", "files"}, {"rangeshift", 4096}}));
        break;
    case Change::RangeLies:
        QVERIFY(m_pServer->SetFault(
            QJsonObject{{"on", "files"}, {"rangeshift", 4096}, {"rangelie", true}}));
        break;
    case Change::NewContent: {
        QByteArray baChanged = m_baBig;
        baChanged[0] = char(baChanged[0] ^ 0x55);
        QVERIFY(WriteFile(ServerFile(), baChanged));
        break;
    }
    case Change::RecordKeptTooMany:
        joRecord["kept"] = double(kCutAt + 1000);
        QVERIFY(WriteRecord(joRecord));
        break;
    case Change::RecordKeptTooFew:
        joRecord["kept"] = double(kCutAt - 1000);
        QVERIFY(WriteRecord(joRecord));
        break;
    case Change::RecordWrongDigest:
        joRecord["kept_md5"] = Md5("something else");
        QVERIFY(WriteRecord(joRecord));
        break;
    case Change::DataAlteredToMatch: {
        QByteArray baData = ReadFile(sData);
        baData[100] = char(baData[100] ^ 1);
        QVERIFY(WriteFile(sData, baData));
        joRecord["kept_md5"] = Md5(baData);
        QVERIFY(WriteRecord(joRecord));
        break;
    }
    case Change::RecordNotJson:
        QVERIFY(WriteFile(KeptPart::RecordPath(Target()), "{\"kept\": 4026"));
        break;
    case Change::RecordHeaderInjection:
        joRecord["etag"] = "\"x\"\r\nX-Injected: 1";
        QVERIFY(WriteRecord(joRecord));
        break;
    case Change::RecordOtherDigest:
        joRecord["md5"] = Md5("another version");
        QVERIFY(WriteRecord(joRecord));
        break;
    case Change::RecordOtherUrl:
        joRecord["url"] = joRecord.value("url").toString() + "?v=2";
        QVERIFY(WriteRecord(joRecord));
        break;
    case Change::RecordIsFifo:
        QVERIFY(QFile::remove(KeptPart::RecordPath(Target())));
        QCOMPARE(TestTools::RunTool("mkfifo", {KeptPart::RecordPath(Target())}), QString());
        break;
    case Change::DataIsLinkOut: {
        // A plausible part outside the disk: it must never be written to.
        const QString sOutside = m_dir.filePath("outside.bin");
        QVERIFY(QFile::rename(sData, sOutside));
        QVERIFY(QFile::link(sOutside, sData));
        break;
    }
    case Change::DataHasTwoNames: {
        const QString sOther = m_sDisk + "/Diag/Dash/other.bin";
        QCOMPARE(TestTools::RunTool("ln", {sData, sOther}), QString());
        break;
    }
    case Change::Expired:
        for (const QString &sPath : {sData, KeptPart::RecordPath(Target())}) {
            QFile file(sPath);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-8),
                                     QFileDevice::FileModificationTime));
        }
        break;
    }
}

void tst_DownloadResume::fallsBackToTheWholeFile_data()
{
    // What the retry's requests for the large file must look like: how many,
    // whether the first asked for the rest, and whether the last was the
    // whole file.
    QTest::addColumn<Change>("change");
    QTest::addColumn<int>("nRequests");
    QTest::addColumn<bool>("bFirstRanged");
    QTest::newRow("200 instead of 206") << Change::NoRange << 1 << true;
    QTest::newRow("changed validator, If-Range honoured") << Change::Touched << 1 << true;
    QTest::newRow("changed validator, If-Range ignored") << Change::TouchedIgnoreIf << 2 << true;
    QTest::newRow("rest starts elsewhere") << Change::RangeElsewhere << 2 << true;
    QTest::newRow("rest not what it claims: joined digest wrong") << Change::RangeLies << 2 << true;
    QTest::newRow("file changed, new digest") << Change::NewContent << 1 << false;
    QTest::newRow("record: more kept than there is") << Change::RecordKeptTooMany << 1 << false;
    QTest::newRow("record: less kept than there is") << Change::RecordKeptTooFew << 1 << false;
    QTest::newRow("record: wrong digest of the kept bytes")
        << Change::RecordWrongDigest << 1 << false;
    QTest::newRow("kept bytes altered, record made to match")
        << Change::DataAlteredToMatch << 2 << true;
    QTest::newRow("record: not JSON") << Change::RecordNotJson << 1 << false;
    QTest::newRow("record: line break in a validator")
        << Change::RecordHeaderInjection << 1 << false;
    QTest::newRow("record: another digest") << Change::RecordOtherDigest << 1 << false;
    QTest::newRow("record: another URL") << Change::RecordOtherUrl << 1 << false;
    QTest::newRow("record: a FIFO") << Change::RecordIsFifo << 1 << false;
    QTest::newRow("kept data: a link out of the disk") << Change::DataIsLinkOut << 1 << false;
    QTest::newRow("kept data: a second name") << Change::DataHasTwoNames << 1 << false;
    QTest::newRow("kept a week and a day ago") << Change::Expired << 1 << false;
}

void tst_DownloadResume::fallsBackToTheWholeFile()
{
    QFETCH(Change, change);
    QFETCH(int, nRequests);
    QFETCH(bool, bFirstRanged);
    // These make the kept files into what only POSIX file systems have (a device disk's FAT
    // has no hard links either).
    const bool bPosixOnly = change == Change::RecordIsFifo || change == Change::DataIsLinkOut ||
                            change == Change::DataHasTwoNames;
    if (bPosixOnly && !CanMakePosixSpecialFiles())
        QSKIP("no FIFOs or links here");
    BreakOffAndKeep();
    const QByteArray baOutside = ReadFile(KeptPart::DataPath(Target()));
    Apply(change);
    const QByteArray baExpected = ReadFile(ServerFile());
    VerifyRetryCompletes(baExpected);

    const QJsonArray jaBig = BigRequests();
    QCOMPARE(jaBig.size(), nRequests);
    QCOMPARE(!RangeOf(jaBig.first()).isEmpty(), bFirstRanged);
    // The whole file in the end: asked for whole, or sent whole instead of the rest.
    QCOMPARE(RangeOf(jaBig.last()).isEmpty(), !(bFirstRanged && nRequests == 1));
    QCOMPARE(StatusOf(jaBig.last()), 200);
    QCOMPARE(Sent(jaBig.last()), kBigSize);
    for (const QJsonValue &jvRequest : jaBig)
        QVERIFY(!jvRequest.toObject().value("if_range").toString().contains("Injected"));
    // Nothing beside the kept part was written to.
    if (change == Change::DataIsLinkOut)
        QVERIFY(ReadFile(m_dir.filePath("outside.bin")) == baOutside);
    if (change == Change::DataHasTwoNames)
        QVERIFY(ReadFile(m_sDisk + "/Diag/Dash/other.bin") == baOutside);
}

void tst_DownloadResume::smallFilesAreFetchedWhole()
{
    // Below the threshold nothing is kept and nothing is asked for by range.
    QVERIFY(m_pServer->SetFault(QJsonObject{{"on", "files"}, {"match", "a.bin"}, {"cut", 0.6}}));
    DownloadHarness harness(m_sDisk);
    DownloadOutcome outcome = harness.Run();
    QCOMPARE(outcome.nSuccess, 1);
    QCOMPARE(outcome.nErr, 1);
    QVERIFY2(harness.TemporaryFiles().isEmpty(), qPrintable(harness.TemporaryFiles().join(' ')));
    QVERIFY(m_pServer->ClearFaults());
    QVERIFY(m_pServer->ClearRequests());
    outcome = harness.Run();
    QCOMPARE(outcome.nSuccess, 1);
    QCOMPARE(outcome.nErr, 0);
    const QJsonArray jaFiles = m_pServer->Requests("files");
    QCOMPARE(jaFiles.size(), 1);
    QCOMPARE(RangeOf(jaFiles[0]), QString());
    QVERIFY(ReadFile(m_sDisk + "/Diag/Dash/a.bin") == m_baSmall);
}

void tst_DownloadResume::keptPartOfAFileNoLongerFetchedGoes()
{
    // The file came by other means meanwhile: its kept part is of no use.
    BreakOffAndKeep();
    QVERIFY(WriteFile(Target(), m_baBig));
    DownloadHarness harness(m_sDisk);
    const DownloadOutcome outcome = harness.Run();
    QCOMPARE(outcome.nSuccess, -1);
    QVERIFY(BigRequests().isEmpty());
    QVERIFY2(harness.TemporaryFiles().isEmpty(), qPrintable(harness.TemporaryFiles().join(' ')));
}

void tst_DownloadResume::freshFetchAfterAWrongJoinIsNotJoinedAgain()
{
    // The rest does not fit the kept bytes (the joined digest is wrong), and
    // the whole file that follows breaks off too: it is not resumed and joined
    // once more, the working copy stays, and nothing half-received is left.
    BreakOffAndKeep();
    QVERIFY(m_pServer->SetFaults(
        QJsonArray{QJsonObject{{"on", "files"},
                               {"match", "big.bin"},
                               {"rangeshift", 4096},
                               {"rangelie", true},
                               {"times", 1}},
                   QJsonObject{{"on", "files"}, {"match", "big.bin"}, {"cut", 0.3}}}));
    DownloadHarness harness(m_sDisk);
    const DownloadOutcome outcome = harness.Run();
    QVERIFY(outcome.bReturned);
    QCOMPARE(outcome.nFinishCount, 1);
    QCOMPARE(outcome.nErr, 1);
    QVERIFY(!outcome.bManifestSaved);
    QVERIFY(ReadFile(Target()) == m_baOld);
    QVERIFY2(harness.TemporaryFiles().isEmpty(), qPrintable(harness.TemporaryFiles().join(' ')));
    const QJsonArray jaBig = BigRequests();
    QCOMPARE(jaBig.size(), 2);
    QVERIFY(!RangeOf(jaBig[0]).isEmpty());
    QCOMPARE(RangeOf(jaBig[1]), QString());
}

void tst_DownloadResume::otherPackagesLeaveAKeptPartAlone()
{
    // Packages of one batch share folders: neither one that leaves the large
    // file alone nor one that fetches it too takes a young kept part for a
    // leftover; the next run still needs only the rest.
    BreakOffAndKeep();
    LookAsOtherPackage(false);
    LookAsOtherPackage(true);
    QCOMPARE(QFileInfo(KeptPart::DataPath(Target())).size(), kCutAt);
    QVERIFY(QFileInfo::exists(KeptPart::RecordPath(Target())));
    VerifyRetryCompletes(m_baBig);
    const QJsonArray jaBig = BigRequests();
    QCOMPARE(jaBig.size(), 1);
    QCOMPARE(RangeOf(jaBig[0]), QStringLiteral("bytes=%1-").arg(kCutAt));
}

void tst_DownloadResume::otherPackagesLeaveARunningResumeAlone()
{
    // While the retry holds the kept part under a name of its own (the
    // server is slow to answer), other packages look at the folder: the
    // transfer's file stays, and the retry still needs only the rest.
    BreakOffAndKeep();
    QVERIFY(m_pServer->SetFault(
        QJsonObject{{"on", "files"}, {"match", "big.bin"}, {"delay", 1500}, {"times", 1}}));
    const QString sData = KeptPart::DataPath(Target());
    DownloadHarness harness(m_sDisk);
    bool bLooked = false;
    const DownloadOutcome outcome = harness.Run(120000, [&] {
        // Until the kept part has been taken over by the transfer.
        for (int n = 0; n < 2000 && (QFileInfo::exists(sData) ||
                                     QFileInfo::exists(KeptPart::RecordPath(Target())));
             ++n)
            QThread::msleep(2);
        QStringList slOwn = harness.TemporaryFiles();
        QCOMPARE(slOwn.size(), 1);
        for (int n = 0; n < 5; ++n) {
            LookAsOtherPackage(n % 2 == 1);
            QVERIFY(QFileInfo::exists(slOwn.first()));
        }
        bLooked = true;
    });
    QVERIFY(bLooked);
    QVERIFY(outcome.bReturned);
    QCOMPARE(outcome.nErr, 0);
    QVERIFY(ReadFile(Target()) == m_baBig);
    QVERIFY2(harness.TemporaryFiles().isEmpty(), qPrintable(harness.TemporaryFiles().join(' ')));
    const QJsonArray jaBig = BigRequests();
    QCOMPARE(jaBig.size(), 1);
    QCOMPARE(RangeOf(jaBig[0]), QStringLiteral("bytes=%1-").arg(kCutAt));
}

void tst_DownloadResume::keptPartsGoWithTheirPackageOrWithAge()
{
    // Installed, then an update of it breaks off: the kept part lies in the
    // package's folder and goes when the package is uninstalled.
    QVERIFY(DownloadHarness::WritePackage(
        m_sPackages, {{"a.bin", RandomBytes(6, 1000)}, {"big.bin", m_baOld}}, "1.0"));
    DownloadHarness harness(m_sDisk);
    QVERIFY(harness.Run().bManifestSaved);
    QVERIFY(
        DownloadHarness::WritePackage(m_sPackages, {{"a.bin", m_baSmall}, {"big.bin", m_baBig}}));
    BreakOffAndKeep();
    QVERIFY(harness.HasInstalledManifest());
    RemovePackages(m_sDisk, {m_sDisk + "/Diag/Dash"});
    QVERIFY(!QFileInfo::exists(KeptPart::DataPath(Target())));
    QVERIFY(!QFileInfo::exists(KeptPart::RecordPath(Target())));

    // Parts outside any installed package (a package that never got
    // installed): a look at the installed packages removes those older than a
    // week, and leaves young ones for their retry.
    const QString sOldTarget = m_sDisk + "/Diag/Never/old.bin";
    const QString sYoungTarget = m_sDisk + "/Diag/Never/young.bin";
    for (const QString &sTarget : {sOldTarget, sYoungTarget}) {
        QVERIFY(WriteFile(KeptPart::DataPath(sTarget), RandomBytes(3, 2 * 1024 * 1024)));
        QVERIFY(WriteFile(KeptPart::RecordPath(sTarget), "{}"));
    }
    for (const QString &sPath :
         {KeptPart::DataPath(sOldTarget), KeptPart::RecordPath(sOldTarget)}) {
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-8),
                                 QFileDevice::FileModificationTime));
    }
    QVERIFY(ScanInstalledPackages(m_sDisk, [](const QString &) {}));
    QVERIFY(!QFileInfo::exists(KeptPart::DataPath(sOldTarget)));
    QVERIFY(!QFileInfo::exists(KeptPart::RecordPath(sOldTarget)));
    QVERIFY(QFileInfo::exists(KeptPart::DataPath(sYoungTarget)));
    QVERIFY(QFileInfo::exists(KeptPart::RecordPath(sYoungTarget)));
}

QTEST_GUILESS_MAIN(tst_DownloadResume)
#include "tst_DownloadResume.moc"
