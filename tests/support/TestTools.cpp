#include "TestTools.h"

#include <QDir>
#include <QProcess>

namespace TestTools
{

QString RunTool(const QString &sProgram, const QStringList &slArgs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(sProgram, slArgs);
    if (!process.waitForFinished(30000))
        return QStringLiteral("%1 did not finish").arg(sProgram);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString::fromLocal8Bit(process.readAll()).trimmed() +
               QStringLiteral(" (exit %1)").arg(process.exitCode());
    return QString();
}

QString MountTmpfs(const QString &sFolder)
{
    return RunTool(QStringLiteral("mount"),
                   {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                    QStringLiteral("size=64k"), QStringLiteral("tmpfs"), sFolder});
}

QString Unmount(const QString &sFolder)
{
    return RunTool(QStringLiteral("umount"), {sFolder});
}

QList<qint64> ProcessIds()
{
    QList<qint64> pids;
    const QStringList slEntries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &sEntry : slEntries) {
        bool bNumber = false;
        const qint64 nPid = sEntry.toLongLong(&bNumber);
        if (bNumber)
            pids << nPid;
    }
    return pids;
}

} // namespace TestTools
