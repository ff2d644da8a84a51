#pragma once
// Resets (TCP RST) the server's own accepted connection between nLocalPort and
// the peer's nRemotePort, so that the client sees "connection reset by peer"
// instead of an orderly close. Returns false when no such socket was found.
bool ResetConnection(int nLocalPort, int nRemotePort);
