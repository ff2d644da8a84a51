#pragma once
// How the system spells file names: whether letter case tells two apart, and the
// path that the C++ file system library takes for one of Qt's.

#include <QString>
#include <filesystem>

// Qt::CaseInsensitive where the system finds a name whatever its letter case
// (Windows, drive letters included), Qt::CaseSensitive elsewhere. Whether one
// mounted file system folds case is DiskVolume's NamesIgnoreCase.
Qt::CaseSensitivity FileNameCase();

// sPath (with Qt's '/' separators) as a std::filesystem path: UTF-16 on
// Windows, the file-name encoding of the locale elsewhere.
std::filesystem::path NativeFilePath(const QString &sPath);
