#include "platform/FileInUse.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// An advisory lock (flock) held for as long as the transfer's file is open.
// It belongs to the open file, so a second opening, even in this process,
// sees it.

bool MarkFileInUse(int nHandle)
{
    return nHandle >= 0 && flock(nHandle, LOCK_EX | LOCK_NB) == 0;
}

bool RemoveFileIfUnused(const std::string &sPath)
{
    const QByteArray baPath = QFile::encodeName(QString::fromUtf8(sPath.data(), int(sPath.size())));
    // Not followed if it is a link; not waited for if it is a pipe.
    const int nFd = open(baPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0)
        return errno == ELOOP && unlink(baPath.constData()) == 0;
    bool bRemoved = false;
    if (flock(nFd, LOCK_EX | LOCK_NB) == 0)
        bRemoved = unlink(baPath.constData()) == 0;
    close(nFd);
    return bRemoved;
}
