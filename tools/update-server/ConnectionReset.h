#pragma once
#include <cstddef>

// Resets (TCP RST) the server's own accepted connection between nLocalPort and
// the peer's nRemotePort, so that the client sees "connection reset by peer"
// instead of an orderly close. Returns false when no such socket was found.
bool ResetConnection(int nLocalPort, int nRemotePort);

// Waits until everything written to that connection has been taken by the
// peer (nothing waits in the send queue), at most nMaxMs milliseconds; false
// when it did not come to that, or the socket was not found.
bool WaitUntilSent(int nLocalPort, int nRemotePort, int nMaxMs);

// The server's own accepted connection between nLocalPort and the peer's
// nRemotePort, as a socket descriptor the library still owns; -1 when there
// is none.
int FindConnection(int nLocalPort, int nRemotePort);

// Sends all of pData on that socket, waiting (at most 5 s at a time) while
// its send buffer is full; false when the connection failed.
bool SendAll(int fd, const char *pData, size_t nLength);

// Ends the server's side of the connection (FIN): the peer reads to the end
// of what was sent. Later writes of the library fail; it closes the socket.
void EndSending(int fd);
