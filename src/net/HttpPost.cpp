#include "net/HttpPost.h"

#include <QUrl>
#include <array>
#include <chrono>
#include <memory>
#include <mutex>

namespace
{

// One mutex per kind of shared data, as libcurl's share interface asks for.
std::array<std::mutex, CURL_LOCK_DATA_LAST> &ShareMutexes()
{
    static std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes;
    return mutexes;
}

void LockShare(CURL *, curl_lock_data data, curl_lock_access, void *)
{
    ShareMutexes()[static_cast<size_t>(data) % CURL_LOCK_DATA_LAST].lock();
}

void UnlockShare(CURL *, curl_lock_data data, void *)
{
    ShareMutexes()[static_cast<size_t>(data) % CURL_LOCK_DATA_LAST].unlock();
}

// Created on first use (thread-safe static initialisation) and kept for the
// life of the process.
CURLSH *SharedCookieStore()
{
    static CURLSH *const pShare = [] {
        CURLSH *pNew = curl_share_init();
        if (pNew == nullptr)
            return pNew;
        curl_share_setopt(pNew, CURLSHOPT_LOCKFUNC, LockShare);
        curl_share_setopt(pNew, CURLSHOPT_UNLOCKFUNC, UnlockShare);
        curl_share_setopt(pNew, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(pNew, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        return pNew;
    }();
    return pShare;
}

std::mutex &TimeoutMutex()
{
    static std::mutex mutex;
    return mutex;
}

TransferTimeouts &TimeoutSlot()
{
    static TransferTimeouts timeouts;
    return timeouts;
}

// Command replies are small; a server that sends without end is cut off
// (the transfer then fails) instead of filling the memory.
const qint64 kMaxResponse = 64 * 1024 * 1024;

size_t AppendToBuffer(char *pData, size_t nSize, size_t nCount, void *pUser)
{
    auto *pBuffer = static_cast<QByteArray *>(pUser);
    const size_t nBytes = nSize * nCount;
    if (pBuffer->size() + static_cast<qint64>(nBytes) > kMaxResponse)
        return 0;
    pBuffer->append(pData, static_cast<int>(nBytes));
    return nBytes;
}

struct EasyDeleter {
    void operator()(CURL *pHandle) const { curl_easy_cleanup(pHandle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

const int kMaxAttempts = 11;

// A command's time limit, over all its attempts: nBaseMs, and nMsPerKiB more for
// every KiB the server has sent. A slow server that keeps sending gets the time
// its reply needs; one that trickles without end still reaches the limit.
class CommandBudget
{
public:
    explicit CommandBudget(const TransferTimeouts &timeouts)
        : start(std::chrono::steady_clock::now()), nBaseMs(timeouts.nCommandMs),
          nMsPerKiB(timeouts.nCommandMsPerKiB)
    {
    }
    // The bytes of the attempt that runs; the earlier ones are kept by NextAttempt.
    void SetAttemptBytes(curl_off_t nBytes) { nAttemptBytes = nBytes; }
    void NextAttempt()
    {
        nEarlierBytes += nAttemptBytes;
        nAttemptBytes = 0;
    }
    bool Spent() const
    {
        const qint64 nBytes = qint64(nEarlierBytes + nAttemptBytes);
        const qint64 nAllowedMs = qint64(nBaseMs) + nBytes * qint64(nMsPerKiB) / 1024;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() >= nAllowedMs;
    }

private:
    std::chrono::steady_clock::time_point start;
    long nBaseMs;
    long nMsPerKiB;
    curl_off_t nEarlierBytes = 0;
    curl_off_t nAttemptBytes = 0;
};

// libcurl calls it often while data moves and about once a second while none
// does; a non-zero result ends the transfer.
int CheckBudget(void *pUser, curl_off_t, curl_off_t nReceived, curl_off_t, curl_off_t)
{
    auto *pBudget = static_cast<CommandBudget *>(pUser);
    pBudget->SetAttemptBytes(nReceived);
    return pBudget->Spent() ? 1 : 0;
}

} // namespace

void AttachSharedCookies(CURL *pHandle)
{
    if (pHandle == nullptr)
        return;
    curl_easy_setopt(pHandle, CURLOPT_SHARE, SharedCookieStore());
    // Joining a share does not switch the handle's cookie engine on; an empty
    // cookie file name does, without reading any file.
    curl_easy_setopt(pHandle, CURLOPT_COOKIEFILE, "");
}

void ForgetSharedCookies()
{
    EasyHandle pHandle(curl_easy_init());
    if (!pHandle)
        return;
    // On a handle that joined the share, the cookie list is the shared one.
    curl_easy_setopt(pHandle.get(), CURLOPT_SHARE, SharedCookieStore());
    curl_easy_setopt(pHandle.get(), CURLOPT_COOKIELIST, "ALL");
}

void ApplyProxy(CURL *pHandle, const ProxyInfo *pProxy)
{
    if (pHandle == nullptr)
        return;
    if (pProxy == nullptr) {
        // Direct means direct: no proxy taken from the environment either.
        curl_easy_setopt(pHandle, CURLOPT_PROXY, "");
        return;
    }
    const QByteArray baProxy =
        QStringLiteral("%1:%2").arg(pProxy->sAddress).arg(pProxy->nPort).toLocal8Bit();
    const QByteArray baUserPwd =
        QStringLiteral("%1:%2").arg(pProxy->sAccount, pProxy->sPassword).toLocal8Bit();
    // libcurl copies string options, so the temporaries may go.
    curl_easy_setopt(pHandle, CURLOPT_PROXY, baProxy.constData());
    curl_easy_setopt(pHandle, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    curl_easy_setopt(pHandle, CURLOPT_PROXYUSERPWD, baUserPwd.constData());
}

TransferTimeouts CurrentTransferTimeouts()
{
    std::lock_guard<std::mutex> lock(TimeoutMutex());
    return TimeoutSlot();
}

void SetTransferTimeouts(const TransferTimeouts &timeouts)
{
    std::lock_guard<std::mutex> lock(TimeoutMutex());
    TimeoutSlot() = timeouts;
}

void ApplyTransferTimeouts(CURL *pHandle)
{
    if (pHandle == nullptr)
        return;
    const TransferTimeouts timeouts = CurrentTransferTimeouts();
    curl_easy_setopt(pHandle, CURLOPT_CONNECTTIMEOUT_MS, timeouts.nConnectMs);
    curl_easy_setopt(pHandle, CURLOPT_LOW_SPEED_TIME, timeouts.nLowSpeedSeconds);
    curl_easy_setopt(pHandle, CURLOPT_LOW_SPEED_LIMIT, timeouts.nLowSpeedBytes);
}

void AllowOnlyHttp(CURL *pHandle)
{
    if (pHandle == nullptr)
        return;
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(pHandle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pHandle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(pHandle, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(pHandle, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    // Without a scheme libcurl would guess one from the host name ("ftp.").
    curl_easy_setopt(pHandle, CURLOPT_DEFAULT_PROTOCOL, "http");
}

QByteArray EncodedUrl(const QString &sUrl)
{
    return QUrl(sUrl, QUrl::TolerantMode).toEncoded(QUrl::FullyEncoded);
}

QByteArray HttpPost(const QString &sUrl, const QByteArray &baBody, const ProxyInfo *pProxy,
                    int &nStatus)
{
    EasyHandle pHandle(curl_easy_init());
    if (!pHandle)
        return QByteArray();
    CURL *const pCurl = pHandle.get();

    QByteArray baResponse;
    const QByteArray baUrl = EncodedUrl(sUrl);
    AttachSharedCookies(pCurl);
    curl_easy_setopt(pCurl, CURLOPT_URL, baUrl.constData());
    curl_easy_setopt(pCurl, CURLOPT_POSTFIELDS, baBody.constData());
    curl_easy_setopt(pCurl, CURLOPT_POSTFIELDSIZE, static_cast<long>(baBody.size()));
    curl_easy_setopt(pCurl, CURLOPT_POST, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, AppendToBuffer);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &baResponse);
    // A command's connection ends with the command; the shared connection
    // cache is for the file downloads.
    curl_easy_setopt(pCurl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(pCurl, CURLOPT_FORBID_REUSE, 1L);
    AllowOnlyHttp(pCurl);
    ApplyTransferTimeouts(pCurl);
    ApplyProxy(pCurl, pProxy);

    // A server that sends nothing for a while is dropped by the low-speed test;
    // one that sends a little now and then by the command's budget, which grows
    // with what arrives, so a long reply on a slow line still comes whole.
    CommandBudget budget(CurrentTransferTimeouts());
    curl_easy_setopt(pCurl, CURLOPT_XFERINFOFUNCTION, CheckBudget);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFODATA, &budget);
    curl_easy_setopt(pCurl, CURLOPT_NOPROGRESS, 0L);
    CURLcode nResult = CURLE_OPERATION_TIMEDOUT;
    for (int nAttempt = 0; nAttempt < kMaxAttempts; ++nAttempt) {
        budget.NextAttempt();
        if (budget.Spent())
            break;
        baResponse.clear();
        nResult = curl_easy_perform(pCurl);
        long nCode = 0;
        curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &nCode);
        nStatus = static_cast<int>(nCode);
        if (nResult != CURLE_RECV_ERROR)
            break;
    }
    if (nResult != CURLE_OK)
        return QByteArray();
    return baResponse;
}
