#include "platform/FileInUse.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

struct DirCloser {
    void operator()(DIR *pDir) const { closedir(pDir); }
};

// Whether one of this process's open files is the file sPath names. Asked
// only of leftovers, which are rare: the transfers themselves pay nothing.
bool OpenInThisProcess(const struct stat &file)
{
    std::unique_ptr<DIR, DirCloser> pFds(opendir("/proc/self/fd"));
    if (!pFds)
        return true; // cannot tell: keep it
    const int nOwn = dirfd(pFds.get());
    while (const dirent *pEntry = readdir(pFds.get())) {
        char *pEnd = nullptr;
        const long nFd = std::strtol(pEntry->d_name, &pEnd, 10);
        if (pEnd == pEntry->d_name || *pEnd != '\0' || nFd == nOwn)
            continue;
        struct stat open = {};
        if (fstat(int(nFd), &open) == 0 && open.st_dev == file.st_dev && open.st_ino == file.st_ino)
            return true;
    }
    return false;
}

} // namespace

bool RemoveFileIfUnused(const std::string &sPath)
{
    const QByteArray baPath = QFile::encodeName(QString::fromUtf8(sPath.data(), int(sPath.size())));
    struct stat file = {};
    if (lstat(baPath.constData(), &file) != 0)
        return false;
    // A link (no transfer makes one) goes without its target being looked at.
    if (!S_ISLNK(file.st_mode) && OpenInThisProcess(file))
        return false;
    return unlink(baPath.constData()) == 0;
}
