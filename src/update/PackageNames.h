#pragma once
// The package names and file names that carry a rule of their own. The
// program asks "is this the main program?" in several places, each with a
// slightly different test; each test has a name here and is used only where
// its place asks it:
//
//   IsMandatoryName          catalogue: pre-selected, shown without branch
//   IsFirmwarePackageName    catalogue: installed version read from the device
//   IsHomeDir                one-click download: always taken
//   IsMainProgramRow         a row's download button: the row that comes along
//   IsUninstallProtectedDir  uninstall page: never listed
//   IsUninstallProtectedName uninstall button: never removed
//   RequestedBranch          download list: the branch a package is asked for by
//   IsAlwaysFetched          downloader: fetched whatever its digest
//   IsFirmwareImage          downloader: brings a firmware installation
//   FirmwareImagePath        firmware installation: the image it flashes
//
// Letter case is ignored everywhere, as on the device's file system.

#include <QString>

// "home", "public", "main", "主程序" or the current translation of "主程序".
bool IsMandatoryName(const QString &sName);
// "home", "main" or the untranslated "主程序" ("public" is a package of its own).
bool IsFirmwarePackageName(const QString &sName);
// A package folder ("dir") that is exactly "home".
bool IsHomeDir(const QString &sDir);
// A row named "main" or "home", or whose folder is "home".
bool IsMainProgramRow(const QString &sName, const QString &sDir);
// A folder path ending in "home" (E:/Diag/Home as well as E:/Home).
bool IsUninstallProtectedDir(const QString &sDir);
// A listed package named "main".
bool IsUninstallProtectedName(const QString &sName);
// The "branch" a download-list request carries for the package named sName
// whose "branch" is sBranch: none for a mandatory package (IsMandatoryName),
// otherwise the branch in lower case, as the catalogue keeps it.
QString RequestedBranch(const QString &sName, const QString &sBranch);
// A file whose path ends in "main.bin" (xmain.bin too).
bool IsAlwaysFetched(const QString &sLocalPath);
// A file named "MAIN.bin" (its name after the last "/").
bool IsFirmwareImage(const QString &sLocalPath);
// "%1/Home/MAIN.bin" on the device disk sDisk ("E:" or a mount folder).
QString FirmwareImagePath(const QString &sDisk);
