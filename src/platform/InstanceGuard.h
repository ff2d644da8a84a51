#pragma once
// Where the single-instance guard of one user's copies meets, and the lock that lets one copy at
// a time decide whether it is the first. Other users' copies never share either.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <cstdint>
#include <string>

// The local server name of the running user's copies of the program sName (its executable's
// file name), for QLocalServer and QLocalSocket; empty when no place is safe for it.
// Linux: "<sRuntimeDir>/updateassist/<sName>" in the user's runtime folder ($XDG_RUNTIME_DIR,
// where only its user can make entries) when that is an absolute path to a folder of the user
// closed to others; otherwise "<sTempDir>/updateassist-<uid>/<sName>". The folder is created
// with mode 0700; one that belongs to someone else, is a link or is open to others is never
// used (another user could otherwise answer for our copies or squat the name). In the shared
// temporary folder another user can make that folder first, and then no place is safe.
// Windows: "<sName>-<the user's SID>", a named pipe; the folders are not used.
std::string InstanceServerName(const std::string &sRuntimeDir, const std::string &sTempDir,
                               const std::string &sName);

// An exclusive lock on the server name sServerName, held while the object lives: a file lock on
// "<sServerName>.lock" (Linux), a session-wide named mutex (Windows). Waits up to 10 s for a
// copy that holds it; Locked() is false when the lock could not be had.
class InstanceLock
{
public:
    explicit InstanceLock(const std::string &sServerName);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;
    bool Locked() const { return m_bLocked; }

private:
    std::intptr_t m_nHandle = -1;
    bool m_bLocked = false;
};
