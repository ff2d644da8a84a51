#include "platform/ProxySettingsStore.h"

std::unique_ptr<QSettings> OpenProxySettingsStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Norvale"), QStringLiteral("proxy"));
}
