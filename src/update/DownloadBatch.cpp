#include "update/DownloadBatch.h"

#include "base/ThreadHelpers.h"
#include "base/ThreadPool.h"
#include "device/FirmwareUpgradeTask.h"
#include "net/SecretMask.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"
#include "update/InstalledManifest.h"
#include "update/PackageNames.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFutureWatcher>
#include <QJsonDocument>

namespace
{

DownloadBatch::RowReport RowOf(quint64 nRowId, const QString &sDir, DownloadBatch::RowState state)
{
    DownloadBatch::RowReport report;
    report.nRowId = nRowId;
    report.sDir = sDir;
    report.state = state;
    return report;
}

DownloadBatch::RowState FinishedState(int nSuccess, int nErr)
{
    if (nSuccess == -1)
        return DownloadBatch::RowState::NoUpdate;
    if (nErr != 0)
        return nSuccess >= 1 ? DownloadBatch::RowState::PartlyFailed
                             : DownloadBatch::RowState::Failed;
    return DownloadBatch::RowState::Done;
}

} // namespace

DownloadBatch::DownloadBatch(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<DownloadBatch::RowReport>();
}

DownloadBatch::~DownloadBatch() = default;

void DownloadBatch::SetDeviceSource(std::function<Device()> source)
{
    deviceSource = std::move(source);
}

bool DownloadBatch::AddRequest(DownloadRequest *pRequest)
{
    if (bFirmwareInstalling)
        return false; // a download could replace the image being written
    bool bNewBatch = false;
    pRequest->nGeneration = nTaskCount.Add(&bNewBatch);
    if (bNewBatch)
        bInstallPending = false;
    // Reported at once, so the row cannot be queued twice while its request runs.
    Report(RowOf(pRequest->nRowId, pRequest->sDir, RowState::Waiting));
    return true;
}

void DownloadBatch::SendRequests(const QList<DownloadRequest> &requests)
{
    if (requests.isEmpty())
        return;
    // The tickets let the worker add and end work of each request's batch
    // without touching this object.
    QList<QPair<DownloadRequest, TaskCounter::Ticket>> work;
    for (const DownloadRequest &request : requests)
        work << qMakePair(request, nTaskCount.TicketFor(request.nGeneration));
    const QPointer<DownloadBatch> pBatch(this);
    AppThreadPool().enqueue([pBatch, work]() {
        for (const auto &item : work)
            RequestDownloadList(pBatch, item.first, item.second);
    });
}

void DownloadBatch::Abandon()
{
    nTaskCount.Reset();
}

void DownloadBatch::RequestDownloadList(QPointer<DownloadBatch> pBatch, DownloadRequest request,
                                        TaskCounter::Ticket ticket)
{
    const QJsonObject joData = DownloadRequestData(request);
    qDebug() << MaskSecrets(QJsonDocument(joData).toJson(QJsonDocument::Compact));
    const CommandReply reply = SendSealedCommand(CommandDownloadList, joData);
    qDebug() << "*************************" << MaskSecrets(reply.baPlain);
    bool bUsable = false;
    const QList<QJsonObject> packages =
        MatchingPackages(reply.joReply, reply.bParsed, request, &bUsable);

    if (!bUsable || packages.isEmpty()) {
        // Nothing to download: the GUI thread ends the request, as it may end
        // the batch.
        const RowState state = bUsable ? RowState::Ready : RowState::BadReply;
        PostIfAlive(pBatch,
                    [request, state](DownloadBatch *p) { p->OnRequestEnded(request, state); });
        return;
    }
    // The packages join the batch before the request leaves it, so the batch
    // cannot end here; they go straight to the pool from this worker.
    QList<PackageJob> jobs;
    for (const QJsonObject &joPackage : packages) {
        if (!ticket.Add())
            break; // the device went away meanwhile
        jobs << PackageJob{ticket,    request.nRowId, request.sDir,
                           joPackage, request.sDisk,  request.sLang};
    }
    ticket.Done();
    if (!ticket.IsCurrent()) {
        // Abandoned: nothing of this batch goes ahead.
        PostIfAlive(pBatch, [request](DownloadBatch *p) {
            p->Report(RowOf(request.nRowId, request.sDir, RowState::Ready));
        });
        return;
    }
    for (const PackageJob &job : qAsConst(jobs))
        AppThreadPool().enqueue([pBatch, job]() { DownloadPackage(pBatch, job); });
}

void DownloadBatch::OnRequestEnded(const DownloadRequest &request, RowState state)
{
    if (!nTaskCount.IsCurrent(request.nGeneration)) {
        // The device went away meanwhile: nothing of this batch goes ahead.
        Report(RowOf(request.nRowId, request.sDir, RowState::Ready));
        return;
    }
    Report(RowOf(request.nRowId, request.sDir, state));
    EndWork(request.nGeneration);
}

void DownloadBatch::DownloadPackage(QPointer<DownloadBatch> pBatch, PackageJob job)
{
    if (!job.ticket.IsCurrent())
        return; // abandoned while it waited in the queue
    RowReport finished = RowOf(job.nRowId, job.sRowDir, RowState::Done);
    bool bNeedInstall = false;
    {
        // Owned by this worker and destroyed here once StartDownload has
        // returned; its signals come on this thread.
        DiffDownload downloader;
        const RowReport downloading = RowOf(job.nRowId, job.sRowDir, RowState::Downloading);
        connect(
            &downloader, &DiffDownload::Progress, &downloader,
            [pBatch, downloading](int nPercent) {
                RowReport progress = downloading;
                progress.nPercent = nPercent;
                PostIfAlive(pBatch, [progress](DownloadBatch *p) { p->Report(progress); });
            },
            Qt::DirectConnection);
        connect(
            &downloader, &DiffDownload::DownloadFinish, &downloader,
            [&finished, &bNeedInstall](int nSuccess, int nErr, bool bNeed) {
                finished.nSuccess = nSuccess;
                finished.nErr = nErr;
                bNeedInstall = bNeed;
            },
            Qt::DirectConnection);
        downloader.SetSavePath(job.sDisk);
        downloader.SetPackageJson(job.joPackage);
        downloader.StartDownload();
    }
    finished.state = FinishedState(finished.nSuccess, finished.nErr);
    if (finished.state == RowState::Done) {
        finished.sRev = job.joPackage.value(QLatin1String("rev")).toString();
        // A package of an abandoned batch records nothing on the (possibly
        // different) disk now present.
        if (job.ticket.IsCurrent())
            InstalledManifest::Save(job.sDisk, job.joPackage, job.sLang);
    }
    const quint64 nGeneration = job.ticket.Generation();
    PostIfAlive(pBatch, [finished, nGeneration, bNeedInstall](DownloadBatch *p) {
        p->OnPackageFinished(finished, nGeneration, bNeedInstall);
    });
}

void DownloadBatch::OnPackageFinished(const RowReport &report, quint64 nGeneration,
                                      bool bNeedInstall)
{
    // A report of an abandoned batch may still show in its row; it counts
    // for nothing else.
    if (report.state == RowState::Done && bNeedInstall && nTaskCount.IsCurrent(nGeneration))
        bInstallPending = true;
    Report(report);
    qDebug()
        << QStringLiteral("DownFinsh: %1 Success %2 Fail").arg(report.nSuccess).arg(report.nErr);
    EndWork(nGeneration);
}

void DownloadBatch::Report(const RowReport &report)
{
    emit RowChanged(report);
}

void DownloadBatch::EndWork(quint64 nGeneration)
{
    if (!nTaskCount.Done(nGeneration))
        return;
    if (bInstallPending)
        StartFirmware();
    emit BatchEnded();
}

void DownloadBatch::StartFirmware()
{
    if (bFirmwareInstalling)
        return;
    const Device device = deviceSource ? deviceSource() : Device();
    auto *pTask = new FirmwareUpgradeTask(FirmwareImagePath(device.sDisk), device.sSN);
    // Until the task has let go of the device's port, nothing else opens it:
    // no catalogue refresh and no download (the image must stay as it is).
    bFirmwareInstalling = true;
    emit FirmwareDue(pTask);
    if (pFirmwareWatcher == nullptr) {
        pFirmwareWatcher = new QFutureWatcher<void>(this);
        connect(pFirmwareWatcher, &QFutureWatcherBase::finished, this,
                &DownloadBatch::OnFirmwareFinished);
    }
    pFirmwareWatcher->setFuture(FirmwareUpgradeTask::Start(pTask));
}

void DownloadBatch::OnFirmwareFinished()
{
    bFirmwareInstalling = false;
    emit FirmwareEnded();
}
