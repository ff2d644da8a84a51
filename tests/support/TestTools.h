#pragma once
// System tools the tests call, and the real file systems they mount.

#include <QList>
#include <QString>
#include <QStringList>

namespace TestTools
{

// Runs sProgram; the empty text on success, else what went wrong.
QString RunTool(const QString &sProgram, const QStringList &slArgs);

// Mounts a 64 KiB tmpfs on the folder sFolder; the empty text on success, else
// why not (mounting is not permitted everywhere: callers skip then).
QString MountTmpfs(const QString &sFolder);

// Unmounts what MountTmpfs mounted; the empty text on success.
QString Unmount(const QString &sFolder);

// The ids of the processes running now, as /proc lists them (none where there
// is no /proc).
QList<qint64> ProcessIds();

} // namespace TestTools
