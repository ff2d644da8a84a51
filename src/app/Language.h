#pragma once
class QTranslator;

// The application's one translator, created empty before main().
QTranslator &AppTranslator();

// Removes the translator, loads the translation chosen by "config/language"
// (or none for an unknown position) and installs it again.
void ApplyStoredLanguage();
