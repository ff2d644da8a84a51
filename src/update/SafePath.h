#pragma once
// Paths named by the update server ("dir" of a package, "Path" of a file) are
// joined under a local folder only when they cannot lead out of it.

#include <QHash>
#include <QString>
#include <QStringList>

// The components of a relative path with "/" or "\" separators ("." and empty
// components dropped). *pOk is false, and the list empty, when the path is
// absolute (leading separator, drive letter, UNC), holds a ".." component, a
// ":" or a NUL character, or a component that the device disk or Windows would
// take for another name or cannot hold: one ending in a dot or a blank, a
// device's name (NUL, CON, COM1, LPT1, ..., also with an extension), or one of
// the characters < > " | ? * or a control character.
QStringList SafeRelativeComponents(const QString &sRelative, bool *pOk);

// Whether a path below the device disk's root, as components, names a place
// that belongs to the device alone: its "sn.txt" at the root, or "SaveData"
// and everything below it (its own records). Letter case is ignored, as on
// the device's file system.
bool IsReservedOnDisk(const QStringList &slComponents);

// Whether sFolder is the disk sDisk itself or lies in a place reserved to the device
// (IsReservedOnDisk), by its path as given or, links resolved, by where it really is: such a
// folder is never a package, whatever it holds.
bool IsDeviceOwnFolder(const QString &sDisk, const QString &sFolder);

// Whether a package's "dir" names a place reserved to the device (IsReservedOnDisk), where no
// package is ever installed. Judged on the text alone.
bool IsReservedPackageFolder(const QString &sDir);

// sBase (the device disk's root) + "/" + the cleaned relative path, or the
// empty text when the relative path is unsafe (above), names sBase itself or a
// place reserved to the device (IsReservedOnDisk), or reaches outside sBase or
// into such a place through a symbolic link among its existing folders. A caller that joins many
// paths in one go may pass the same pCanonicalFolders to each call: the canonical paths of the
// folders looked up are kept there (by path; an empty value for a folder that does not exist) and
// not looked up again. *pFolderExists tells whether the folder that would hold the joined path
// exists.
QString PathInside(const QString &sBase, const QString &sRelative,
                   QHash<QString, QString> *pCanonicalFolders = nullptr,
                   bool *pFolderExists = nullptr);

// Whether the component list slPath lies inside the folder slFolder (compared
// without regard to case, as on the device's file system). An empty folder
// list stands for the base itself and contains everything.
bool ComponentsInside(const QStringList &slPath, const QStringList &slFolder);
