#include "platform/DiskVolume.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <unordered_set>

namespace
{

// File system magic numbers (linux/magic.h) of the kinds that always fold case.
const long kMsdosMagic = 0x4d44;
const long kExfatMagic = 0x2011bab0;

QByteArray NativePath(const std::string &sPath)
{
    return QFile::encodeName(QString::fromUtf8(sPath.data(), int(sPath.size())));
}

struct DirCloser {
    void operator()(DIR *pDir) const { closedir(pDir); }
};

struct Descriptor {
    int fd;
    explicit Descriptor(int nFd) : fd(nFd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
};

std::string SwapCase(const std::string &sName)
{
    std::string sSwapped = sName;
    for (char &c : sSwapped) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return sSwapped;
}

// NTFS and FUSE file systems fold case or not depending on how they were
// mounted: ask the folder. An entry whose name, spelt in the other case, is
// found although the folder does not list it shows folding; an entry listed
// in both spellings, or not found in the other, shows that case counts.
bool ProbeIgnoresCase(const QByteArray &baFolder)
{
    std::unique_ptr<DIR, DirCloser> pDir(opendir(baFolder.constData()));
    if (!pDir)
        return false;
    std::unordered_set<std::string> names;
    std::string sCandidate;
    while (const dirent *pEntry = readdir(pDir.get())) {
        const std::string sName = pEntry->d_name;
        names.insert(sName);
        if (sCandidate.empty() && SwapCase(sName) != sName)
            sCandidate = sName;
    }
    if (sCandidate.empty())
        return false; // nothing to tell by
    const std::string sSwapped = SwapCase(sCandidate);
    if (names.count(sSwapped) != 0)
        return false;
    struct stat info = {};
    const std::string sPath = std::string(baFolder.constData()) + '/' + sSwapped;
    return lstat(sPath.c_str(), &info) == 0;
}

} // namespace

bool VolumeIdOf(const std::string &sPath, std::uint64_t *pId)
{
    struct stat info = {};
    if (stat(NativePath(sPath).constData(), &info) != 0)
        return false;
    *pId = std::uint64_t(info.st_dev);
    return true;
}

bool NamesIgnoreCase(const std::string &sFolder)
{
    const QByteArray baFolder = NativePath(sFolder);
    struct statfs info = {};
    if (statfs(baFolder.constData(), &info) != 0)
        return false;
    if (long(info.f_type) == kMsdosMagic || long(info.f_type) == kExfatMagic)
        return true;
    return ProbeIgnoresCase(baFolder);
}

bool FlushFolder(const std::string &sFolder)
{
    const Descriptor folder(
        open(NativePath(sFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0)
        return false;
    return fsync(folder.fd) == 0;
}
