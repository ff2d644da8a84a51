#include "ConnectionReset.h"

#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
int PortOf(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return -1;
}

} // namespace

// The HTTP library does not expose the socket of a request, so find it among
// the process's descriptors by its two ports.
int FindConnection(int nLocalPort, int nRemotePort)
{
    const long nMax = sysconf(_SC_OPEN_MAX);
    for (int fd = 0; fd < nMax && fd < 65536; ++fd) {
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t nLocal = sizeof(local);
        socklen_t nPeer = sizeof(peer);
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &nLocal) != 0)
            continue;
        if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &nPeer) != 0)
            continue;
        if (PortOf(local) == nLocalPort && PortOf(peer) == nRemotePort)
            return fd;
    }
    return -1;
}

bool ResetConnection(int nLocalPort, int nRemotePort)
{
    const int fd = FindConnection(nLocalPort, nRemotePort);
    if (fd < 0)
        return false;
    // Disconnecting a connected TCP socket with AF_UNSPEC aborts it with a
    // reset; the library's later close then finds nothing to send.
    sockaddr unspec{};
    unspec.sa_family = AF_UNSPEC;
    return connect(fd, &unspec, sizeof(unspec)) == 0;
}

bool WaitUntilSent(int nLocalPort, int nRemotePort, int nMaxMs)
{
    const int fd = FindConnection(nLocalPort, nRemotePort);
    if (fd < 0)
        return false;
    for (int nWaited = 0;; nWaited += 5) {
        int nQueued = 0;
        if (ioctl(fd, SIOCOUTQ, &nQueued) != 0)
            return false;
        if (nQueued == 0)
            return true;
        if (nWaited >= nMaxMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool SendAll(int fd, const char *pData, size_t nLength)
{
    while (nLength > 0) {
        pollfd ready{fd, POLLOUT, 0};
        if (poll(&ready, 1, 5000) <= 0)
            return false;
        const ssize_t nSent = send(fd, pData, nLength, MSG_NOSIGNAL);
        if (nSent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return false;
        }
        pData += nSent;
        nLength -= size_t(nSent);
    }
    return true;
}

void EndSending(int fd)
{
    shutdown(fd, SHUT_WR);
}
