#pragma once
// The packages installed on a device disk: folders that hold an installed
// manifest ("Update.json", any letter case). Found breadth-first; a package's
// own subfolders are not searched, so a package inside a package is never
// found. Links are not followed, so nothing outside the disk is reached. The
// device's own places (the disk's root, "SaveData" and everything below it)
// are never packages, whatever manifest they hold: they are not listed and
// not removed.

#include <QString>
#include <QStringList>
#include <functional>

struct InstalledPackage {
    QString sName;      // "%1_name" of the manifest, L from the translation of "lang"
    QString sRev;       // "rev"
    QString sBranch;    // "branch", lower case
    bool bRead = false; // the manifest opened and parsed as an object
};

// Searches sDisk breadth-first and calls onFound with each package folder.
// Parts of broken-off downloads older than a week, in the folders it passes
// (all but those inside packages, which their downloads tidy), are removed.
// Stops at once when the transfer stop flag is raised (the device is going
// away) and returns false; true when the whole disk was searched.
bool ScanInstalledPackages(const QString &sDisk,
                           const std::function<void(const QString &)> &onFound);

// The installed manifest's name, revision and branch; sNameKey is "CN_name" etc.
InstalledPackage ReadInstalledPackage(const QString &sDir, const QString &sNameKey);

// Sum of the sizes of all files under sPath (hidden entries and links left
// out); 0 when it does not exist.
quint64 DirectorySize(const QString &sPath);

// Removes each folder with everything in it, in order, going on after
// failures. The installed manifest goes first; a folder whose manifest cannot
// be removed is left whole. A folder that is the disk itself, one of the
// device's own places (also through a link), or not inside sDisk is never
// removed. Returns the folders of slPaths that are gone.
QStringList RemovePackages(const QString &sDisk, const QStringList &slPaths);
