#pragma once
#include <QStringList>

class QTranslator;

// The application's one translator, created empty before main(). Behind the
// program's own texts it carries Qt's texts in the same language, where the
// system has them (Debian: qttranslations5-l10n), so that Qt's dialogs speak
// the language of the rest.
QTranslator &AppTranslator();

// Removes the translator, loads the translation chosen by "config/language"
// (or none for an unknown position) and installs it again.
void ApplyStoredLanguage();

// Where Qt's own translations are looked for: "translations" beside the
// program (a private copy), then Qt's installed translations.
QStringList QtTranslationFolders();
