#pragma once
// Files that hold secrets (the password digest the server accepts as the password, the proxy
// password) are for their owner's eyes only.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// Makes sPath (UTF-8) a regular file that only its owner may read and write, before a secret is
// written into it: a missing file is created empty with that mode (never created open and
// narrowed afterwards), an existing one of ours is narrowed to it. A writer that then replaces
// the file whole in one step (QSaveFile, QSettings) keeps the mode. Missing folders above it
// are created for the user alone. False when sPath is a link, not a regular file or not ours.
// Linux: mode 0600. Windows: the file stays as the folder's permissions make it (the program keeps
// its files in the user's own folders and the registry); true.
bool PreparePrivateFile(const std::string &sPath);
