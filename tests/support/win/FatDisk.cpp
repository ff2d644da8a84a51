#include "../FatDisk.h"

// A FAT image is mounted with Linux tools (mkfs.fat, fusefat); on Windows the tests that need
// one skip.

FatDisk::FatDisk(const QString &sImage, const QString &sFolder)
    : m_sFolder(sFolder), m_sImage(sImage),
      m_sError(QStringLiteral("no FAT image can be mounted on Windows"))
{
}

FatDisk::~FatDisk() = default;

bool FatDisk::Pause()
{
    return false;
}

bool FatDisk::Resume()
{
    return false;
}
