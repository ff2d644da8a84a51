#include "app/Language.h"

#include "app/Settings.h"

#include <QCoreApplication>
#include <QTranslator>

QTranslator &AppTranslator()
{
    static QTranslator translator;
    return translator;
}

namespace
{
// Created (empty) before main().
QTranslator &g_appTranslator = AppTranslator();
} // namespace

void ApplyStoredLanguage()
{
    QCoreApplication::removeTranslator(&g_appTranslator);
    const QString sResource = LanguageResource(LanguageSetting());
    if (sResource.isEmpty() || !g_appTranslator.load(sResource)) {
        // Loading empty data drops what was loaded before, so an earlier
        // language does not linger.
        static const uchar kNoData[1] = {0};
        (void)g_appTranslator.load(kNoData, 0);
    }
    QCoreApplication::installTranslator(&g_appTranslator);
}
