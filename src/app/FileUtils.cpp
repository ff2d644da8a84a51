#include "app/FileUtils.h"

#include "app/Md5Digest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QVector>
#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

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
    constexpr qint64 kBlock = 256 * 1024;
    thread_local std::unique_ptr<char[]> pBuffer;
    if (!pBuffer)
        pBuffer.reset(new char[kBlock]);
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

QStringList FileMd5List(const QStringList &slPaths)
{
    QVector<QString> digests(slPaths.size());
    QString *pDigests = digests.data(); // detached once, before the threads share it
    std::atomic<int> nNext{0};
    auto work = [&]() {
        for (int i = nNext++; i < slPaths.size(); i = nNext++)
            pDigests[i] = FileMd5(slPaths.at(i));
    };
    // Hashing is bound by one core per file; the files are independent.
    const int nThreads = std::min(std::max(QThread::idealThreadCount(), 1), 4);
    std::vector<std::thread> helpers;
    for (int i = 1; i < nThreads && i < slPaths.size(); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error &) {
            break; // no more threads: the ones there are finish the list
        }
    }
    work();
    for (std::thread &helper : helpers)
        helper.join();
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
