#include "FatDisk.h"

#include "TestTools.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/types.h>

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

// The fusefat process serving sImage, found by its command line; 0 when none.
qint64 FindDaemon(const QString &sImage)
{
    const QList<qint64> pids = TestTools::ProcessIds();
    for (const qint64 nPid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(nPid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = cmdline.readAll().split('\0');
        if (!args.isEmpty() &&
            QFileInfo(QFile::decodeName(args.first())).fileName() == QLatin1String("fusefat") &&
            args.contains(QFile::encodeName(sImage)))
            return nPid;
    }
    return 0;
}
} // namespace

FatDisk::FatDisk(const QString &sImage, const QString &sFolder)
    : m_sFolder(sFolder), m_sImage(sImage)
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
    if (!IsMounted())
        return;
    Resume();
    TestTools::Unmount(m_sFolder);
}

bool FatDisk::Pause()
{
    if (m_nDaemon == 0)
        m_nDaemon = FindDaemon(m_sImage);
    return m_nDaemon != 0 && ::kill(static_cast<pid_t>(m_nDaemon), SIGSTOP) == 0;
}

bool FatDisk::Resume()
{
    return m_nDaemon != 0 && ::kill(static_cast<pid_t>(m_nDaemon), SIGCONT) == 0;
}
