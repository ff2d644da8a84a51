#pragma once
// Blocking HTTP transfers on libcurl. Every transfer of the process joins one
// libcurl share object (SharedCookieStore): it holds the cookie jar, so a
// cookie set in one response goes out with all later requests, and the DNS
// cache. Open connections are not shared: libcurl does not support sharing
// them between concurrent threads, so a caller that wants reuse keeps one
// handle on its own thread (HttpPost itself never leaves a connection behind).

#include "net/ProxyInfo.h"

#include <QByteArray>
#include <QString>
#include <curl/curl.h>

// Sends baBody unchanged as a POST to sUrl (percent-encoded first) and returns
// the response body; empty when libcurl failed. nStatus is the HTTP status of
// the last attempt (0 when no response came). Receive errors are retried, 11
// attempts in all, within the command's time budget (TransferTimeouts). pProxy
// null = direct connection. Any thread.
QByteArray HttpPost(const QString &sUrl, const QByteArray &baBody, const ProxyInfo *pProxy,
                    int &nStatus);

// Attaches a transfer handle to SharedCookieStore (cookies and DNS cache).
void AttachSharedCookies(CURL *pHandle);
// Empties the cookie jar of SharedCookieStore: after signing out no request may
// still carry the session of the account before.
void ForgetSharedCookies();

// Sets the proxy options on a handle. The credentials are always set, ":" when
// account and password are empty. pProxy null makes the handle connect
// directly, whatever proxy the environment names.
void ApplyProxy(CURL *pHandle, const ProxyInfo *pProxy);

// A connection that cannot be made in nConnectMs, or a transfer that receives
// fewer than nLowSpeedBytes per second for nLowSpeedSeconds, fails. Without
// these, a server that accepts and never answers would block a caller for ever.
// A server that sends a little now and then passes that test, so a command
// (all its attempts) also ends once nCommandMs and nCommandMsPerKiB for every
// KiB received have passed (a long reply on a slow line gets the time it needs,
// an endless trickle does not), and a file transfer of the downloader fails when
// it receives fewer than nFileWindowBytes in nFileWindowSeconds.
struct TransferTimeouts {
    long nConnectMs = 15000;
    long nLowSpeedSeconds = 60;
    long nLowSpeedBytes = 1;
    long nCommandMs = 120000;
    long nCommandMsPerKiB = 1000;
    long nFileWindowSeconds = 60;
    long nFileWindowBytes = 1024;
};
TransferTimeouts CurrentTransferTimeouts();
// Tests shorten them; applies to transfers started afterwards.
void SetTransferTimeouts(const TransferTimeouts &timeouts);
// Sets the connect time-out and the low-speed abort on a handle.
void ApplyTransferTimeouts(CURL *pHandle);

// Lets the handle speak only HTTP and HTTPS, for its URL and for redirects:
// a URL from the server must not reach other services through libcurl's other
// protocols.
void AllowOnlyHttp(CURL *pHandle);

// The URL as libcurl should see it: parsed tolerantly, fully percent-encoded.
QByteArray EncodedUrl(const QString &sUrl);
