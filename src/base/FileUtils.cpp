#include "base/FileUtils.h"

#include "base/Md5Digest.h"
#include "base/ThreadHelpers.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QVector>
#include <algorithm>
#include <memory>

bool OpenRegularFile(QFile &file, const QString &sPath, QIODevice::OpenMode mode)
{
    file.setFileName(sPath);
    const int fd = OpenRegularFileDescriptor(sPath.toStdString());
    if (fd < 0)
        return false;
    if (file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    CloseRegularFileDescriptor(fd);
    return false;
}

QString FileMd5(const QString &sPath, const CancelTest &cancelled)
{
    Md5Digest digest;
    if (!AddFileToMd5(sPath, digest, cancelled))
        return QString();
    return QString::fromLatin1(digest.Result().toHex());
}

bool AddFileToMd5(const QString &sPath, Md5Digest &digest, const CancelTest &cancelled)
{
    // Unbuffered reads in large blocks: QIODevice's own digest loop goes
    // through the file buffer 1 KiB at a time, and a package check hashes
    // every file of the package.
    // One buffer per call, not per thread: storage kept per thread with a
    // destructor is released after its thread's own storage on MinGW builds,
    // a free of a stale pointer when a digest thread ends.
    constexpr qint64 kBlock = 256 * 1024;
    const std::unique_ptr<char[]> pBuffer(new char[kBlock]);
    QFile file;
    if (!OpenRegularFile(file, sPath, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    for (;;) {
        // A large file on a slow disk takes long: a cancel is not kept waiting for its end.
        if (cancelled && cancelled())
            return false;
        const qint64 nRead = file.read(pBuffer.get(), kBlock);
        if (nRead < 0)
            return false;
        if (nRead == 0)
            return true;
        digest.AddData(pBuffer.get(), nRead);
    }
}

int DigestThreadCount()
{
    // Hashing is bound by one core per file; the files are independent.
    return std::min(std::max(QThread::idealThreadCount(), 1), 4);
}

QStringList FileMd5List(const QStringList &slPaths, const CancelTest &cancelled)
{
    QVector<QString> digests(slPaths.size());
    QString *pDigests = digests.data(); // detached once, before the threads share it
    ForEachOnThreads(slPaths.size(), DigestThreadCount(), [&](int i) {
        if (cancelled && cancelled())
            return false;
        pDigests[i] = FileMd5(slPaths.at(i), cancelled);
        return true;
    });
    return QStringList(digests.cbegin(), digests.cend());
}

bool CopyFileReplacing(const QString &sSource, const QString &sTarget, bool bOverwrite)
{
    // Windows gets backslashes throughout; elsewhere the paths stay as given.
    const QString sFrom = QDir::toNativeSeparators(sSource);
    const QString sTo = QDir::toNativeSeparators(sTarget);
    if (sFrom == sTo)
        return true;
    const QFileInfo fromInfo(sFrom);
    if (!fromInfo.exists())
        return false;
    // Two spellings of one file: removing the "target" would destroy the source.
    const QFileInfo toInfo(sTo);
    if (toInfo.exists() && fromInfo.canonicalFilePath() == toInfo.canonicalFilePath())
        return true;
    if (bOverwrite && toInfo.exists())
        QFile::remove(sTo);
    return QFile::copy(sFrom, sTo);
}
