#include "platform/ProxySettingsStore.h"

std::unique_ptr<QSettings> OpenProxySettingsStore()
{
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Norvale\\proxy"), QSettings::NativeFormat);
}
