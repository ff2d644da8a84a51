#pragma once
// How the system spells file names: whether letter case tells two apart.

#include <QString>

// Qt::CaseInsensitive where the system finds a name whatever its letter case
// (Windows, drive letters included), Qt::CaseSensitive elsewhere. Whether one
// mounted file system folds case is DiskVolume's NamesIgnoreCase.
Qt::CaseSensitivity FileNameCase();
