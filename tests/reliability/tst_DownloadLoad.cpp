// Ten packages of 200 files each downloading at once on the application's
// ten pool workers against the stand-in server, while the GUI thread keeps
// switching the interface language. Every package completes, every progress
// reaches 100, the batch counter returns to 0 exactly once and the firmware
// installation is started exactly once.
#include "TestWidgets.h"
#include "UpdateServerProcess.h"

#include "app/Language.h"
#include "app/Settings.h"
#include "base/FileUtils.h"
#include "base/ThreadPool.h"
#include "net/HttpPost.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"
#include "update/DownloadRequest.h"
#include "update/TaskCounter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <memory>
#include <vector>

namespace
{
const int kPackages = 10;
const int kFilesEach = 200;

QString PackageDir(int n)
{
    return n == 0 ? QStringLiteral("Home") : QStringLiteral("Diag/P%1").arg(n);
}

QString FileName(int nPackage, int nFile)
{
    if (nPackage == 0 && nFile == 0)
        return QStringLiteral("MAIN.bin");
    return QStringLiteral("d%1/f%2.bin").arg(nFile % 7).arg(nFile, 3, 10, QLatin1Char('0'));
}

QByteArray FileContent(int nPackage, int nFile)
{
    QByteArray ba(500 + (nFile * 37) % 1500, char('a' + nPackage));
    for (int i = 0; i < ba.size(); i += 11)
        ba[i] = char(nFile + i);
    return ba;
}

struct PackageResult {
    int nFinish = 0;
    int nSuccess = -2;
    int nErr = 0;
    bool bNeedInstall = false;
    int nMaxProgress = -1;
    bool bRequestFailed = false;
};
} // namespace

class tst_DownloadLoad : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> pDir;
    std::unique_ptr<UpdateServerProcess> pServer;
    QString sPrevious;

private slots:
    void initTestCase()
    {
        pDir = std::make_unique<QTemporaryDir>();
        QVERIFY(pDir->isValid());
        // The language switch writes "config.ini" into the working folder.
        sPrevious = QDir::currentPath();
        QVERIFY(QDir::setCurrent(pDir->path()));
        const QString sPackages = pDir->filePath("packages");
        for (int n = 0; n < kPackages; ++n) {
            const QString sFolder = QStringLiteral("%1/%2-p%3").arg(sPackages).arg(10 + n).arg(n);
            QJsonObject joInfo{{"dir", PackageDir(n)}, {"rev", "1.0"}, {"EN_name", "p"}};
            if (n == 0)
                joInfo.insert("mandatory", true);
            else
                joInfo.insert("branch", QStringLiteral("p%1").arg(n));
            QVERIFY(QDir().mkpath(sFolder + "/files"));
            QFile info(sFolder + "/package.json");
            QVERIFY(info.open(QIODevice::WriteOnly));
            info.write(QJsonDocument(joInfo).toJson());
            for (int f = 0; f < kFilesEach; ++f)
                QVERIFY(TestWidgets::WriteFile(sFolder + "/files/" + FileName(n, f),
                                               FileContent(n, f)));
        }
        pServer = std::make_unique<UpdateServerProcess>(QStringLiteral("127.0.11.3"));
        pServer->SetPackagesFolder(sPackages);
        QVERIFY2(pServer->Start(), qPrintable(pServer->Output()));
        SetServerAddress(pServer->Address());
    }

    void cleanupTestCase()
    {
        StoreLanguageSetting(0);
        ApplyStoredLanguage();
        pServer.reset();
        QDir::setCurrent(sPrevious);
        pDir.reset();
    }

    void tenPackagesAtOnce()
    {
        const QString sDisk = pDir->filePath("disk");
        QVERIFY(QDir().mkpath(sDisk));
        QObject receiver; // the main window's side: signals arrive queued here
        QList<PackageResult> results;
        for (int n = 0; n < kPackages; ++n)
            results << PackageResult();
        TaskCounter counter;
        std::atomic<int> nBatchEnds{0};
        std::atomic<bool> bNeedInstall{false};
        int nFirmwareStarts = 0;

        // As the one-click download does: every row joins the batch first.
        QList<quint64> generations;
        for (int n = 0; n < kPackages; ++n)
            generations << counter.Add();
        std::vector<std::future<void>> futures;
        for (int n = 0; n < kPackages; ++n) {
            futures.push_back(AppThreadPool().enqueue([&, n] {
                DownloadRequest request;
                request.sDir = PackageDir(n);
                request.sBranch = n == 0 ? QString() : QStringLiteral("p%1").arg(n);
                request.sSN = QStringLiteral("D1234567890AB");
                request.sDevID = QStringLiteral("4B58");
                request.sDisk = sDisk;
                const CommandReply reply =
                    SendSealedCommand(CommandDownloadList, DownloadRequestData(request));
                bool bUsable = false;
                const QList<QJsonObject> packages =
                    RowPackages(reply.joReply, reply.bParsed, request, &bUsable);
                if (packages.size() == 1) {
                    DiffDownload download;
                    download.SetSavePath(sDisk);
                    download.SetPackageJson(packages.first());
                    QObject::connect(
                        &download, &DiffDownload::Progress, &receiver, [&results, n](int nPercent) {
                            results[n].nMaxProgress = qMax(results[n].nMaxProgress, nPercent);
                        });
                    QObject::connect(&download, &DiffDownload::DownloadFinish, &receiver,
                                     [&results, n](int nSuccess, int nErr, bool bInstall) {
                                         ++results[n].nFinish;
                                         results[n].nSuccess = nSuccess;
                                         results[n].nErr = nErr;
                                         results[n].bNeedInstall = bInstall;
                                     });
                    // The worker's own view of the end decides the firmware start.
                    QObject::connect(
                        &download, &DiffDownload::DownloadFinish, &download,
                        [&bNeedInstall](int, int, bool bInstall) {
                            if (bInstall)
                                bNeedInstall = true;
                        },
                        Qt::DirectConnection);
                    download.StartDownload();
                } else {
                    QMetaObject::invokeMethod(&receiver,
                                              [&results, n] { results[n].bRequestFailed = true; });
                }
                if (counter.Done(generations.at(n))) {
                    ++nBatchEnds;
                    if (bNeedInstall) {
                        QMetaObject::invokeMethod(&receiver,
                                                  [&nFirmwareStarts] { ++nFirmwareStarts; });
                    }
                }
            }));
        }

        // Meanwhile the user keeps changing the language.
        QElapsedTimer timer;
        timer.start();
        int nSwitch = 0;
        auto allDone = [&] {
            for (auto &future : futures) {
                if (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                    return false;
            }
            return true;
        };
        while (!allDone() && timer.elapsed() < 600000) {
            StoreLanguageSetting(nSwitch++ % 3);
            ApplyStoredLanguage();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        QVERIFY2(allDone(), "the downloads did not end");
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        qInfo("%d packages x %d files in %lld ms, %d language switches", kPackages, kFilesEach,
              timer.elapsed(), nSwitch);

        for (int n = 0; n < kPackages; ++n) {
            const PackageResult &result = results.at(n);
            QVERIFY2(!result.bRequestFailed, qPrintable(PackageDir(n)));
            QCOMPARE(result.nFinish, 1);
            QCOMPARE(result.nSuccess, kFilesEach);
            QCOMPARE(result.nErr, 0);
            QCOMPARE(result.bNeedInstall, n == 0);
            QCOMPARE(result.nMaxProgress, 100);
        }
        QCOMPARE(nBatchEnds.load(), 1);
        QCOMPARE(counter.load(), 0);
        QCOMPARE(nFirmwareStarts, 1);
        for (int n = 0; n < kPackages; ++n) {
            for (int f = 0; f < kFilesEach; f += 13) {
                QFile file(sDisk + "/" + PackageDir(n) + "/" + FileName(n, f));
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), FileContent(n, f));
            }
        }
    }
};

QTEST_MAIN(tst_DownloadLoad)
#include "tst_DownloadLoad.moc"
