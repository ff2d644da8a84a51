#pragma once
// Writes a dump file when the process dies of a fault: a minidump on Windows,
// the signal and a backtrace elsewhere. The process still ends as it would.

#include <filesystem>

class QString;

// sDumpFile is made absolute against the current directory at the call.
void InstallCrashHandler(const QString &sDumpFile);

// Qt-free part, per platform.
void InstallNativeCrashHandler(const std::filesystem::path &dumpFile);
