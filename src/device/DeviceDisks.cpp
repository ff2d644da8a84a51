#include "device/DeviceDisks.h"

#include "device/DeviceDiskFile.h"
#include "platform/FileNames.h"
#include "platform/RemovableVolume.h"
#include "platform/VolumeName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStorageInfo>

#include <cctype>
#include <cmath>

namespace
{

const char kSerialFile[] = "/sn.txt";
const qint64 kSerialFileLimit = 1024;
const qint64 kSerialLength = 13;

struct DiskFolders {
    QMutex mutex;
    bool bLoaded = false;
    QStringList slFolders;
};

DiskFolders &Folders()
{
    static DiskFolders folders;
    return folders;
}

QString CleanFolder(const QString &sFolder)
{
    QString sClean = QDir::cleanPath(QDir::fromNativeSeparators(sFolder));
    while (sClean.size() > 1 && sClean.endsWith(QLatin1Char('/')))
        sClean.chop(1);
    return sClean;
}

// The serial number in "sn.txt" as a device or an editor writes it: a UTF-8 byte-order mark and
// blanks before it, and a line break or blanks after it, are not part of it; of the rest the
// first 13 bytes count.
QString SerialNumberOf(QByteArray baFile)
{
    if (baFile.startsWith("\xEF\xBB\xBF"))
        baFile.remove(0, 3);
    int nStart = 0;
    while (nStart < baFile.size() && std::isspace(static_cast<unsigned char>(baFile[nStart])))
        ++nStart;
    QByteArray baSerial = baFile.mid(nStart, int(kSerialLength));
    const int nEnd = baSerial.indexOf('\n');
    if (nEnd >= 0)
        baSerial.truncate(nEnd);
    return QString::fromUtf8(baSerial.trimmed());
}

} // namespace

QString FormatSize(quint64 nBytes)
{
    static const QStringList slUnits = {
        QStringLiteral(" Bytes"), QStringLiteral(" KB"), QStringLiteral(" MB"),
        QStringLiteral(" GB"),    QStringLiteral(" TB"), QStringLiteral(" PB"),
        QStringLiteral(" EB"),    QStringLiteral(" ZB"), QStringLiteral(" YB")};
    if (nBytes == 0)
        return QStringLiteral("0 Bytes");
    // The unit is floor(log1024(n)), counted in integers: the floating-point
    // logarithm lands just below whole numbers for exact powers such as 1048576.
    int i = 0;
    for (quint64 nRest = nBytes; nRest >= 1024 && i < slUnits.size() - 1; nRest /= 1024)
        ++i;
    const double dValue = static_cast<double>(nBytes) / std::pow(1024.0, i);
    return QString::number(dValue, 'f', i == 0 ? 0 : 2) + slUnits.at(i);
}

QStringList DeviceDiskFolders()
{
    DiskFolders &folders = Folders();
    QMutexLocker lock(&folders.mutex);
    if (!folders.bLoaded) {
        folders.bLoaded = true;
        const QString sSeam = qEnvironmentVariable("UPDATEASSIST_DISKS");
        // Separated as PATH is: ":" here, ";" on Windows, where drive letters hold colons.
        for (const QString &sFolder : sSeam.split(QDir::listSeparator(), Qt::SkipEmptyParts))
            folders.slFolders.append(CleanFolder(sFolder));
    }
    return folders.slFolders;
}

void SetDeviceDiskFolders(const QStringList &slFolders)
{
    DiskFolders &folders = Folders();
    QMutexLocker lock(&folders.mutex);
    folders.bLoaded = true;
    folders.slFolders.clear();
    for (const QString &sFolder : slFolders)
        folders.slFolders.append(CleanFolder(sFolder));
}

bool IsSameDisk(const QString &sDisk, const QString &sOther)
{
    return sDisk.compare(sOther, FileNameCase()) == 0;
}

bool HasSerialNumberFile(const QString &sDisk)
{
    QByteArray baSerial;
    return DeviceDiskFile::ReadAll(sDisk + QLatin1String(kSerialFile), kSerialFileLimit - 1,
                                   &baSerial) &&
           !baSerial.isEmpty();
}

QString ReadSerialNumber(const QString &sDisk, bool *pOk)
{
    QByteArray baFile;
    const bool bOk =
        DeviceDiskFile::ReadHead(sDisk + QLatin1String(kSerialFile), kSerialFileLimit - 1, &baFile);
    if (pOk != nullptr)
        *pOk = bOk;
    return SerialNumberOf(baFile);
}

QStringList ListDeviceDisks()
{
    QStringList slDisks;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        if (!volume.isValid() || !volume.isReady() || volume.isReadOnly())
            continue;
        const QString sDisk = CleanFolder(DiskNameOfVolume(volume.rootPath()));
        if (!IsRemovableVolume(volume.rootPath().toStdString(), volume.device().toStdString()))
            continue;
        if (!HasSerialNumberFile(sDisk) || slDisks.contains(sDisk))
            continue;
        slDisks.append(sDisk);
    }
    // Folders standing in for removable volumes: present, writable, with a serial file.
    for (const QString &sFolder : DeviceDiskFolders()) {
        const QFileInfo info(sFolder);
        if (!info.isDir() || !info.isWritable())
            continue;
        if (!HasSerialNumberFile(sFolder) || slDisks.contains(sFolder))
            continue;
        slDisks.append(sFolder);
    }
    return slDisks;
}

QString DiskDisplayName(const QString &sDisk)
{
    return VolumeDisplayName(CleanFolder(sDisk));
}

quint64 DiskAvailableBytes(const QString &sDisk)
{
    const QStorageInfo volume(sDisk);
    if (!volume.isValid())
        return 0;
    const qint64 nAvailable = volume.bytesAvailable();
    return nAvailable > 0 ? static_cast<quint64>(nAvailable) : 0;
}

QString DiskTipHtml(const QString &sDisk)
{
    const QStorageInfo volume(sDisk);
    const qint64 nTotal = volume.isValid() ? volume.bytesTotal() : 0;
    const qint64 nAvailable = volume.isValid() ? volume.bytesAvailable() : 0;
    QString sHtml;
    const QString sLabel = VolumeTipLabel(CleanFolder(sDisk));
    sHtml += QStringLiteral("<div style=\"color:red;\">%1</div>").arg(sLabel.toHtmlEscaped());
    sHtml += QStringLiteral("<div>%1:%2</div>")
                 .arg(QCoreApplication::translate("DeviceDisks", "文件系统"),
                      QString::fromUtf8(volume.fileSystemType()).toHtmlEscaped());
    sHtml += QStringLiteral("<div>%1:%2</div>")
                 .arg(QCoreApplication::translate("DeviceDisks", "总空间"),
                      FormatSize(nTotal > 0 ? static_cast<quint64>(nTotal) : 0));
    sHtml += QStringLiteral("<div style=\"color:black;\"><b>%1:%2</b></div>")
                 .arg(QCoreApplication::translate("DeviceDisks", "可用空间"),
                      FormatSize(nAvailable > 0 ? static_cast<quint64>(nAvailable) : 0));
    return sHtml;
}
