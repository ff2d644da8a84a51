#pragma once
// Where the proxy settings live: the per-user native settings store
// (HKEY_CURRENT_USER\Software\Norvale\proxy on Windows, Norvale/proxy.conf
// in the user's configuration folder elsewhere).

#include "net/ProxyInfo.h"

namespace ProxyStore
{

struct Values {
    int nUseProxy = 0;
    ProxyInfo proxy;
};

// Missing values take their defaults: not used, empty address, port 8080,
// empty account and password.
Values Read();
// Writes "useproxy" and, when bUseProxy is set, the other values as well
// (trimmed; a port that is not a number is stored as 0). The other values are
// kept when the proxy is switched off, so they reappear in the window. A settings
// file is made readable by the user alone before anything is written; when it
// cannot be (a link, another user's file) nothing is written.
void Write(bool bUseProxy, const QString &sAddress, const QString &sPort, const QString &sAccount,
           const QString &sPassword);

} // namespace ProxyStore
