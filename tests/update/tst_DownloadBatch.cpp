// The download batch without a window, against the stand-in update server, a
// device-disk folder and the simulated device: what it reports about its
// rows, what it records on the disk, when a batch ends, and when the firmware
// is due.

#include "DeviceSimProcess.h"
#include "TestWidgets.h"
#include "UpdateServerProcess.h"
#include "device/device.h"
#include "net/ServerProtocol.h"
#include "update/DownloadBatch.h"
#include "update/TransferStopFlag.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using TestWidgets::WriteFile;
using State = DownloadBatch::RowState;

namespace
{

const QByteArray kImage = QByteArray("new firmware image ").repeated(600); // 3 blocks

QJsonObject Package(const QString &sDir, const QString &sRev, const QString &sName)
{
    return QJsonObject{{"dir", sDir}, {"rev", sRev}, {"lang_name", sName}};
}

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a batch emitted, in order. Progress is kept apart: how often it comes
// depends on the transfer.
class Recorder : public QObject
{
public:
    explicit Recorder(DownloadBatch *pBatch)
    {
        connect(
            pBatch, &DownloadBatch::RowChanged, this,
            [this](const DownloadBatch::RowReport &report) {
                if (report.state == State::Downloading) {
                    slProgress << QStringLiteral("%1:%2").arg(report.nRowId).arg(report.nPercent);
                    return;
                }
                reports << report;
                slEvents << QStringLiteral("row %1 %2")
                                .arg(report.nRowId)
                                .arg(QString::fromLatin1(
                                    QMetaEnum::fromType<State>().valueToKey(int(report.state))));
            });
        connect(pBatch, &DownloadBatch::BatchEnded, this, [this] { slEvents << "ended"; });
        connect(pBatch, &DownloadBatch::FirmwareDue, this, [this, pBatch](FirmwareUpgradeTask *) {
            slEvents << "firmware due";
            bInstallingAtDue = pBatch->IsFirmwareInstalling();
        });
        connect(pBatch, &DownloadBatch::FirmwareEnded, this,
                [this] { slEvents << "firmware ended"; });
    }

    int Count(const QString &sEvent) const { return slEvents.count(sEvent); }
    const DownloadBatch::RowReport *Last(quint64 nRowId) const
    {
        for (int i = reports.size() - 1; i >= 0; --i) {
            if (reports.at(i).nRowId == nRowId)
                return &reports.at(i);
        }
        return nullptr;
    }

    QList<DownloadBatch::RowReport> reports;
    QStringList slEvents;
    QStringList slProgress;
    bool bInstallingAtDue = false;
};

} // namespace

class tst_DownloadBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rowDownloadsAndIsRecorded();
    void outcomes_data();
    void outcomes();
    void twoPackagesIntoOneRow();
    void downloadNeedsNoTripThroughTheGuiThread();
    void requestsOfOneSendGoInOrder();
    void firmwareDueOnceAfterTheLastDownload();
    void noFirmwareWithoutNewImage();
    void abandonedBatchRecordsNothing();

private:
    QTemporaryDir dir;
    QString sDisk;
    QString sPackages;
    std::unique_ptr<UpdateServerProcess> pServer;
    DeviceSimProcess sim;
    std::unique_ptr<DownloadBatch> pBatch;
    std::unique_ptr<Recorder> pRecorder;

    void AddPackage(const QString &sFolder, const QJsonObject &joPackage,
                    const QMap<QString, QByteArray> &files);
    DownloadRequest Request(quint64 nRowId, const QString &sDir) const;
    // Counts and sends one request per row, the way the one-click button does.
    void Start(const QList<DownloadRequest> &requests);
    void WaitForIdle();
};

void tst_DownloadBatch::initTestCase()
{
    QVERIFY(dir.isValid());
    sDisk = dir.filePath(QStringLiteral("disk"));
    sPackages = dir.filePath(QStringLiteral("packages"));
    pServer = std::make_unique<UpdateServerProcess>(QStringLiteral("127.0.6.20"));
    QDir().mkpath(sPackages);
    pServer->SetPackagesFolder(sPackages);
    QVERIFY2(pServer->Start(), qPrintable(pServer->Output()));
    SetServerAddress(pServer->Address());
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
}

void tst_DownloadBatch::init()
{
    TransferStopFlag = 0;
    QDir(sDisk).removeRecursively();
    QDir(sPackages).removeRecursively();
    QDir().mkpath(sPackages);
    QVERIFY(WriteFile(sDisk + QStringLiteral("/sn.txt"), "D000000000001"));
    pServer->ClearFaults();
    pServer->ClearRequests();
    pBatch = std::make_unique<DownloadBatch>();
    pBatch->SetDeviceSource([this] {
        return DownloadBatch::Device{sDisk, QStringLiteral("D000000000001")};
    });
    pRecorder = std::make_unique<Recorder>(pBatch.get());
}

void tst_DownloadBatch::cleanup()
{
    WaitForIdle();
    pRecorder.reset();
    pBatch.reset();
}

void tst_DownloadBatch::AddPackage(const QString &sFolder, const QJsonObject &joPackage,
                                   const QMap<QString, QByteArray> &files)
{
    const QString sRoot = sPackages + QLatin1Char('/') + sFolder;
    QVERIFY(WriteFile(sRoot + QStringLiteral("/package.json"), QJsonDocument(joPackage).toJson()));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(WriteFile(sRoot + QStringLiteral("/files/") + it.key(), it.value()));
}

DownloadRequest tst_DownloadBatch::Request(quint64 nRowId, const QString &sDir) const
{
    DownloadRequest request;
    request.nRowId = nRowId;
    request.sDir = sDir;
    request.sDevID = QStringLiteral("DEVICE-1");
    request.sSN = QStringLiteral("D000000000001");
    request.sDisk = sDisk;
    return request;
}

void tst_DownloadBatch::Start(const QList<DownloadRequest> &requests)
{
    for (DownloadRequest request : requests) {
        QVERIFY(pBatch->AddRequest(&request));
        pBatch->SendRequests({request});
    }
}

void tst_DownloadBatch::WaitForIdle()
{
    if (!pBatch)
        return;
    QTRY_COMPARE_WITH_TIMEOUT(pBatch->nTaskCount.load(), 0, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!pBatch->IsFirmwareInstalling(), 30000);
}

void tst_DownloadBatch::rowDownloadsAndIsRecorded()
{
    AddPackage("20-engine", Package("Diag/Engine", "2.0", "Engine"),
               {{"a.bin", "engine a"}, {"b.bin", "engine b"}});
    QVERIFY(WriteFile(sDisk + "/Diag/Engine/Update.json", R"({"rev": "1.0"})"));
    DownloadRequest request = Request(7, "Diag/Engine");
    QVERIFY(pBatch->AddRequest(&request));
    // Waiting at once, before anything was sent.
    QCOMPARE(pRecorder->slEvents, QStringList{"row 7 Waiting"});
    QCOMPARE(pRecorder->reports.first().sDir, QStringLiteral("Diag/Engine"));
    QCOMPARE(pBatch->nTaskCount.load(), 1);
    pBatch->SendRequests({request});

    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    QCOMPARE(pRecorder->slEvents, (QStringList{"row 7 Waiting", "row 7 Done", "ended"}));
    const DownloadBatch::RowReport *pDone = pRecorder->Last(7);
    QCOMPARE(pDone->sRev, QStringLiteral("2.0"));
    QCOMPARE(pDone->nSuccess, 2);
    QCOMPARE(pDone->nErr, 0);
    QVERIFY(!pRecorder->slProgress.isEmpty());
    QCOMPARE(pRecorder->slProgress.last(), QStringLiteral("7:100"));
    QCOMPARE(pBatch->nTaskCount.load(), 0);
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/a.bin"), QByteArray("engine a"));
    const QJsonObject joInstalled =
        QJsonDocument::fromJson(ReadFile(sDisk + "/Diag/Engine/Update.json")).object();
    QCOMPARE(joInstalled.value("rev").toString(), QStringLiteral("2.0"));
    QVERIFY(!joInstalled.contains("root"));

    const QJsonObject joData =
        pServer->Requests("downloadlist").last().toObject().value("data").toObject();
    QCOMPARE(joData.value("type").toArray(), QJsonArray{"Engine"});
    QCOMPARE(joData.value("devid").toString(), QStringLiteral("DEVICE-1"));
}

void tst_DownloadBatch::outcomes_data()
{
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<QString>("sRowDir"); // the row asks for this folder
    QTest::addColumn<bool>("bFilesOnDisk");
    QTest::addColumn<int>("nState");
    QTest::addColumn<int>("nSuccess");
    QTest::addColumn<int>("nErr");

    QTest::newRow("complete") << QJsonObject() << "Diag/Engine" << false << int(State::Done) << 3
                              << 0;
    QTest::newRow("nothing to fetch")
        << QJsonObject() << "Diag/Engine" << true << int(State::NoUpdate) << -1 << 0;
    QTest::newRow("one of three fails")
        << QJsonObject{{"on", "files"}, {"match", "c.bin"}, {"status", 404}} << "Diag/Engine"
        << false << int(State::PartlyFailed) << 2 << 1;
    QTest::newRow("all fail") << QJsonObject{{"on", "files"}, {"status", 500}} << "Diag/Engine"
                              << false << int(State::Failed) << 0 << 3;
    QTest::newRow("unusable reply") << QJsonObject{{"on", "downloadlist"}, {"notjson", true}}
                                    << "Diag/Engine" << false << int(State::BadReply) << 0 << 0;
    QTest::newRow("empty list") << QJsonObject{{"on", "downloadlist"}, {"body", R"({"list": []})"}}
                                << "Diag/Engine" << false << int(State::BadReply) << 0 << 0;
    // The folder's last part is asked for: the server may spell the rest otherwise.
    QTest::newRow("the row's folder name below another parent")
        << QJsonObject() << "Other/Engine" << false << int(State::Done) << 3 << 0;
    QTest::newRow("no package of the row's folder name")
        << QJsonObject{{"on", "downloadlist"},
                       {"body", R"({"root": "x", "list": [{"dir": "Diag/Brake"}]})"}}
        << "Diag/Engine" << false << int(State::Ready) << 0 << 0;
}

void tst_DownloadBatch::outcomes()
{
    QFETCH(QJsonObject, joFault);
    QFETCH(QString, sRowDir);
    QFETCH(bool, bFilesOnDisk);
    QFETCH(int, nState);
    QFETCH(int, nSuccess);
    QFETCH(int, nErr);
    const QMap<QString, QByteArray> files{{"a.bin", "a"}, {"b.bin", "b"}, {"c.bin", "c"}};
    AddPackage("20-engine", Package("Diag/Engine", "2.0", "Engine"), files);
    if (bFilesOnDisk) {
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(WriteFile(sDisk + "/Diag/Engine/" + it.key(), it.value()));
    }
    QVERIFY(pServer->SetFault(joFault));

    Start({Request(1, sRowDir)});
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    const DownloadBatch::RowReport *pLast = pRecorder->Last(1);
    QCOMPARE(int(pLast->state), nState);
    QCOMPARE(pLast->nSuccess, nSuccess);
    QCOMPARE(pLast->nErr, nErr);
    QCOMPARE(pRecorder->slEvents.last(), QStringLiteral("ended"));
    QCOMPARE(pBatch->nTaskCount.load(), 0);
    // Only a complete download is recorded.
    QCOMPARE(QFile::exists(sDisk + "/Diag/Engine/Update.json"), nState == int(State::Done));
    QCOMPARE(pRecorder->Count("firmware due"), 0);
}

void tst_DownloadBatch::twoPackagesIntoOneRow()
{
    AddPackage("20-engine-a", Package("Diag/Engine", "2.0", "Engine"), {{"x.bin", "first"}});
    AddPackage("21-engine-b", Package("Diag/Engine", "1.0", "Engine B"), {{"y.bin", "second"}});
    Start({Request(3, "Diag/Engine")});
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    QCOMPARE(pRecorder->Count("row 3 Done"), 2);
    QCOMPARE(pRecorder->slEvents.last(), QStringLiteral("ended"));
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/x.bin"), QByteArray("first"));
    QCOMPARE(ReadFile(sDisk + "/Diag/Engine/y.bin"), QByteArray("second"));
    QCOMPARE(pServer->Requests("downloadlist").size(), 1);
}

// From the request to the file, everything happens on the pool: the files are
// fetched while the GUI thread handles no event at all.
void tst_DownloadBatch::downloadNeedsNoTripThroughTheGuiThread()
{
    AddPackage("20-engine", Package("Diag/Engine", "2.0", "Engine"), {{"a.bin", "engine a"}});
    Start({Request(4, "Diag/Engine")});
    QDeadlineTimer deadline(20000);
    while (pServer->Requests("files").isEmpty() && !deadline.hasExpired())
        QThread::msleep(20);
    QCOMPARE(pServer->Requests("files").size(), 1);
    QCOMPARE(pRecorder->slEvents, QStringList{"row 4 Waiting"});
    // The outcome comes back by the one trip to the GUI thread.
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    QCOMPARE(pRecorder->Count("row 4 Done"), 1);
}

void tst_DownloadBatch::requestsOfOneSendGoInOrder()
{
    AddPackage("10-home", Package("Home", "V1.3", "main"), {{"MAIN.bin", kImage}});
    AddPackage("20-engine", Package("Diag/Engine", "2.0", "Engine"), {{"a.bin", "a"}});
    // The first request is answered late; the second waits for it.
    QVERIFY(pServer->SetFault(QJsonObject{{"on", "downloadlist"}, {"delay", 500}, {"times", 1}}));
    DownloadRequest engine = Request(1, "Diag/Engine");
    DownloadRequest home = Request(2, "Home");
    QVERIFY(pBatch->AddRequest(&engine));
    QVERIFY(pBatch->AddRequest(&home));
    QCOMPARE(engine.nGeneration, home.nGeneration);
    pBatch->SendRequests({engine, home});
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    const QJsonArray jaLists = pServer->Requests("downloadlist");
    QCOMPARE(jaLists.size(), 2);
    QCOMPARE(jaLists.at(0).toObject().value("data").toObject().value("type").toArray(),
             QJsonArray{"Engine"});
    QVERIFY(jaLists.at(1).toObject().value("time").toDouble() -
                jaLists.at(0).toObject().value("time").toDouble() >=
            500);
}

void tst_DownloadBatch::firmwareDueOnceAfterTheLastDownload()
{
    AddPackage("10-home", Package("Home", "V1.3", "main"), {{"MAIN.bin", kImage}});
    AddPackage("20-engine", Package("Diag/Engine", "2.0", "Engine"), {{"a.bin", "slow file"}});
    // The main program arrives first; the firmware waits for the engine package.
    QVERIFY(pServer->SetFault(QJsonObject{{"on", "files"}, {"match", "Engine"}, {"delay", 1000}}));
    // Nothing joins while the image is written.
    bool bJoinedWhileFlashing = true;
    connect(pBatch.get(), &DownloadBatch::FirmwareDue, this, [this, &bJoinedWhileFlashing] {
        DownloadRequest refused = Request(9, "Diag/Engine");
        bJoinedWhileFlashing = pBatch->AddRequest(&refused);
    });
    Start({Request(1, "Home"), Request(2, "Diag/Engine")});
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    const int nDue = pRecorder->slEvents.indexOf("firmware due");
    QVERIFY2(nDue > pRecorder->slEvents.indexOf("row 1 Done") &&
                 nDue > pRecorder->slEvents.indexOf("row 2 Done") &&
                 nDue < pRecorder->slEvents.indexOf("ended"),
             qPrintable(pRecorder->slEvents.join(", ")));
    QVERIFY(pRecorder->bInstallingAtDue);
    QVERIFY(!bJoinedWhileFlashing);
    QCOMPARE(pRecorder->Count("row 9 Waiting"), 0);
    QCOMPARE(pBatch->nTaskCount.load(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("firmware ended"), 1, 30000);
    QVERIFY(!pBatch->IsFirmwareInstalling());
    QCOMPARE(pRecorder->Count("firmware due"), 1);
    QCOMPARE(sim.FlashedImage(), kImage);
}

void tst_DownloadBatch::noFirmwareWithoutNewImage()
{
    // MAIN.bin failed: nothing complete came down, nothing is flashed.
    AddPackage("10-home", Package("Home", "V1.3", "main"), {{"MAIN.bin", kImage}});
    QVERIFY(pServer->SetFault(QJsonObject{{"on", "files"}, {"status", 404}}));
    Start({Request(1, "Home")});
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    QCOMPARE(pRecorder->Count("row 1 Failed"), 1);
    QCOMPARE(pRecorder->Count("firmware due"), 0);
    QVERIFY(!pBatch->IsFirmwareInstalling());
}

void tst_DownloadBatch::abandonedBatchRecordsNothing()
{
    AddPackage("10-home", Package("Home", "V1.3", "main"), {{"MAIN.bin", kImage}});
    AddPackage("20-engine", Package("Diag/Engine", "2.0", "Engine"), {{"a.bin", "engine"}});
    QVERIFY(pServer->SetFaults(
        QJsonArray{QJsonObject{{"on", "files"}, {"match", "MAIN.bin"}, {"delay", 1000}},
                   QJsonObject{{"on", "files"}, {"match", "Engine"}, {"delay", 2000}}}));

    // Batch one: the main program, abandoned while its file is on its way.
    Start({Request(1, "Home")});
    QTRY_COMPARE_WITH_TIMEOUT(pServer->Requests("files").size(), 1, 20000);
    pBatch->Abandon();
    QCOMPARE(pBatch->nTaskCount.load(), 0);

    // Batch two: the engine package.
    Start({Request(2, "Diag/Engine")});
    QCOMPARE(pBatch->nTaskCount.load(), 1);

    // The abandoned download ends late: its row may be asked for again, it
    // claims no success (the disk may be another by now), and nothing else moves.
    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("row 1 Ready"), 1, 20000);
    QCOMPARE(pRecorder->Count("row 1 Done"), 0);
    QCOMPARE(pRecorder->Count("ended"), 0);
    QVERIFY(pBatch->nTaskCount.load() >= 1);
    QVERIFY(!QFile::exists(sDisk + "/Home/Update.json"));

    QTRY_COMPARE_WITH_TIMEOUT(pRecorder->Count("ended"), 1, 20000);
    QCOMPARE(pRecorder->Count("row 2 Done"), 1);
    QVERIFY(QFile::exists(sDisk + "/Diag/Engine/Update.json"));
    // The abandoned batch's firmware is not installed.
    QCOMPARE(pRecorder->Count("firmware due"), 0);
}

QTEST_GUILESS_MAIN(tst_DownloadBatch)
#include "tst_DownloadBatch.moc"
