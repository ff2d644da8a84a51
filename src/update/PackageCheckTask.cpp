#include "update/PackageCheckTask.h"

#include <QtGlobal>

PackageCheckTask::PackageCheckTask(const DownloadRequest &device, const QStringList &slList,
                                   bool bRepairDamaged)
    : slFolders(slList), bRepair(bRepairDamaged), sDisk(device.sDisk), repair(device)
{
    qRegisterMetaType<PackageCheckResult>();
    qRegisterMetaType<PackageRepairResult>();
}

void PackageCheckTask::Cancel()
{
    bCancelled = true;
    repair.Cancel();
}

void PackageCheckTask::ReportProgress(int nIndex, double dPackageShare)
{
    if (slFolders.isEmpty())
        return;
    const int nPermille =
        int((double(nIndex) + qBound(0.0, dPackageShare, 1.0)) / slFolders.size() * 1000.0);
    if (nPermille == nLastPermille)
        return;
    nLastPermille = nPermille;
    emit Progress(nPermille);
}

void PackageCheckTask::Run()
{
    // A repair's check is the smaller part of its work: most of a damaged
    // package's time goes into fetching.
    const double dCheckShare = bRepair ? 0.3 : 1.0;
    int nIndex = 0;
    repair.SetProgress([&](int nPercent) {
        ReportProgress(nIndex, dCheckShare + (1.0 - dCheckShare) * nPercent / 100.0);
    });
    PackageCheck check(sDisk);
    check.SetCancelFlag(&bCancelled);
    // Called one at a time, though from several threads.
    check.SetProgress([&](quint64 nDone, quint64 nTotal) {
        if (nTotal == 0)
            return;
        ReportProgress(nIndex, dCheckShare * double(nDone) / double(nTotal));
    });
    for (; nIndex < slFolders.size() && !bCancelled; ++nIndex) {
        ReportProgress(nIndex, 0);
        const PackageCheckResult result = check.Check(slFolders.at(nIndex));
        if (result.state == PackageCheckResult::Cancelled)
            break;
        emit Checked(result);
        if (bRepair && result.state == PackageCheckResult::Damaged)
            emit Repaired(result.sFolder, repair.Repair(result));
    }
    if (!bCancelled)
        ReportProgress(slFolders.size(), 0);
}
