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

} // namespace

std::string InstanceServerName(const std::string &sTempDir, const std::string &sName)
{
    if (sTempDir.empty() || sName.empty() || sName.find('/') != std::string::npos)
        return std::string();
    const std::string sFolder =
        sTempDir + "/updateassist-" + std::to_string(static_cast<unsigned long>(::geteuid()));
    if (::mkdir(sFolder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    if (!IsPrivateFolder(sFolder))
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
