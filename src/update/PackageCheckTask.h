#pragma once
// Checks (and, when asked, repairs) a list of installed packages one after
// the other, for a worker thread: each package is checked afresh; a repair
// goes ahead only for a package the check found damaged. Reports the progress
// of the whole list in permille and each package's outcome by signals,
// emitted on the thread that runs Run() (progress also on the check's helper
// threads, one at a time).

#include "update/DownloadRequest.h"
#include "update/PackageCheck.h"
#include "update/PackageRepair.h"

#include <QMetaType>
#include <QObject>
#include <QStringList>
#include <atomic>

class PackageCheckTask : public QObject
{
    Q_OBJECT
public:
    // device: the device and server details a repair sends (its sDisk is the
    // disk the folders lie on).
    PackageCheckTask(const DownloadRequest &device, const QStringList &slFolders, bool bRepair);

    // Blocks until every package is done or the task is cancelled.
    void Run();
    // From any thread: the package under way ends at once (a check at its
    // next file, a repair's transfer aborted) and no other one begins.
    void Cancel();
    bool IsCancelled() const { return bCancelled.load(); }

signals:
    void Progress(int nPermille);
    void Checked(const PackageCheckResult &result);
    void Repaired(const QString &sFolder, const PackageRepairResult &result);

private:
    void ReportProgress(int nIndex, double dPackageShare);

    QStringList slFolders;
    bool bRepair = false;
    QString sDisk;
    std::atomic<bool> bCancelled{false};
    PackageRepair repair;
    int nLastPermille = -1;
};

Q_DECLARE_METATYPE(PackageCheckResult)
Q_DECLARE_METATYPE(PackageRepairResult)
