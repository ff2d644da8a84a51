#pragma once
// The HTTP proxy that transfers go through. The active record is replaced on
// the GUI thread while transfers run on workers, so readers take a snapshot
// (a shared pointer) when a transfer starts and keep it to its end.

#include <QString>
#include <memory>

struct ProxyInfo {
    QString sAddress;
    int nPort = 8080;
    QString sAccount;
    QString sPassword;
};

// Snapshot of the proxy in use; null means direct connections. Safe from any thread.
std::shared_ptr<const ProxyInfo> ActiveProxy();
void SetActiveProxy(std::shared_ptr<const ProxyInfo> pProxy);

// Start-up step: builds the active proxy from the stored settings.
void LoadActiveProxy();
