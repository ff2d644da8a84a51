#include "platform/InstanceGuard.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

// Ours alone: a real folder (not a link), owned by us, closed to group and others.
bool IsPrivateFolder(const std::string &sFolder)
{
    struct stat st = {};
    if (::lstat(sFolder.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// The user's runtime folder: named by an absolute path, ours and closed to others. Only its
// user can make entries in it, so nobody else can take our folder's name there first.
bool IsOwnRuntimeFolder(const std::string &sFolder)
{
    if (sFolder.empty() || sFolder.front() != '/')
        return false;
    struct stat st = {};
    if (::stat(sFolder.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// sFolder, made if needed; empty unless it is private.
std::string MadePrivate(const std::string &sFolder)
{
    if (::mkdir(sFolder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    return IsPrivateFolder(sFolder) ? sFolder : std::string();
}

std::string GuardFolder(const std::string &sRuntimeDir, const std::string &sTempDir)
{
    if (IsOwnRuntimeFolder(sRuntimeDir)) {
        const std::string sFolder = MadePrivate(sRuntimeDir + "/updateassist");
        if (!sFolder.empty())
            return sFolder;
    }
    // Shared by all users: another one may have taken the name, and then it is not used.
    if (sTempDir.empty())
        return std::string();
    return MadePrivate(sTempDir + "/updateassist-" +
                       std::to_string(static_cast<unsigned long>(::geteuid())));
}

} // namespace

std::string InstanceServerName(const std::string &sRuntimeDir, const std::string &sTempDir,
                               const std::string &sName)
{
    if (sName.empty() || sName.find('/') != std::string::npos)
        return std::string();
    const std::string sFolder = GuardFolder(sRuntimeDir, sTempDir);
    if (sFolder.empty())
        return std::string();
    return sFolder + "/" + sName;
}

InstanceLock::InstanceLock(const std::string &sServerName)
{
    if (sServerName.empty())
        return;
    const std::string sLockFile = sServerName + ".lock";
    const int nFd = ::open(sLockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (nFd < 0)
        return;
    m_nHandle = nFd;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (::flock(nFd, LOCK_EX | LOCK_NB) == 0) {
            m_bLocked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(kLockRetry);
    }
}

InstanceLock::~InstanceLock()
{
    if (m_nHandle < 0)
        return;
    // Closing the descriptor releases the lock; the file stays for the next start.
    ::close(static_cast<int>(m_nHandle));
}
