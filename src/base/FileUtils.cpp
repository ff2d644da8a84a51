#include "base/FileUtils.h"

#include "base/Md5Digest.h"
#include "base/ThreadHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QVector>
#include <algorithm>
#include <memory>

QString FileMd5(const QString &sPath)
{
    Md5Digest digest;
    if (!AddFileToMd5(sPath, digest))
        return QString();
    return QString::fromLatin1(digest.Result().toHex());
}

bool AddFileToMd5(const QString &sPath, Md5Digest &digest)
{
    // Unbuffered reads in large blocks: QIODevice's own digest loop goes
    // through the file buffer 1 KiB at a time, and a package check hashes
    // every file of the package.
    // One buffer per call, not per thread: storage kept per thread with a
    // destructor is released after its thread's own storage on MinGW builds,
    // a free of a stale pointer when a digest thread ends.
    constexpr qint64 kBlock = 256 * 1024;
    const std::unique_ptr<char[]> pBuffer(new char[kBlock]);
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    for (;;) {
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

QStringList FileMd5List(const QStringList &slPaths)
{
    QVector<QString> digests(slPaths.size());
    QString *pDigests = digests.data(); // detached once, before the threads share it
    ForEachOnThreads(slPaths.size(), DigestThreadCount(), [&](int i) {
        pDigests[i] = FileMd5(slPaths.at(i));
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
