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

DownloadBatch::RowState FinishedState(int nSuccess, int nErr,
                                      const DiffDownload::Failures &failures)
{
    if (failures.contains(DiffDownload::Failure::Cancelled))
        return DownloadBatch::RowState::Cancelled;
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
    if (bNewBatch) {
        bInstallPending = false;
        firmwareRows.clear();
        failures.clear();
        transfers.clear();
        pCancel = std::make_shared<std::atomic<bool>>(false);
    }
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
    const std::shared_ptr<std::atomic<bool>> pFlag = pCancel;
    AppThreadPool().enqueue([pBatch, work, pFlag]() {
        for (const auto &item : work)
            RequestDownloadList(pBatch, item.first, item.second, pFlag);
    });
}

void DownloadBatch::Cancel()
{
    if (nTaskCount.load() > 0)
        *pCancel = true;
}

bool DownloadBatch::CanCancel() const
{
    return nTaskCount.load() > 0 && !pCancel->load();
}

void DownloadBatch::Abandon()
{
    nTaskCount.Reset();
}

void DownloadBatch::RequestDownloadList(QPointer<DownloadBatch> pBatch, DownloadRequest request,
                                        TaskCounter::Ticket ticket,
                                        std::shared_ptr<std::atomic<bool>> pCancel)
{
    if (pCancel->load()) {
        // Stopped before its turn: nothing is asked for.
        PostIfAlive(pBatch, [request](DownloadBatch *p) {
            p->OnRequestEnded(request, RowState::Cancelled);
        });
        return;
    }
    const QJsonObject joData = DownloadRequestData(request);
    qDebug() << MaskSecrets(QJsonDocument(joData).toJson(QJsonDocument::Compact));
    const CommandReply reply = SendSealedCommand(CommandDownloadList, joData);
    qDebug() << "*************************" << MaskSecrets(reply.baPlain);
    bool bUsable = false;
    const QList<QJsonObject> packages =
        RowPackages(reply.joReply, reply.bParsed, request, &bUsable);

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
        // A row is asked for once per batch: its handle and the package's place
        // in the reply name the download.
        const quint64 nJob = (request.nRowId << 8) | quint64((jobs.size() + 1) & 0xFF);
        jobs << PackageJob{ticket,        request.nRowId, request.sDir, joPackage,
                           request.sDisk, request.sLang,  pCancel,      nJob};
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
    if (!job.ticket.IsCurrent()) {
        // Abandoned while it waited in the queue: its row may be asked for again.
        PostIfAlive(pBatch, [job](DownloadBatch *p) {
            p->Report(RowOf(job.nRowId, job.sRowDir, RowState::Ready));
        });
        return;
    }
    RowReport finished = RowOf(job.nRowId, job.sRowDir, RowState::Done);
    bool bNeedInstall = false;
    {
        // Owned by this worker and destroyed here once StartDownload has
        // returned; its signals come on this thread.
        DiffDownload downloader;
        RowReport downloading = RowOf(job.nRowId, job.sRowDir, RowState::Downloading);
        downloading.nJob = job.nJob;
        const quint64 nGeneration = job.ticket.Generation();
        connect(
            &downloader, &DiffDownload::Transferred, &downloader,
            [pBatch, downloading, nGeneration](int nPercent, qint64 nReceived, qint64 nTotal) {
                RowReport progress = downloading;
                progress.nPercent = nPercent;
                progress.nReceived = nReceived;
                progress.nTotal = nTotal;
                PostIfAlive(pBatch, [progress, nGeneration](DownloadBatch *p) {
                    // A batch abandoned meanwhile shows nothing more.
                    if (p->nTaskCount.IsCurrent(nGeneration))
                        p->Report(progress);
                });
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
        downloader.SetCancelFlag(job.pCancel);
        downloader.StartDownload();
        finished.failures = downloader.FailureReasons();
    }
    finished.state = FinishedState(finished.nSuccess, finished.nErr, finished.failures);
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
    // A package of an abandoned batch (the device went away meanwhile) counts
    // for nothing: what it did was on the disk it began on, not the present
    // one. Its row may be asked for again, and its version stays.
    const bool bCurrent = nTaskCount.IsCurrent(nGeneration);
    if (bCurrent && report.state == RowState::Done && bNeedInstall) {
        bInstallPending = true;
        firmwareRows << report;
    }
    if (bCurrent) {
        for (auto it = report.failures.cbegin(); it != report.failures.cend(); ++it)
            failures[it.key()] += it.value();
    }
    Report(bCurrent ? report : RowOf(report.nRowId, report.sDir, RowState::Ready));
    qDebug()
        << QStringLiteral("DownFinsh: %1 Success %2 Fail").arg(report.nSuccess).arg(report.nErr);
    EndWork(nGeneration);
}

void DownloadBatch::Report(const RowReport &report)
{
    emit RowChanged(report);
    if (report.state != RowState::Downloading || report.nJob == 0 || nTaskCount.load() == 0)
        return;
    transfers.insert(report.nJob, qMakePair(report.nReceived, report.nTotal));
    qint64 nReceived = 0, nTotal = 0;
    for (const auto &bytes : qAsConst(transfers)) {
        nReceived += bytes.first;
        nTotal += bytes.second;
    }
    emit Transferred(nReceived, nTotal);
}

void DownloadBatch::EndWork(quint64 nGeneration)
{
    if (!nTaskCount.Done(nGeneration))
        return;
    if (bInstallPending && pCancel->load()) {
        // Stopped by the user: the image stays on the disk, unwritten.
        for (RowReport report : qAsConst(firmwareRows)) {
            report.state = RowState::Cancelled;
            Report(report);
        }
        firmwareRows.clear();
    } else if (bInstallPending) {
        StartFirmware();
    }
    const DiffDownload::Failures batchFailures = failures;
    failures.clear();
    if (!batchFailures.isEmpty())
        emit FilesFailed(batchFailures);
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
    flashingRows = firmwareRows;
    firmwareRows.clear();
    connect(pTask, &FirmwareUpgradeTask::Ended, this, &DownloadBatch::OnFirmwareOutcome,
            Qt::QueuedConnection);
    emit FirmwareDue(pTask);
    if (pFirmwareWatcher == nullptr) {
        pFirmwareWatcher = new QFutureWatcher<void>(this);
        connect(pFirmwareWatcher, &QFutureWatcherBase::finished, this,
                &DownloadBatch::OnFirmwareFinished);
    }
    pFirmwareWatcher->setFuture(FirmwareUpgradeTask::Start(pTask));
}

void DownloadBatch::OnFirmwareOutcome(FirmwareUpgradeTask::Outcome outcome, const QString &sDetail)
{
    // The rows that brought the image must not claim the whole update when
    // the device does not run it.
    const bool bInDevice = outcome == FirmwareUpgradeTask::Outcome::Written ||
                           outcome == FirmwareUpgradeTask::Outcome::AlreadyCurrent;
    for (RowReport report : qAsConst(flashingRows)) {
        report.state = bInDevice ? RowState::FirmwareWritten : RowState::FirmwareNotWritten;
        report.firmware = outcome;
        report.sFirmwareDetail = sDetail;
        Report(report);
    }
    flashingRows.clear();
    emit FirmwareOutcome(outcome, sDetail);
}

void DownloadBatch::OnFirmwareFinished()
{
    bFirmwareInstalling = false;
    emit FirmwareEnded();
}
