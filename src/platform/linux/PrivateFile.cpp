#include "platform/PrivateFile.h"

#include "platform/linux/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Creates the missing folders above sPath, each for the user alone (as the XDG folders are).
void MakeParentFolders(const std::string &sPath)
{
    for (std::size_t nSlash = sPath.find('/', 1); nSlash != std::string::npos;
         nSlash = sPath.find('/', nSlash + 1)) {
        const std::string sFolder = sPath.substr(0, nSlash);
        if (::mkdir(sFolder.c_str(), 0700) != 0 && errno != EEXIST)
            return;
    }
}

int OpenPrivate(const std::string &sPath)
{
    // Not following links: the secret goes where the name says, not where a link points.
    return ::open(sPath.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
}

} // namespace

bool PreparePrivateFile(const std::string &sPath)
{
    int nFd = OpenPrivate(sPath);
    if (nFd < 0 && errno == ENOENT) {
        MakeParentFolders(sPath);
        nFd = OpenPrivate(sPath);
    }
    const FileDescriptor fd(nFd);
    if (fd.Get() < 0)
        return false;
    struct stat st = {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 07777) == 0600 || ::fchmod(fd.Get(), 0600) == 0;
}
