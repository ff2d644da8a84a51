#pragma once
#include <QString>
#include <QStringList>

class Md5Digest;

// MD5 of the whole file as 32 lower-case hex digits, read in chunks; empty
// when the file cannot be opened or read.
QString FileMd5(const QString &sPath);

// Adds the whole file's content to digest (which may hold data already, as
// when a kept part is digested before the rest arrives). False when the file
// cannot be opened or read; the digest then holds an unknown part of it.
bool AddFileToMd5(const QString &sPath, Md5Digest &digest);

// How many files are hashed side by side: as many as there are cores, at most 4.
int DigestThreadCount();

// FileMd5 of each path, in the same order; the files are hashed on
// DigestThreadCount() threads.
QStringList FileMd5List(const QStringList &slPaths);

// Copies sSource to sTarget. The same file named twice counts as done; an
// existing target is removed first only when bOverwrite is true.
bool CopyFileReplacing(const QString &sSource, const QString &sTarget, bool bOverwrite);
