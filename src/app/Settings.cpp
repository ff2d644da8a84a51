#include "app/Settings.h"

#include <QSettings>

namespace
{
const char *const kConfigFile = "config.ini";
}

int LanguageSetting()
{
    QSettings settings(kConfigFile, QSettings::IniFormat);
    return settings.value("config/language", 0).toInt();
}

void StoreLanguageSetting(int nPos)
{
    QSettings settings(kConfigFile, QSettings::IniFormat);
    settings.setValue("config/language", nPos);
}

bool TestSetting()
{
    QSettings settings(kConfigFile, QSettings::IniFormat);
    return settings.value("config/test", false).toBool();
}

bool DataPagesSetting()
{
    QSettings settings(kConfigFile, QSettings::IniFormat);
    return settings.value("config/datapages", false).toBool();
}

QString LanguageResource(int nPos)
{
    switch (nPos) {
    case 0:
        return QStringLiteral(":/other/cn.qm");
    case 1:
        return QStringLiteral(":/other/tc.qm");
    case 2:
        return QStringLiteral(":/other/en.qm");
    default:
        return QString();
    }
}

QString QtTranslationFile(int nPos)
{
    switch (nPos) {
    case 0:
        return QStringLiteral("qtbase_zh_CN.qm");
    case 1:
        return QStringLiteral("qtbase_zh_TW.qm");
    default:
        return QString();
    }
}
