#include "platform/VolumeName.h"

#include <QStorageInfo>

QString DiskNameOfVolume(const QString &sRootPath)
{
    return sRootPath.left(2);
}

QString VolumeDisplayName(const QString &sDisk)
{
    return sDisk.left(1);
}

QString VolumeTipLabel(const QString &sDisk)
{
    return QStorageInfo(sDisk).name();
}
