#pragma once
// The download flow's rules, apart from any window: a batch of package
// downloads started by the one-click button or a row's button.
//
// A request (the download information of one row, command 1043) is counted
// into the batch on the GUI thread and sent on the application thread pool;
// the worker that receives the reply queues the row's packages on the pool
// itself, each a DiffDownload run to its end, which writes the installed
// manifest when the package arrived complete. What a worker learns comes back
// to the GUI thread as row reports; when the last piece of work of the batch
// has ended there, the batch decides on the firmware: when a new "MAIN.bin"
// came down, it is due, and the batch flashes it and stays busy until the
// device's port is free again.
//
// The batch knows rows only by the handle and folder the caller put into each
// request, and reports them so; which table row that is stays the caller's.
// Its object lives on the GUI thread and emits there.

#include "device/FirmwareUpgradeTask.h"
#include "update/DiffDownload.h"
#include "update/DownloadRequest.h"
#include "update/TaskCounter.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

template <class T> class QFutureWatcher;

class DownloadBatch : public QObject
{
    Q_OBJECT
public:
    // What a row goes through; the caller turns it into the row's state text.
    enum class RowState {
        Ready,        // nothing asked for it (any more): it may be downloaded again
        Waiting,      // its request is counted in, its packages are on their way
        Downloading,  // a package of it reported progress
        NoUpdate,     // a package of it needed no file
        PartlyFailed, // some files failed, at least one arrived
        Failed,       // files failed and none arrived
        Done,         // a package of it arrived complete
        BadReply,     // the download information was unusable
        Cancelled,    // the user stopped the download; the old files stay
        // It brought a firmware image that did not get into the device (the
        // report's outcome and detail say why); its files are on the disk.
        FirmwareNotWritten,
        // It brought the firmware image now running in the device.
        FirmwareWritten
    };
    Q_ENUM(RowState)

    struct RowReport {
        quint64 nRowId = 0; // the request's row handle
        QString sDir;       // the row's package folder
        RowState state = RowState::Ready;
        int nPercent = 0;                // Downloading: the package's progress in percent
        quint64 nJob = 0;                // Downloading: the package download it is about
        qint64 nReceived = 0;            // Downloading: the package's bytes so far
        qint64 nTotal = 0;               // Downloading: the package's bytes in all
        int nSuccess = 0;                // finished packages: files fetched (-1: none needed)
        int nErr = 0;                    // finished packages: files failed
        DiffDownload::Failures failures; // finished packages: the failed files by reason
        QString sRev;                    // Done: the package's revision, now installed
        // FirmwareNotWritten, FirmwareWritten: what became of the image, and
        // the task's detail (version, port, the device's reason).
        FirmwareUpgradeTask::Outcome firmware = FirmwareUpgradeTask::Outcome::Written;
        QString sFirmwareDetail;
    };

    // The device at the time the firmware is due: its disk and serial number.
    struct Device {
        QString sDisk;
        QString sSN;
    };

    explicit DownloadBatch(QObject *parent = nullptr);
    ~DownloadBatch() override;

    // Where the firmware goes when it is due; asked at that moment.
    void SetDeviceSource(std::function<Device()> source);

    // Counts pRequest into the running batch (a new one begins when nothing
    // runs), stamps its batch on it and reports its row Waiting. False, with
    // nothing counted, while the firmware is being written: a download could
    // replace the image.
    bool AddRequest(DownloadRequest *pRequest);
    // Sends counted requests one after the other on one worker of the pool.
    void SendRequests(const QList<DownloadRequest> &requests);

    // Stops the running batch: transfers are dropped (the old files stay),
    // nothing more is asked for, its rows end Cancelled. Its end comes as
    // for any batch.
    void Cancel();
    // Whether a batch runs that has not been cancelled.
    bool CanCancel() const;

    // The device went away: the running batch is forgotten. Its late reports
    // record nothing and end nothing; its rows come back Ready (no progress,
    // no outcome, no version: those would be another disk's).
    void Abandon();

    // Between the start of a flash and the moment the device's port is free.
    bool IsFirmwareInstalling() const { return bFirmwareInstalling; }

    // Requests and package downloads of the running batch, queued or running;
    // the system's busy state. Safe from any thread.
    TaskCounter nTaskCount;

signals:
    void RowChanged(const DownloadBatch::RowReport &report);
    // The batch has ended with a new firmware image: pTask is about to run.
    // Connect to it here (directly); it deletes itself when it is done.
    void FirmwareDue(FirmwareUpgradeTask *pTask);
    // What became of the firmware of the batch; before FirmwareEnded.
    void FirmwareOutcome(FirmwareUpgradeTask::Outcome outcome, const QString &sDetail);
    // The flash has let go of the device's port.
    void FirmwareEnded();
    // Bytes of the running batch's package downloads so far and in all (of
    // those that have begun).
    void Transferred(qint64 nReceived, qint64 nTotal);
    // Files of the batch that failed, by reason; right before BatchEnded,
    // once per batch, when any did.
    void FilesFailed(const DiffDownload::Failures &failures);
    // The last piece of work of the batch has ended (after FirmwareDue, if due).
    void BatchEnded();

private:
    // One package of a row, on its way to a worker.
    struct PackageJob {
        TaskCounter::Ticket ticket;
        quint64 nRowId = 0;
        QString sRowDir;
        QJsonObject joPackage;
        QString sDisk;
        QString sLang;
        std::shared_ptr<std::atomic<bool>> pCancel;
        quint64 nJob = 0;
    };
    static void RequestDownloadList(QPointer<DownloadBatch> pBatch, DownloadRequest request,
                                    TaskCounter::Ticket ticket,
                                    std::shared_ptr<std::atomic<bool>> pCancel);
    static void DownloadPackage(QPointer<DownloadBatch> pBatch, PackageJob job);
    void Report(const RowReport &report);
    void OnRequestEnded(const DownloadRequest &request, RowState state);
    void OnPackageFinished(const RowReport &report, quint64 nGeneration, bool bNeedInstall);
    void EndWork(quint64 nGeneration);
    void StartFirmware();
    void OnFirmwareFinished();
    void OnFirmwareOutcome(FirmwareUpgradeTask::Outcome outcome, const QString &sDetail);

    std::function<Device()> deviceSource;
    // A package of the running batch brought a new firmware image.
    bool bInstallPending = false;
    // Raised by Cancel for the running batch; a new batch gets a new one.
    std::shared_ptr<std::atomic<bool>> pCancel = std::make_shared<std::atomic<bool>>(false);
    DiffDownload::Failures failures;                 // of the running batch
    QHash<quint64, QPair<qint64, qint64>> transfers; // the batch's bytes by package download
    // The rows whose packages brought the image of the running batch, and
    // those of the image being written.
    QList<RowReport> firmwareRows;
    QList<RowReport> flashingRows;
    bool bFirmwareInstalling = false;
    QFutureWatcher<void> *pFirmwareWatcher = nullptr;
};

Q_DECLARE_METATYPE(DownloadBatch::RowReport)
