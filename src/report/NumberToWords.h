#pragma once

#include <QString>

// Spells a number in words. Language codes: "ENG", "UKR", "GER", "ESP",
// "FR_FR", "FR_BE", "FR_CH", "ITA", "AR", "TR"; any other code gives English.
// Values too large to spell exactly (|n| >= 1e15) or not finite come back as
// digits.
QString NumberToWords(const QString &sLanguage, double dNumber);

QString NumberToEnglishWord(double dNumber);
QString NumberToUkrainianWord(double dNumber);
QString NumberToGermanWord(double dNumber);
QString NumberToSpanishWord(double dNumber);
// nVariant: 0 France, 1 Belgium, 2 Switzerland.
QString NumberToFrenchWord(double dNumber, int nVariant);
QString NumberToItalianWord(double dNumber);
QString NumberToArabicWord(double dNumber);
QString NumberToTurkishWord(double dNumber);
