#pragma once
// Resets (TCP RST) the server's own accepted connection between nLocalPort and
// the peer's nRemotePort, so that the client sees "connection reset by peer"
// instead of an orderly close. Returns false when no such socket was found.
bool ResetConnection(int nLocalPort, int nRemotePort);

// Waits until everything written to that connection has been taken by the
// peer (nothing waits in the send queue), at most nMaxMs milliseconds; false
// when it did not come to that, or the socket was not found.
bool WaitUntilSent(int nLocalPort, int nRemotePort, int nMaxMs);
