#pragma once
// A FAT file system, as device disks carry, mounted on a folder for one test:
// an image file formatted with mkfs.fat and mounted through FUSE (fusefat), so
// names are found whatever their letter case. Unmounted when the object goes.
// Needs root (or FUSE rights) and the two tools; Error() says why when not.

#include <QString>

class FatDisk
{
public:
    // sImage is created (40 MiB, sparse); sFolder must exist and be empty.
    FatDisk(const QString &sImage, const QString &sFolder);
    ~FatDisk();
    FatDisk(const FatDisk &) = delete;
    FatDisk &operator=(const FatDisk &) = delete;

    bool IsMounted() const { return m_sError.isEmpty(); }
    QString Error() const { return m_sError; }

    // Stops the file system's process: whatever reaches the disk then waits,
    // as on a disk that does not answer, until Resume(). False when the
    // process was not found.
    bool Pause();
    bool Resume();

private:
    QString m_sFolder;
    QString m_sImage;
    QString m_sError;
    qint64 m_nDaemon = 0;
};
