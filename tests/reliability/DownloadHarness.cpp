#include "DownloadHarness.h"

#include "DownloadTemporaries.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"
#include "update/InstalledManifest.h"
#include "update/TransferStopFlag.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QtConcurrent>
#include <atomic>
#include <memory>

DownloadHarness::DownloadHarness(const QString &sDisk) : m_sDisk(sDisk) {}

DownloadRequest DownloadHarness::Request(const QString &sDisk)
{
    DownloadRequest request;
    request.sDir = PackageDir();
    request.sBranch = QStringLiteral("dash");
    request.sDevID = QStringLiteral("4B58353230000000000001");
    request.sSN = QStringLiteral("D1234567890AB");
    request.sDisk = sDisk;
    return request;
}

bool DownloadHarness::WritePackage(const QString &sPackages, const QMap<QString, QByteArray> &files,
                                   const QString &sRev)
{
    const QString sFolder = sPackages + QStringLiteral("/20-dash");
    QDir(sFolder + QStringLiteral("/files")).removeRecursively();
    const QJsonObject joInfo{{"dir", PackageDir()}, {"rev", sRev},
                             {"branch", "dash"},    {"CN_name", QStringLiteral("大众")},
                             {"EN_name", "VW"},     {"lang_name", "VW"}};
    if (!QDir().mkpath(sFolder + QStringLiteral("/files")))
        return false;
    QFile info(sFolder + QStringLiteral("/package.json"));
    if (!info.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    info.write(QJsonDocument(joInfo).toJson());
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString sPath = sFolder + QStringLiteral("/files/") + it.key();
        QDir().mkpath(QFileInfo(sPath).absolutePath());
        QFile file(sPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}

DownloadOutcome DownloadHarness::Run(int nTimeoutMs, const std::function<void()> &onStarted)
{
    DownloadOutcome outcome;
    const DownloadRequest request = Request(m_sDisk);
    const CommandReply reply = SendSealedCommand(CommandDownloadList, DownloadRequestData(request));
    const QList<QJsonObject> packages =
        RowPackages(reply.joReply, reply.bParsed, request, &outcome.bUsable);
    outcome.nPackages = packages.size();
    if (!outcome.bUsable || packages.isEmpty())
        return outcome;
    const QJsonObject joPackage = packages.first();

    auto pDownload = std::make_unique<DiffDownload>();
    pDownload->SetSavePath(m_sDisk);
    pDownload->SetPackageJson(joPackage);
    QMutex mutex;
    std::atomic<bool> bProgress{false};
    QObject::connect(
        pDownload.get(), &DiffDownload::DownloadFinish, pDownload.get(),
        [&](int nSuccess, int nErr, bool bNeedInstall) {
            QMutexLocker lock(&mutex);
            ++outcome.nFinishCount;
            outcome.nSuccess = nSuccess;
            outcome.nErr = nErr;
            outcome.bNeedInstall = bNeedInstall;
        },
        Qt::DirectConnection);
    QObject::connect(
        pDownload.get(), &DiffDownload::Progress, pDownload.get(),
        [&](int nPercent) {
            QMutexLocker lock(&mutex);
            outcome.nLastProgress = nPercent;
            bProgress = true;
        },
        Qt::DirectConnection);

    DiffDownload *pWorker = pDownload.get();
    QFuture<void> future = QtConcurrent::run([pWorker] { pWorker->StartDownload(); });
    QElapsedTimer timer;
    timer.start();
    bool bStartedReported = !onStarted;
    while (!future.isFinished() && timer.elapsed() < nTimeoutMs) {
        if (!bStartedReported && (bProgress || !TemporaryFiles().isEmpty())) {
            bStartedReported = true;
            onStarted();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    outcome.bReturned = future.isFinished();
    if (!outcome.bReturned) {
        // Hung: pull the plug so that the worker can end before the object goes.
        TransferStopFlag = 1;
        future.waitForFinished();
        TransferStopFlag = 0;
    }
    // As the download flow does once the worker has returned; reports the end
    // if nothing did yet.
    pDownload.reset();
    QMutexLocker lock(&mutex);
    if (outcome.nFinishCount == 1 && outcome.nErr == 0 && outcome.nSuccess != -1)
        outcome.bManifestSaved = InstalledManifest::Save(m_sDisk, joPackage, request.sLang);
    return outcome;
}

bool DownloadHarness::OnlyOldOrNew(const QMap<QString, QByteArray> &oldFiles,
                                   const QMap<QString, QByteArray> &newFiles, QString *psWhy) const
{
    const QString sBase = m_sDisk + QLatin1Char('/') + PackageDir() + QLatin1Char('/');
    QDirIterator it(m_sDisk + QLatin1Char('/') + PackageDir(), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString sPath = it.next();
        const QString sRelative = sPath.mid(sBase.size());
        if (sRelative.compare(QLatin1String(InstalledManifest::FileName), Qt::CaseInsensitive) ==
                0 ||
            sRelative.endsWith(QLatin1String(DiffDownload::TemporarySuffix)))
            continue;
        QFile file(sPath);
        if (!file.open(QIODevice::ReadOnly)) {
            *psWhy = sRelative + QStringLiteral(" unreadable");
            return false;
        }
        const QByteArray baContent = file.readAll();
        const bool bOld = oldFiles.contains(sRelative) && oldFiles.value(sRelative) == baContent;
        const bool bNew = newFiles.contains(sRelative) && newFiles.value(sRelative) == baContent;
        if (!bOld && !bNew) {
            *psWhy = QStringLiteral("%1 is neither copy (%2 bytes)")
                         .arg(sRelative)
                         .arg(baContent.size());
            return false;
        }
    }
    return true;
}

QStringList DownloadHarness::TemporaryFiles() const
{
    return DownloadTemporaries(m_sDisk);
}

bool DownloadHarness::HasInstalledManifest() const
{
    return !InstalledManifest::FindIn(m_sDisk + QLatin1Char('/') + PackageDir()).isEmpty();
}
