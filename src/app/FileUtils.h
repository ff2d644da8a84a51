#pragma once
#include <QString>

// MD5 of the whole file as 32 lower-case hex digits, read in chunks; empty
// when the file cannot be opened.
QString FileMd5(const QString &sPath);

// Copies sSource to sTarget. The same file named twice counts as done; an
// existing target is removed first only when bOverwrite is true.
bool CopyFileReplacing(const QString &sSource, const QString &sTarget, bool bOverwrite);
