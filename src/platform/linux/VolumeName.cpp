#include "platform/VolumeName.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

QString DiskNameOfVolume(const QString &sRootPath)
{
    return QDir::cleanPath(sRootPath);
}

QString VolumeDisplayName(const QString &sDisk)
{
    const QStorageInfo volume(sDisk);
    // A folder inside some other file system shows its own name, not that volume's label.
    if (volume.isValid() && QDir::cleanPath(volume.rootPath()) == sDisk && !volume.name().isEmpty())
        return volume.name();
    const QString sName = QFileInfo(sDisk).fileName();
    return sName.isEmpty() ? sDisk : sName;
}

QString VolumeTipLabel(const QString &sDisk)
{
    return VolumeDisplayName(sDisk);
}
