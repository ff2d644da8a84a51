#include "platform/linux/BlockDevice.h"

#include <QFile>
#include <QFileInfo>

namespace
{

QByteArray ReadAttribute(const QString &sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(4096).trimmed();
}

bool UdevSaysUsb(const QString &sRecord)
{
    QFile file(sRecord);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!file.atEnd()) {
        if (file.readLine().trimmed() == "E:ID_BUS=usb")
            return true;
    }
    return false;
}

} // namespace

bool IsRemovableBlockDevice(const QString &sDevice, const QString &sSysRoot,
                            const QString &sUdevDataRoot)
{
    // tmpfs, overlay, network shares...: no block device, never removable.
    if (!sDevice.startsWith(QLatin1String("/dev/")))
        return false;
    // /dev/disk/by-label/... and /dev/mapper/... are links to the kernel name.
    const QString sResolved = QFileInfo(sDevice).canonicalFilePath();
    const QString sName = QFileInfo(sResolved.isEmpty() ? sDevice : sResolved).fileName();
    if (sName.isEmpty())
        return false;

    const QFileInfo blockInfo(sSysRoot + QLatin1String("/class/block/") + sName);
    if (!blockInfo.exists())
        return false;
    const QString sBlockDir = blockInfo.canonicalFilePath();
    const bool bPartition = QFileInfo::exists(sBlockDir + QLatin1String("/partition"));
    const QString sDiskDir = bPartition ? QFileInfo(sBlockDir).path() : sBlockDir;

    if (ReadAttribute(sDiskDir + QLatin1String("/removable")) == "1")
        return true;
    for (const QString &sDir : {sBlockDir, sDiskDir}) {
        const QByteArray baDev = ReadAttribute(sDir + QLatin1String("/dev"));
        if (!baDev.isEmpty() &&
            UdevSaysUsb(sUdevDataRoot + QLatin1String("/b") + QString::fromLatin1(baDev)))
            return true;
    }
    return false;
}
