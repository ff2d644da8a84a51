#pragma once
// Notices device disks coming and going without polling: mount-table changes
// (where the platform reports them) and the folders of UPDATEASSIST_DISKS
// appearing or disappearing.

#include <QObject>
#include <QStringList>

class QFileSystemWatcher;
class QSocketNotifier;

class DeviceDiskWatcher : public QObject
{
    Q_OBJECT
public:
    explicit DeviceDiskWatcher(QObject *parent = nullptr);
    ~DeviceDiskWatcher() override;

    // False where mount changes are not watched here (Windows reports them to
    // the main window as WM_DEVICECHANGE).
    bool WatchesMountTable() const { return pMountNotifier != nullptr; }

    // Re-reads the folder list (after SetDeviceDiskFolders) and the snapshot.
    void Reset();

signals:
    // Something was mounted or unmounted, whatever it was.
    void MountTableChanged();
    // A removable volume or a device-disk folder arrived or went away.
    void VolumesChanged();

private slots:
    void Recheck();

private:
    QStringList CandidateVolumes() const;
    void WatchFolders();

    class MountHandle;
    MountHandle *pMountHandle = nullptr;
    QSocketNotifier *pMountNotifier = nullptr;
    QFileSystemWatcher *pFolderWatcher = nullptr;
    QStringList slSnapshot;
};
