#include "platform/InstanceGuard.h"
#include "platform/win/WideText.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

namespace
{

constexpr DWORD kLockWaitMs = 10000;

// The string form of the running user's SID ("S-1-5-21-..."), empty when unknown.
std::string UserSid()
{
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return std::string();
    DWORD nSize = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &nSize);
    std::vector<unsigned char> buffer(nSize > 0 ? nSize : 1);
    std::string sSid;
    if (nSize > 0 && GetTokenInformation(hToken, TokenUser, buffer.data(), nSize, &nSize)) {
        const auto *pUser = reinterpret_cast<const TOKEN_USER *>(buffer.data());
        LPSTR pszSid = nullptr;
        if (ConvertSidToStringSidA(pUser->User.Sid, &pszSid)) {
            sSid = pszSid;
            LocalFree(pszSid);
        }
    }
    CloseHandle(hToken);
    return sSid;
}

} // namespace

std::string InstanceServerName(const std::string & /*sRuntimeDir*/,
                               const std::string & /*sTempDir*/, const std::string &sName)
{
    // Pipe names are shared by every session and user of the machine.
    const std::string sSid = UserSid();
    if (sName.empty() || sSid.empty())
        return std::string();
    return sName + "-" + sSid;
}

InstanceLock::InstanceLock(const std::string &sServerName)
{
    if (sServerName.empty())
        return;
    // Object names may not contain backslashes; the server name has none.
    const std::wstring sMutex = L"Local\\" + WideFromUtf8(sServerName) + L".lock";
    HANDLE hMutex = CreateMutexW(nullptr, FALSE, sMutex.c_str());
    if (hMutex == nullptr)
        return;
    m_nHandle = reinterpret_cast<std::intptr_t>(hMutex);
    const DWORD nWait = WaitForSingleObject(hMutex, kLockWaitMs);
    // An abandoned mutex (its holder died) is ours all the same.
    m_bLocked = nWait == WAIT_OBJECT_0 || nWait == WAIT_ABANDONED;
}

InstanceLock::~InstanceLock()
{
    if (m_nHandle == -1)
        return;
    const auto hMutex = reinterpret_cast<HANDLE>(m_nHandle);
    if (m_bLocked)
        ReleaseMutex(hMutex);
    CloseHandle(hMutex);
}
