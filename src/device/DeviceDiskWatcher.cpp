#include "device/DeviceDiskWatcher.h"

#include "device/DeviceDisks.h"
#include "platform/MountTableMonitor.h"
#include "platform/RemovableVolume.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QStorageInfo>

// Owns the monitor handle for the watcher's lifetime.
class DeviceDiskWatcher::MountHandle
{
public:
    MountHandle() : nHandle(OpenMountTableMonitor()) {}
    ~MountHandle() { CloseMountTableMonitor(nHandle); }
    MountHandle(const MountHandle &) = delete;
    MountHandle &operator=(const MountHandle &) = delete;
    int nHandle;
};

DeviceDiskWatcher::DeviceDiskWatcher(QObject *parent)
    : QObject(parent), pMountHandle(new MountHandle), pFolderWatcher(new QFileSystemWatcher(this))
{
    if (pMountHandle->nHandle >= 0) {
        pMountNotifier =
            new QSocketNotifier(pMountHandle->nHandle, QSocketNotifier::Exception, this);
        connect(pMountNotifier, &QSocketNotifier::activated, this, [this]() {
            emit MountTableChanged();
            Recheck();
        });
    }
    connect(pFolderWatcher, &QFileSystemWatcher::directoryChanged, this,
            &DeviceDiskWatcher::Recheck);
    Reset();
}

DeviceDiskWatcher::~DeviceDiskWatcher()
{
    // The notifier must go before the handle it listens to.
    delete pMountNotifier;
    pMountNotifier = nullptr;
    delete pMountHandle;
}

void DeviceDiskWatcher::Reset()
{
    WatchFolders();
    slSnapshot = CandidateVolumes();
}

void DeviceDiskWatcher::Recheck()
{
    // Folders that were removed dropped out of the watcher; new ones need adding.
    WatchFolders();
    const QStringList slNow = CandidateVolumes();
    if (slNow == slSnapshot)
        return;
    slSnapshot = slNow;
    emit VolumesChanged();
}

QStringList DeviceDiskWatcher::CandidateVolumes() const
{
    QStringList slVolumes;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        if (IsRemovableVolume(volume.rootPath().toStdString(), volume.device().toStdString()))
            slVolumes.append(volume.rootPath() + QLatin1Char('|') +
                             QString::fromLocal8Bit(volume.device()));
    }
    // A folder counts once it holds its serial file, so one that is filled after
    // being created is noticed too.
    for (const QString &sFolder : DeviceDiskFolders()) {
        if (QFileInfo(sFolder).isDir() && HasSerialNumberFile(sFolder))
            slVolumes.append(sFolder);
    }
    return slVolumes;
}

void DeviceDiskWatcher::WatchFolders()
{
    QStringList slWanted;
    for (const QString &sFolder : DeviceDiskFolders()) {
        if (QFileInfo(sFolder).isDir())
            slWanted.append(sFolder);
        // The nearest existing ancestor sees the folder appear or vanish.
        QString sParent = QFileInfo(sFolder).absolutePath();
        while (!QFileInfo(sParent).isDir()) {
            const QString sUp = QFileInfo(sParent).absolutePath();
            if (sUp == sParent)
                break;
            sParent = sUp;
        }
        if (QFileInfo(sParent).isDir())
            slWanted.append(sParent);
    }
    slWanted.removeDuplicates();

    const QStringList slWatched = pFolderWatcher->directories();
    QStringList slGone;
    for (const QString &sPath : slWatched) {
        if (!slWanted.contains(sPath))
            slGone.append(sPath);
    }
    if (!slGone.isEmpty())
        pFolderWatcher->removePaths(slGone);
    QStringList slNew;
    for (const QString &sPath : qAsConst(slWanted)) {
        if (!slWatched.contains(sPath))
            slNew.append(sPath);
    }
    if (!slNew.isEmpty())
        pFolderWatcher->addPaths(slNew);
}
