// Faults of the server, the device disk and the process during a package
// download, against the stand-in update server. Whatever happens: the
// download returns and reports its end once, every file on the disk is the
// old copy or the new verified one, no temporary file survives the next run,
// and the next download completes the package.
#include "DownloadHarness.h"
#include "TestTools.h"
#include "TestWidgets.h"
#include "UpdateServerProcess.h"

#include "net/HttpPost.h"
#include "net/ServerProtocol.h"
#include "update/TransferStopFlag.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <memory>

namespace
{
const char kAddress[] = "127.0.11.1";
const char kChildDisk[] = "UA_FAULT_CHILD_DISK";

QByteArray Content(char c, int nSize)
{
    QByteArray ba(nSize, c);
    for (int i = 0; i < nSize; i += 97)
        ba[i] = char(i / 97);
    return ba;
}

// Sorted by URL: c.bin is fetched first, then sub/a.bin, sub/b.bin.
QMap<QString, QByteArray> NewFiles()
{
    return {{"c.bin", Content('c', 200000)},
            {"sub/a.bin", Content('a', 64000)},
            {"sub/b.bin", Content('b', 64000)}};
}
QMap<QString, QByteArray> OldFiles()
{
    return {{"c.bin", Content('C', 150000)}, {"sub/a.bin", Content('A', 1000)}};
}
} // namespace

class tst_DownloadFaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> pDir;
    std::unique_ptr<UpdateServerProcess> pServer;
    QString sDisk;
    QString sPackages;

    void WriteOldCopies()
    {
        const QMap<QString, QByteArray> files = OldFiles();
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QVERIFY(TestWidgets::WriteFile(
                sDisk + "/" + DownloadHarness::PackageDir() + "/" + it.key(), it.value()));
        }
    }

    // The next run, with a well-behaved server, completes the package.
    void VerifyNextRunCompletes(int nExpectedFetched)
    {
        QVERIFY(pServer->ClearFaults());
        DownloadHarness harness(sDisk);
        const DownloadOutcome outcome = harness.Run();
        QVERIFY(outcome.bReturned);
        QCOMPARE(outcome.nFinishCount, 1);
        QCOMPARE(outcome.nErr, 0);
        QCOMPARE(outcome.nSuccess, nExpectedFetched);
        QVERIFY(outcome.bManifestSaved);
        QString sWhy;
        QVERIFY2(harness.OnlyOldOrNew({}, NewFiles(), &sWhy), qPrintable(sWhy));
        QVERIFY2(harness.TemporaryFiles().isEmpty(),
                 qPrintable(harness.TemporaryFiles().join(' ')));
        for (const QString &sName : NewFiles().keys())
            QVERIFY(QFile::exists(sDisk + "/" + DownloadHarness::PackageDir() + "/" + sName));
    }

    void VerifyFailedRun(const DownloadOutcome &outcome, int nMinErrors)
    {
        QVERIFY(outcome.bUsable);
        QVERIFY2(outcome.bReturned, "the download hung");
        QCOMPARE(outcome.nFinishCount, 1);
        QVERIFY2(outcome.nErr >= nMinErrors, qPrintable(QString::number(outcome.nErr)));
        QCOMPARE(outcome.nSuccess + outcome.nErr, NewFiles().size());
        QVERIFY(!outcome.bManifestSaved);
        DownloadHarness harness(sDisk);
        QString sWhy;
        QVERIFY2(harness.OnlyOldOrNew(OldFiles(), NewFiles(), &sWhy), qPrintable(sWhy));
    }

private slots:
    void initTestCase()
    {
        TransferTimeouts timeouts;
        timeouts.nConnectMs = 5000;
        timeouts.nLowSpeedSeconds = 2; // a trickle below 1 byte/s fails within seconds
        SetTransferTimeouts(timeouts);
    }

    void init()
    {
        pDir = std::make_unique<QTemporaryDir>();
        QVERIFY(pDir->isValid());
        sDisk = pDir->filePath("disk");
        sPackages = pDir->filePath("packages");
        QVERIFY(QDir().mkpath(sDisk));
        QVERIFY(DownloadHarness::WritePackage(sPackages, NewFiles()));
        WriteOldCopies();
        pServer = std::make_unique<UpdateServerProcess>(QString::fromLatin1(kAddress));
        pServer->SetPackagesFolder(sPackages);
        QVERIFY2(pServer->Start(), qPrintable(pServer->Output()));
        SetServerAddress(pServer->Address());
        TransferStopFlag = 0;
    }

    void cleanup()
    {
        TransferStopFlag = 0;
        pServer.reset();
        pDir.reset();
    }

    void serverFault_data()
    {
        QTest::addColumn<QJsonObject>("joFault");
        QTest::newRow("connection dropped in the middle of a file")
            << QJsonObject{{"on", "files"}, {"reset", true}, {"times", 1}};
        QTest::newRow("status 500") << QJsonObject{{"on", "files"}, {"status", 500}, {"times", 1}};
        QTest::newRow("status 404 for one file")
            << QJsonObject{{"on", "files"}, {"status", 404}, {"match", "sub/a.bin"}};
        QTest::newRow("trickle below the low-speed limit")
            << QJsonObject{{"on", "files"}, {"trickle", 1500}, {"times", 1}};
    }

    void serverFault()
    {
        QFETCH(QJsonObject, joFault);
        QVERIFY(pServer->SetFault(joFault));
        const DownloadOutcome outcome = DownloadHarness(sDisk).Run();
        VerifyFailedRun(outcome, 1);
        QCOMPARE(outcome.nErr, 1);
        // Only the failed file differs from the manifest now.
        VerifyNextRunCompletes(1);
    }

    void bodyWithWrongDigest()
    {
        // The manifest is made, then the server's copy changes: the body that
        // arrives is not the one the manifest describes.
        QVERIFY(pServer->SetFault(QJsonObject{{"on", "files"}, {"delay", 500}, {"match", "sub/"}}));
        DownloadHarness harness(sDisk);
        const DownloadOutcome outcome = harness.Run(120000, [this] {
            QMap<QString, QByteArray> changed = NewFiles();
            changed["sub/a.bin"] = Content('x', 64000);
            changed["sub/b.bin"] = Content('y', 64000);
            DownloadHarness::WritePackage(sPackages, changed);
        });
        QVERIFY(outcome.bReturned);
        QCOMPARE(outcome.nFinishCount, 1);
        QVERIFY(outcome.nErr >= 2);
        QString sWhy;
        QVERIFY2(harness.OnlyOldOrNew(OldFiles(), NewFiles(), &sWhy), qPrintable(sWhy));
        QVERIFY(DownloadHarness::WritePackage(sPackages, NewFiles()));
        VerifyNextRunCompletes(outcome.nErr);
    }

    void serverDisappearsDuringBatch()
    {
        QVERIFY(pServer->SetFault(QJsonObject{{"on", "files"}, {"delay", 300}}));
        const DownloadOutcome outcome =
            DownloadHarness(sDisk).Run(120000, [this] { pServer->Stop(); });
        VerifyFailedRun(outcome, 1);
        QVERIFY2(pServer->Start(), qPrintable(pServer->Output()));
        VerifyNextRunCompletes(outcome.nErr);
    }

    void diskRemovedDuringDownload()
    {
        QVERIFY(
            pServer->SetFault(QJsonObject{{"on", "files"}, {"trickle", 5}, {"match", "c.bin"}}));
        const QString sGone = pDir->filePath("disk-removed");
        const DownloadOutcome outcome = DownloadHarness(sDisk).Run(120000, [&] {
            // What the main window does when the current disk goes away.
            TransferStopFlag = 1;
            QVERIFY(QDir().rename(sDisk, sGone));
        });
        TransferStopFlag = 0;
        QVERIFY(outcome.bReturned);
        QCOMPARE(outcome.nFinishCount, 1);
        QCOMPARE(outcome.nSuccess, 0);
        QCOMPARE(outcome.nErr, NewFiles().size());
        // The mount point may come back empty while the disk is away; nothing
        // may have been left in it.
        if (QFile::exists(sDisk)) {
            QDirIterator it(sDisk, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            QVERIFY2(!it.hasNext(), qPrintable(it.hasNext() ? it.next() : QString()));
            QVERIFY(QDir(sDisk).removeRecursively());
        }
        // Plugged in again.
        QVERIFY(QDir().rename(sGone, sDisk));
        QString sWhy;
        QVERIFY2(DownloadHarness(sDisk).OnlyOldOrNew(OldFiles(), NewFiles(), &sWhy),
                 qPrintable(sWhy));
        VerifyNextRunCompletes(NewFiles().size());
    }

    void tricklingFileIsDropped()
    {
        // Five bytes a second pass the 1 byte/s test but would hold the file
        // for hours: a file must bring 1 KiB within each period (60 s in the
        // program, 3 s here).
        const TransferTimeouts saved = CurrentTransferTimeouts();
        TransferTimeouts timeouts = saved;
        timeouts.nFileWindowSeconds = 3;
        SetTransferTimeouts(timeouts);
        QVERIFY(pServer->SetFault(
            QJsonObject{{"on", "files"}, {"trickle", 200}, {"match", "c.bin"}, {"times", 1}}));
        const DownloadOutcome outcome = DownloadHarness(sDisk).Run();
        SetTransferTimeouts(saved);
        VerifyFailedRun(outcome, 1);
        QCOMPARE(outcome.nErr, 1);
        VerifyNextRunCompletes(1);
    }

    void gopherRootReachesNoOtherService()
    {
        // A download list whose "root" names another protocol: the program
        // would send the server's words to a local service of its choosing.
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress(QString::fromLatin1(kAddress)), 0));
        const QString sRoot = QStringLiteral("gopher://%1:%2/_")
                                  .arg(QString::fromLatin1(kAddress))
                                  .arg(service.serverPort()) +
                              QStringLiteral("SET%20key%20x%0D%0A");
        QVERIFY(pServer->SetFault(QJsonObject{{"on", "downloadlist"}, {"root", sRoot}}));
        const DownloadOutcome outcome = DownloadHarness(sDisk).Run();
        VerifyFailedRun(outcome, NewFiles().size());
        // The harness runs the event loop: a connection may have been taken already.
        QVERIFY(!service.hasPendingConnections() && !service.waitForNewConnection(100));
        VerifyNextRunCompletes(NewFiles().size());
    }

    void diskUnmountedDuringDownload_data()
    {
        QTest::addColumn<bool>("bStopFlag");      // the window noticed: the flag is up for 300 ms
        QTest::addColumn<bool>("bFolderRemoved"); // the mount point went with the disk
        QTest::newRow("mount point stays") << true << false;
        QTest::newRow("mount point removed") << true << true;
        QTest::newRow("not noticed by the window") << false << false;
    }

    void diskUnmountedDuringDownload()
    {
        // A real volume goes away while its first file comes in. Nothing may
        // land on the computer's own disk in its place (not even a folder),
        // the mount point is never made again, and the rest of the run fails
        // for good, also once the stop flag is down again.
        QFETCH(bool, bStopFlag);
        QFETCH(bool, bFolderRemoved);
        const QString sVolume = pDir->filePath("volume");
        QVERIFY(QDir().mkpath(sVolume));
        const QString sError =
            TestTools::RunTool("mount", {"-t", "tmpfs", "-o", "size=4m", "tmpfs", sVolume});
        if (!sError.isEmpty())
            QSKIP(qPrintable("cannot mount a tmpfs: " + sError));
        QVERIFY(
            pServer->SetFault(QJsonObject{{"on", "files"}, {"trickle", 5}, {"match", "c.bin"}}));
        QString sProblem;
        const DownloadOutcome outcome = DownloadHarness(sVolume).Run(120000, [&] {
            // Gone first (lazily: the half-received file is still open on
            // it), then the window hears of it, as on a real system.
            sProblem = TestTools::RunTool("umount", {"-l", sVolume});
            if (bFolderRemoved && !QDir().rmdir(sVolume))
                sProblem += " cannot remove the mount point";
            if (bStopFlag) {
                TransferStopFlag = 1;
                QThread::msleep(300);
                TransferStopFlag = 0;
            }
        });
        TransferStopFlag = 0;
        QVERIFY2(sProblem.isEmpty(), qPrintable(sProblem));
        QVERIFY2(outcome.bReturned, "the download hung");
        QCOMPARE(outcome.nFinishCount, 1);
        QCOMPARE(outcome.nSuccess, 0);
        QCOMPARE(outcome.nErr, NewFiles().size());
        QVERIFY(!outcome.bManifestSaved);
        if (bFolderRemoved) {
            QVERIFY(!QFileInfo::exists(sVolume));
            return;
        }
        const QStringList slLeft =
            QDir(sVolume).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(slLeft.isEmpty(), qPrintable(slLeft.join(' ')));
    }

    void processKilledDuringDownload()
    {
        QVERIFY(
            pServer->SetFault(QJsonObject{{"on", "files"}, {"trickle", 5}, {"match", "c.bin"}}));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildDisk), sDisk);
        env.insert("UPDATEASSIST_SERVER", pServer->Address());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForStarted());
        DownloadHarness harness(sDisk);
        // Killed while the first file is coming in: some of it has arrived.
        const auto nReceived = [&harness] {
            qint64 nBytes = 0;
            for (const QString &sPath : harness.TemporaryFiles())
                nBytes += QFileInfo(sPath).size();
            return nBytes;
        };
        QTRY_VERIFY_WITH_TIMEOUT(nReceived() > 0, 60000);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QString sWhy;
        QVERIFY2(harness.OnlyOldOrNew(OldFiles(), NewFiles(), &sWhy), qPrintable(sWhy));
        // Started again: the leftover goes, the package completes.
        VerifyNextRunCompletes(NewFiles().size());
    }
};

// The child of processKilledDuringDownload: one download, then it would end.
static int RunChildDownload(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SetServerAddress(qEnvironmentVariable("UPDATEASSIST_SERVER"));
    DownloadHarness(qEnvironmentVariable(kChildDisk)).Run();
    return 0;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(kChildDisk))
        return RunChildDownload(argc, argv);
    QApplication app(argc, argv);
    tst_DownloadFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_DownloadFaults.moc"
