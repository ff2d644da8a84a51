#include "app/Language.h"

#include "app/Settings.h"
#include "app/WorkingFolder.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace
{

// Qt's texts are under GPL terms: they are read from the system at run time,
// never compiled into the program.
class LanguageTranslator : public QTranslator
{
public:
    QTranslator qtTexts;

    QString translate(const char *pContext, const char *pSource, const char *pDisambiguation,
                      int n) const override
    {
        const QString sOwn = QTranslator::translate(pContext, pSource, pDisambiguation, n);
        if (!sOwn.isEmpty())
            return sOwn;
        return qtTexts.translate(pContext, pSource, pDisambiguation, n);
    }
    bool isEmpty() const override { return QTranslator::isEmpty() && qtTexts.isEmpty(); }
};

LanguageTranslator &Translator()
{
    static LanguageTranslator translator;
    return translator;
}

// Created (empty) before main().
QTranslator &g_appTranslator = AppTranslator();

// Loading empty data drops what was loaded before, so an earlier language does
// not linger.
void Unload(QTranslator &translator)
{
    static const uchar kNoData[1] = {0};
    (void)translator.load(kNoData, 0);
}

bool LoadQtTexts(QTranslator &translator, const QString &sFile)
{
    if (sFile.isEmpty())
        return false;
    const QStringList slFolders = QtTranslationFolders();
    for (const QString &sFolder : slFolders) {
        if (translator.load(sFile, sFolder))
            return true;
    }
    return false;
}

} // namespace

QTranslator &AppTranslator()
{
    return Translator();
}

QStringList QtTranslationFolders()
{
    return {ProgramFolder() + QStringLiteral("/translations"),
            QLibraryInfo::location(QLibraryInfo::TranslationsPath)};
}

void ApplyStoredLanguage()
{
    QCoreApplication::removeTranslator(&g_appTranslator);
    const int nLanguage = LanguageSetting();
    const QString sResource = LanguageResource(nLanguage);
    if (sResource.isEmpty() || !g_appTranslator.load(sResource))
        Unload(g_appTranslator);
    if (!LoadQtTexts(Translator().qtTexts, QtTranslationFile(nLanguage)))
        Unload(Translator().qtTexts);
    QCoreApplication::installTranslator(&g_appTranslator);
}
