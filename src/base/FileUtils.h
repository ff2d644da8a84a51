#pragma once
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>

class Md5Digest;
class QFile;

// Asked before each block of a file that is read through; true ends the reading there. May be
// asked from several threads at once.
using CancelTest = std::function<bool()>;

// Opens file on sPath with mode (a reading mode) when sPath is a regular file, links followed.
// A FIFO, device or socket is refused without being opened for reading, and the open never
// waits: a file of the device disk is whatever its writer made it.
bool OpenRegularFile(QFile &file, const QString &sPath,
                     QIODevice::OpenMode mode = QIODevice::ReadOnly);

// MD5 of the whole file as 32 lower-case hex digits, read in chunks; empty
// when the file is not a regular file, cannot be opened or read, or the
// reading is cancelled.
QString FileMd5(const QString &sPath, const CancelTest &cancelled = CancelTest());

// Adds the whole file's content to digest (which may hold data already, as
// when a kept part is digested before the rest arrives). False when the file
// is not a regular file, cannot be opened or read, or the reading is
// cancelled; the digest then holds an unknown part of it.
bool AddFileToMd5(const QString &sPath, Md5Digest &digest,
                  const CancelTest &cancelled = CancelTest());

// How many files are hashed side by side: as many as there are cores, at most 4.
int DigestThreadCount();

// FileMd5 of each path, in the same order; the files are hashed on
// DigestThreadCount() threads. Once cancelled, the files not yet hashed have
// the empty digest.
QStringList FileMd5List(const QStringList &slPaths, const CancelTest &cancelled = CancelTest());

// Copies sSource to sTarget. The same file named twice counts as done; an
// existing target is removed first only when bOverwrite is true.
bool CopyFileReplacing(const QString &sSource, const QString &sTarget, bool bOverwrite);
