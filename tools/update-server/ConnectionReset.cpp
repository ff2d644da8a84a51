#include "ConnectionReset.h"

#include <netinet/in.h>
#include <sys/socket.h>
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

bool ResetConnection(int nLocalPort, int nRemotePort)
{
    // The HTTP library does not expose the socket of a request, so find it
    // among the process's descriptors by its two ports.
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
        if (PortOf(local) != nLocalPort || PortOf(peer) != nRemotePort)
            continue;
        // Disconnecting a connected TCP socket with AF_UNSPEC aborts it with
        // a reset; the library's later close then finds nothing to send.
        sockaddr unspec{};
        unspec.sa_family = AF_UNSPEC;
        return connect(fd, &unspec, sizeof(unspec)) == 0;
    }
    return false;
}
