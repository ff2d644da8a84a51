#pragma once
// Checks an installed package against its installed manifest ("Update.json"):
// every listed file must be on the device disk with the listed size and MD5.
// A file whose size differs is damaged without reading it; the others are
// digested on several threads at once. Paths are placed on the disk exactly as
// the downloader places them: an entry it would refuse is reported as such,
// never read. "config.json" entries are left out, as the downloader never
// fetches them (the device keeps its own settings there), and so is the
// package's own "Update.json" should the manifest list it. The disk's root
// and the device's own places ("SaveData" and below) are never packages and
// are not checked. Only regular files are read, and a cancel is seen between
// the blocks of a file.
//
// Check blocks; it is meant for a worker thread.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>

struct FileFault {
    enum Kind {
        Missing,       // no file at its place (or not a regular file)
        SizeDiffers,   // not the listed size
        DigestDiffers, // the listed size, another MD5 (or unreadable)
        Refused,       // a path that leads out of the disk or into the device's own places
    };
    QString sPath;  // as listed in the manifest
    QString sLocal; // its place on the disk; empty when refused
    QString sHash;  // the listed MD5
    Kind kind = Missing;
};

struct PackageCheckResult {
    enum State {
        Intact,
        Damaged,            // faults lists what is damaged, missing or refused
        ManifestMissing,    // the folder holds no "Update.json" (any letter case)
        ManifestUnreadable, // there is one, but it cannot be read or is not a JSON object
        NotAPackage,        // the disk's root or one of the device's own folders: never judged
        Cancelled,
    };
    State state = Cancelled;
    QString sFolder;
    QJsonObject joManifest;  // the installed manifest, when it was read
    int nFiles = 0;          // entries checked
    QList<FileFault> faults; // ordered by path
};

class PackageCheck
{
public:
    // sDisk: the device disk's root, under which the manifest's paths lie.
    explicit PackageCheck(const QString &sDisk);

    // Raised (by any thread), it ends a check at the next file.
    void SetCancelFlag(const std::atomic<bool> *pCancel);

    // Called with the bytes checked so far and the bytes to check, once
    // before the first file and after each file digested; from any of the
    // check's threads, one call at a time.
    using ProgressFunction = std::function<void(quint64 nDone, quint64 nTotal)>;
    void SetProgress(ProgressFunction onProgress);

    // Checks the package installed in sFolder.
    PackageCheckResult Check(const QString &sFolder) const;

private:
    bool IsCancelled() const;

    QString sDisk;
    const std::atomic<bool> *pCancel = nullptr;
    ProgressFunction onProgress;
};
