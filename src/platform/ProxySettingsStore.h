#pragma once
// Where the proxy settings are kept: the user's native settings store, the
// registry key "HKEY_CURRENT_USER\Software\Norvale\proxy" on Windows,
// Norvale/proxy.conf in the user's configuration folder elsewhere.

#include <QSettings>
#include <memory>

std::unique_ptr<QSettings> OpenProxySettingsStore();
