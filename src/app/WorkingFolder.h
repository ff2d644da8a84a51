#pragma once
// The folder the program works in: "config.ini", "./User.bin" and "crash.dmp"
// are relative paths, so they land wherever the current directory points.
// What ships with the program ("help", "Lang", "driver") is always read from
// ProgramFolder(), which may be read-only.

#include <QString>

// sProgramDir when files can be created in it (a copy unpacked anywhere, the
// build tree); otherwise the user's application data folder (an installed
// program under /usr run by a normal user), created on the way. Falls back to
// sProgramDir when not even that folder can be made.
QString ChooseWorkingFolder(const QString &sProgramDir);

// True when a file can really be created (and removed) in sDir; a permission
// check alone would miss read-only mounts and say yes to root everywhere.
bool CanCreateFilesIn(const QString &sDir);

// The folder of the executable, symbolic links resolved.
QString ProgramFolder();
