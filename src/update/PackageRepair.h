#pragma once
// Brings back the damaged and missing files of an installed package (as a
// PackageCheck found them) from the update server. The server is asked for
// the package's folder with the download-list request that the catalogue's
// download sends, so its current "root" and the session cookie apply. When
// the server's revision of the package is no longer the installed one,
// nothing is fetched: the package is due for an update, not a repair.
// Otherwise exactly the damaged files are fetched by DiffDownload (temporary
// file, digest check, rename into place), and only those whose digest on the
// server is still the installed one: a file that changed on the server
// cannot bring back the installed package and counts as not repaired.
//
// Repair blocks; it is meant for a worker thread.

#include "update/DownloadRequest.h"
#include "update/PackageCheck.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>

class DiffDownload;

struct PackageRepairResult {
    enum State {
        Repaired,        // every damaged file is back
        PartlyRepaired,  // some are back, nFailed are not
        NotRepaired,     // none came back
        UpdateAvailable, // the server moved on to sServerRev; nothing was fetched
        NotOnServer,     // the server lists no package of this folder
        BadReply,        // the download-list request failed or its reply was unusable
        NothingToRepair, // the check found no damaged file, or no readable manifest
        Cancelled,
    };
    State state = NothingToRepair;
    QString sServerRev;
    int nRepaired = 0;
    int nFailed = 0;
};

class PackageRepair
{
public:
    // The device's identifiers, the language, the disk and the test flag go
    // into the request as for a download; its folder and branch come from the
    // installed manifest, the branch as the download page asks for it
    // (RequestedBranch).
    explicit PackageRepair(const DownloadRequest &device);

    // From any thread: the repair running now ends at once (its transfer
    // aborted), and later ones end before they ask the server.
    void Cancel();

    // The percentage of the package's damaged bytes received; on the repair's
    // thread.
    void SetProgress(std::function<void(int nPercent)> onProgress);

    PackageRepairResult Repair(const PackageCheckResult &check);

    // Whether the server's package lists the place of one of the check's damaged files.
    static bool ListsAFault(const QJsonObject &joServer, const PackageCheckResult &check,
                            const QString &sDisk);
    // joServer (a package of the download-list reply, with "root" and "lang")
    // keeping only the files that bring back check's damaged and missing
    // files: same place on the disk sDisk, same digest. The faults that no
    // file brings back (refused paths, files the server lacks or lists with
    // another digest) are counted in *pUnavailable.
    static QJsonObject RestrictToFaults(const QJsonObject &joServer,
                                        const PackageCheckResult &check, const QString &sDisk,
                                        int *pUnavailable);

private:
    DownloadRequest device;
    std::function<void(int)> onProgress;
    QMutex mutex; // guards the two below
    bool bCancelled = false;
    DiffDownload *pRunning = nullptr;
};
