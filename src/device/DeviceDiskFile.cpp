#include "device/DeviceDiskFile.h"

#include "platform/DiskFile.h"

#include <QDebug>

#include <limits>

namespace
{

bool Read(const QString &sPath, qint64 nMaxBytes, bool bPrefix, QByteArray *pData)
{
    pData->clear();
    if (nMaxBytes < 0)
        return false;
    // A byte array holds a little under 2 GiB.
    nMaxBytes = qMin<qint64>(nMaxBytes, std::numeric_limits<int>::max() - 1024);
    QByteArray baData;
    std::size_t nRead = 0;
    const DiskFileStatus status = ReadDiskFile(
        sPath.toStdString(), static_cast<std::size_t>(nMaxBytes), bPrefix,
        [&baData](std::size_t nBytes) {
            baData.resize(static_cast<int>(nBytes));
            return baData.data();
        },
        &nRead);
    switch (status) {
    case DiskFileStatus::Read:
        baData.resize(static_cast<int>(nRead));
        *pData = baData;
        return true;
    case DiskFileStatus::NotRegular:
        qDebug() << "not a regular file, not read:" << sPath;
        return false;
    case DiskFileStatus::TooLarge:
        qDebug() << "longer than" << nMaxBytes << "bytes, not read:" << sPath;
        return false;
    case DiskFileStatus::CannotOpen:
        break;
    }
    return false;
}

} // namespace

namespace DeviceDiskFile
{

bool ReadAll(const QString &sPath, qint64 nMaxBytes, QByteArray *pData)
{
    return Read(sPath, nMaxBytes, false, pData);
}

bool ReadHead(const QString &sPath, qint64 nBytes, QByteArray *pData)
{
    return Read(sPath, nBytes, true, pData);
}

} // namespace DeviceDiskFile
