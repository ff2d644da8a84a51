#include "app/Language.h"

#include "app/Settings.h"

#include <QCoreApplication>
#include <QTranslator>

namespace
{
QTranslator g_appTranslator;
}

QTranslator &AppTranslator()
{
    return g_appTranslator;
}

void ApplyStoredLanguage()
{
    QCoreApplication::removeTranslator(&g_appTranslator);
    const QString sResource = LanguageResource(LanguageSetting());
    if (sResource.isEmpty() || !g_appTranslator.load(sResource)) {
        // load() drops what was loaded before; a failed load of nothing leaves
        // the translator empty, so an earlier language does not linger.
        (void)g_appTranslator.load(QString());
    }
    QCoreApplication::installTranslator(&g_appTranslator);
}
