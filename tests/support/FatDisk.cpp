#include "FatDisk.h"

#include "TestTools.h"

#include <QFile>
#include <QStandardPaths>

namespace
{
// mkfs.fat lives in sbin, which a user's PATH may lack.
QString FindTool(const char *pName)
{
    const QString sName = QLatin1String(pName);
    const QString sFound = QStandardPaths::findExecutable(sName);
    if (!sFound.isEmpty())
        return sFound;
    return QStandardPaths::findExecutable(sName,
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}
} // namespace

FatDisk::FatDisk(const QString &sImage, const QString &sFolder) : m_sFolder(sFolder)
{
    const QString sMkfs = FindTool("mkfs.fat");
    const QString sFusefat = FindTool("fusefat");
    if (sMkfs.isEmpty() || sFusefat.isEmpty()) {
        m_sError = QStringLiteral("mkfs.fat (dosfstools) or fusefat is not installed");
        return;
    }
    QFile image(sImage);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(40 * 1024 * 1024)) {
        m_sError = QStringLiteral("cannot create %1").arg(sImage);
        return;
    }
    image.close();
    m_sError = TestTools::RunTool(sMkfs, {QStringLiteral("-F"), QStringLiteral("32"), sImage});
    if (!m_sError.isEmpty())
        return;
    // fusefat goes into the background once the file system is mounted.
    m_sError = TestTools::RunTool(sFusefat,
                                  {QStringLiteral("-o"), QStringLiteral("rw+"), sImage, sFolder});
}

FatDisk::~FatDisk()
{
    if (IsMounted())
        TestTools::Unmount(m_sFolder);
}
