#include "report/NumberToWords.h"

#include <QMap>
#include <QStringList>
#include <QVector>
#include <cmath>

namespace
{
// Largest magnitude spelled in words; above it doubles lose whole units.
constexpr double kLimit = 1e15;

struct SplitNumber {
    bool bNegative = false;
    qint64 nInteger = 0;
    QString sDecimals; // digits after the point, trailing zeros removed
};

// Decimal digits as the number would be written, at most 15 significant.
SplitNumber Split(double dNumber, int nMaxDecimals = 15)
{
    SplitNumber split;
    split.bNegative = dNumber < 0;
    const double dAbs = std::fabs(dNumber);
    const int nIntDigits = dAbs < 1 ? 1 : int(std::floor(std::log10(dAbs))) + 1;
    const int nDecimals = qBound(0, 15 - nIntDigits, nMaxDecimals);
    QString sText = QString::number(dAbs, 'f', nDecimals);
    const int nPoint = sText.indexOf(QLatin1Char('.'));
    if (nPoint >= 0) {
        split.sDecimals = sText.mid(nPoint + 1);
        while (split.sDecimals.endsWith(QLatin1Char('0')))
            split.sDecimals.chop(1);
        sText.truncate(nPoint);
    }
    split.nInteger = sText.toLongLong();
    if (split.bNegative && split.nInteger == 0 && split.sDecimals.isEmpty())
        split.bNegative = false;
    return split;
}

// Whole units and hundredths, for the languages that spell amounts.
struct Cents {
    bool bNegative = false;
    qint64 nInteger = 0;
    int nCents = 0;
};

Cents SplitCents(double dNumber)
{
    Cents cents;
    const qint64 nTotal = qRound64(std::fabs(dNumber) * 100.0);
    cents.bNegative = dNumber < 0 && nTotal != 0;
    cents.nInteger = nTotal / 100;
    cents.nCents = int(nTotal % 100);
    return cents;
}

bool Spellable(double dNumber)
{
    return std::isfinite(dNumber) && std::fabs(dNumber) < kLimit;
}

QString Digits(double dNumber)
{
    return QString::number(dNumber, 'g', 17);
}

QString DigitWords(const QString &sDigits, const QStringList &slDigitWord)
{
    QStringList slWords;
    for (const QChar ch : sDigits)
        slWords.append(slDigitWord.at(ch.digitValue()));
    return slWords.join(QLatin1Char(' '));
}

// ---------------------------------------------------------------- English
const QMap<int, QString> &EnglishNumbers()
{
    static const QMap<int, QString> map = [] {
        QMap<int, QString> m;
        const char *apSmall[] = {
            "zero",     "one",     "two",     "three",     "four",     "five",     "six",
            "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",   "thirteen",
            "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};
        for (int i = 0; i <= 20; ++i)
            m.insert(i, QString::fromLatin1(apSmall[i]));
        const char *apTens[] = {"thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};
        for (int i = 0; i < 7; ++i)
            m.insert(30 + 10 * i, QString::fromLatin1(apTens[i]));
        return m;
    }();
    return map;
}

const QMap<int, QString> &EnglishScales()
{
    static const QMap<int, QString> map = {{2, QStringLiteral("hundred")},
                                           {3, QStringLiteral("thousand")},
                                           {6, QStringLiteral("million")},
                                           {9, QStringLiteral("billion")},
                                           {12, QStringLiteral("trillion")}};
    return map;
}

QString EnglishBelow100(int n)
{
    const QMap<int, QString> &numbers = EnglishNumbers();
    if (n < 21)
        return numbers.value(n);
    const int nTens = n / 10 * 10;
    const QString sTens = nTens == 20 ? numbers.value(20) : numbers.value(nTens);
    return n % 10 ? sTens + QLatin1Char('-') + numbers.value(n % 10) : sTens;
}

QString EnglishBelow1000(int n)
{
    if (n < 100)
        return EnglishBelow100(n);
    QString sText = EnglishBelow100(n / 100) + QLatin1Char(' ') + EnglishScales().value(2);
    if (n % 100)
        sText += QStringLiteral(" and ") + EnglishBelow100(n % 100);
    return sText;
}

QString EnglishInteger(qint64 n)
{
    if (n < 1000)
        return EnglishBelow1000(int(n));
    QStringList slParts;
    for (int nPower : {12, 9, 6, 3}) {
        const qint64 nScale = qint64(std::pow(10.0, nPower));
        const int nCount = int(n / nScale % 1000);
        if (nCount)
            slParts.append(EnglishBelow1000(nCount) + QLatin1Char(' ') +
                           EnglishScales().value(nPower));
    }
    const int nRest = int(n % 1000);
    QString sText = slParts.join(QStringLiteral(", "));
    if (nRest == 0)
        return sText;
    // "one thousand and one", "one thousand, two hundred"
    return sText + (nRest < 100 ? QStringLiteral(" and ") : QStringLiteral(", ")) +
           EnglishBelow1000(nRest);
}

// ----------------------------------------------------------------- German
const QStringList &GermanSmall()
{
    static const QStringList list = {
        QStringLiteral("null"),     QStringLiteral("eins"),     QStringLiteral("zwei"),
        QStringLiteral("drei"),     QStringLiteral("vier"),     QStringLiteral("fünf"),
        QStringLiteral("sechs"),    QStringLiteral("sieben"),   QStringLiteral("acht"),
        QStringLiteral("neun"),     QStringLiteral("zehn"),     QStringLiteral("elf"),
        QStringLiteral("zwölf"),    QStringLiteral("dreizehn"), QStringLiteral("vierzehn"),
        QStringLiteral("fünfzehn"), QStringLiteral("sechzehn"), QStringLiteral("siebzehn"),
        QStringLiteral("achtzehn"), QStringLiteral("neunzehn")};
    return list;
}

// bFinal: "eins" at the end of a number, "ein" inside a compound.
QString GermanBelow100(int n, bool bFinal)
{
    static const QStringList slTens = {QString(),
                                       QString(),
                                       QStringLiteral("zwanzig"),
                                       QStringLiteral("dreißig"),
                                       QStringLiteral("vierzig"),
                                       QStringLiteral("fünfzig"),
                                       QStringLiteral("sechzig"),
                                       QStringLiteral("siebzig"),
                                       QStringLiteral("achtzig"),
                                       QStringLiteral("neunzig")};
    if (n == 1)
        return bFinal ? QStringLiteral("eins") : QStringLiteral("ein");
    if (n < 20)
        return GermanSmall().at(n);
    const int nUnits = n % 10;
    if (nUnits == 0)
        return slTens.at(n / 10);
    const QString sUnit = nUnits == 1 ? QStringLiteral("ein") : GermanSmall().at(nUnits);
    return sUnit + QStringLiteral("und") + slTens.at(n / 10);
}

QString GermanBelow1000(int n, bool bFinal)
{
    if (n < 100)
        return GermanBelow100(n, bFinal);
    QString sText = GermanBelow100(n / 100, false) + QStringLiteral("hundert");
    if (n % 100)
        sText += GermanBelow100(n % 100, bFinal);
    return sText;
}

QString GermanBelowMillion(int n, bool bFinal)
{
    if (n < 1000)
        return GermanBelow1000(n, bFinal);
    QString sText = GermanBelow1000(n / 1000, false) + QStringLiteral("tausend");
    if (n % 1000)
        sText += GermanBelow1000(n % 1000, bFinal);
    return sText;
}

QString GermanInteger(qint64 n)
{
    if (n == 0)
        return GermanSmall().at(0);
    struct Scale {
        qint64 nValue;
        const char *pSingular;
        const char *pPlural;
    };
    const Scale aScales[] = {{1000000000000LL, "Billion", "Billionen"},
                             {1000000000LL, "Milliarde", "Milliarden"},
                             {1000000LL, "Million", "Millionen"}};
    QStringList slParts;
    for (const Scale &scale : aScales) {
        const int nCount = int(n / scale.nValue % 1000);
        if (nCount == 1)
            slParts.append(QStringLiteral("eine ") + QString::fromUtf8(scale.pSingular));
        else if (nCount > 1)
            slParts.append(GermanBelow1000(nCount, false) + QLatin1Char(' ') +
                           QString::fromUtf8(scale.pPlural));
    }
    const int nRest = int(n % 1000000);
    if (nRest)
        slParts.append(GermanBelowMillion(nRest, true));
    return slParts.join(QLatin1Char(' '));
}

// ---------------------------------------------------------------- Spanish
QString SpanishBelow100(int n)
{
    static const QStringList slSmall = {
        QStringLiteral("cero"),         QStringLiteral("uno"),
        QStringLiteral("dos"),          QStringLiteral("tres"),
        QStringLiteral("cuatro"),       QStringLiteral("cinco"),
        QStringLiteral("seis"),         QStringLiteral("siete"),
        QStringLiteral("ocho"),         QStringLiteral("nueve"),
        QStringLiteral("diez"),         QStringLiteral("once"),
        QStringLiteral("doce"),         QStringLiteral("trece"),
        QStringLiteral("catorce"),      QStringLiteral("quince"),
        QStringLiteral("dieciséis"),    QStringLiteral("diecisiete"),
        QStringLiteral("dieciocho"),    QStringLiteral("diecinueve"),
        QStringLiteral("veinte"),       QStringLiteral("veintiuno"),
        QStringLiteral("veintidós"),    QStringLiteral("veintitrés"),
        QStringLiteral("veinticuatro"), QStringLiteral("veinticinco"),
        QStringLiteral("veintiséis"),   QStringLiteral("veintisiete"),
        QStringLiteral("veintiocho"),   QStringLiteral("veintinueve")};
    static const QStringList slTens = {QString(),
                                       QString(),
                                       QString(),
                                       QStringLiteral("treinta"),
                                       QStringLiteral("cuarenta"),
                                       QStringLiteral("cincuenta"),
                                       QStringLiteral("sesenta"),
                                       QStringLiteral("setenta"),
                                       QStringLiteral("ochenta"),
                                       QStringLiteral("noventa")};
    if (n < 30)
        return slSmall.at(n);
    if (n % 10 == 0)
        return slTens.at(n / 10);
    return slTens.at(n / 10) + QStringLiteral(" y ") + slSmall.at(n % 10);
}

QString SpanishBelow1000(int n)
{
    static const QStringList slHundreds = {QString(),
                                           QStringLiteral("ciento"),
                                           QStringLiteral("doscientos"),
                                           QStringLiteral("trescientos"),
                                           QStringLiteral("cuatrocientos"),
                                           QStringLiteral("quinientos"),
                                           QStringLiteral("seiscientos"),
                                           QStringLiteral("setecientos"),
                                           QStringLiteral("ochocientos"),
                                           QStringLiteral("novecientos")};
    if (n < 100)
        return SpanishBelow100(n);
    if (n == 100)
        return QStringLiteral("cien");
    const QString sHundreds = slHundreds.at(n / 100);
    return n % 100 ? sHundreds + QLatin1Char(' ') + SpanishBelow100(n % 100) : sHundreds;
}

// "uno" shortens to "un" (and "veintiuno" to "veintiún") before a noun.
QString SpanishApocope(QString sText)
{
    if (sText.endsWith(QStringLiteral("veintiuno")))
        sText.replace(sText.size() - 9, 9, QStringLiteral("veintiún"));
    else if (sText.endsWith(QStringLiteral("uno")))
        sText.chop(1);
    return sText;
}

QString SpanishBelowMillion(int n)
{
    if (n < 1000)
        return SpanishBelow1000(n);
    const int nThousands = n / 1000;
    QString sText = nThousands == 1
                        ? QStringLiteral("mil")
                        : SpanishApocope(SpanishBelow1000(nThousands)) + QStringLiteral(" mil");
    if (n % 1000)
        sText += QLatin1Char(' ') + SpanishBelow1000(n % 1000);
    return sText;
}

QString SpanishInteger(qint64 n)
{
    if (n < 1000000)
        return SpanishBelowMillion(int(n));
    struct Scale {
        qint64 nValue;
        qint64 nModulo;
        const char *pSingular;
        const char *pPlural;
    };
    const Scale aScales[] = {{1000000000000LL, 1000000LL, "billón", "billones"},
                             {1000000000LL, 1000LL, "millardo", "millardos"},
                             {1000000LL, 1000LL, "millón", "millones"}};
    QStringList slParts;
    for (const Scale &scale : aScales) {
        const int nCount = int(n / scale.nValue % scale.nModulo);
        if (nCount == 1)
            slParts.append(QStringLiteral("un ") + QString::fromUtf8(scale.pSingular));
        else if (nCount > 1)
            slParts.append(SpanishApocope(SpanishBelowMillion(nCount)) + QLatin1Char(' ') +
                           QString::fromUtf8(scale.pPlural));
    }
    const int nRest = int(n % 1000000);
    if (nRest)
        slParts.append(SpanishBelowMillion(nRest));
    return slParts.join(QLatin1Char(' '));
}

// ----------------------------------------------------------------- French
const QStringList &FrenchSmall()
{
    static const QStringList list = {
        QStringLiteral("zéro"),     QStringLiteral("un"),      QStringLiteral("deux"),
        QStringLiteral("trois"),    QStringLiteral("quatre"),  QStringLiteral("cinq"),
        QStringLiteral("six"),      QStringLiteral("sept"),    QStringLiteral("huit"),
        QStringLiteral("neuf"),     QStringLiteral("dix"),     QStringLiteral("onze"),
        QStringLiteral("douze"),    QStringLiteral("treize"),  QStringLiteral("quatorze"),
        QStringLiteral("quinze"),   QStringLiteral("seize"),   QStringLiteral("dix-sept"),
        QStringLiteral("dix-huit"), QStringLiteral("dix-neuf")};
    return list;
}

// bFinal: "quatre-vingts" takes its s only at the end of a number.
QString FrenchBelow100(int n, int nVariant, bool bFinal)
{
    static const QStringList slTens = {QString(),
                                       QString(),
                                       QStringLiteral("vingt"),
                                       QStringLiteral("trente"),
                                       QStringLiteral("quarante"),
                                       QStringLiteral("cinquante"),
                                       QStringLiteral("soixante"),
                                       QStringLiteral("septante"),
                                       QStringLiteral("huitante"),
                                       QStringLiteral("nonante")};
    if (n < 20)
        return FrenchSmall().at(n);
    int nTens = n / 10;
    int nUnits = n % 10;
    // France: 70-79 and 90-99 count on from sixty and eighty.
    if (nVariant == 0 && (nTens == 7 || nTens == 9)) {
        const QString sBase =
            nTens == 7 ? QStringLiteral("soixante") : QStringLiteral("quatre-vingt");
        if (nTens == 7 && nUnits == 1)
            return sBase + QStringLiteral(" et onze");
        return sBase + QLatin1Char('-') + FrenchSmall().at(10 + nUnits);
    }
    const bool bQuatreVingt = nTens == 8 && nVariant != 2;
    const QString sTens = bQuatreVingt ? QStringLiteral("quatre-vingt") : slTens.at(nTens);
    if (nUnits == 0)
        return bQuatreVingt && bFinal ? sTens + QLatin1Char('s') : sTens;
    if (nUnits == 1 && !bQuatreVingt)
        return sTens + QStringLiteral(" et un");
    return sTens + QLatin1Char('-') + FrenchSmall().at(nUnits);
}

QString FrenchBelow1000(int n, int nVariant, bool bFinal)
{
    if (n < 100)
        return FrenchBelow100(n, nVariant, bFinal);
    const int nHundreds = n / 100;
    const int nRest = n % 100;
    QString sText = nHundreds == 1 ? QStringLiteral("cent")
                                   : FrenchSmall().at(nHundreds) + QStringLiteral(" cent");
    if (nRest)
        return sText + QLatin1Char(' ') + FrenchBelow100(nRest, nVariant, bFinal);
    if (nHundreds > 1 && bFinal)
        sText += QLatin1Char('s');
    return sText;
}

QString FrenchInteger(qint64 n, int nVariant)
{
    if (n == 0)
        return FrenchSmall().at(0);
    struct Scale {
        qint64 nValue;
        const char *pWord;
    };
    // "million" and "milliard" are nouns: they take a plural s, and so does
    // the count before them; "mille" never does.
    const Scale aScales[] = {
        {1000000000000LL, "billion"}, {1000000000LL, "milliard"}, {1000000LL, "million"}};
    QStringList slParts;
    for (const Scale &scale : aScales) {
        const int nCount = int(n / scale.nValue % 1000);
        if (nCount == 0)
            continue;
        slParts.append(FrenchBelow1000(nCount, nVariant, true) + QLatin1Char(' ') +
                       QString::fromLatin1(scale.pWord) +
                       (nCount > 1 ? QStringLiteral("s") : QString()));
    }
    const int nThousands = int(n / 1000 % 1000);
    if (nThousands == 1)
        slParts.append(QStringLiteral("mille"));
    else if (nThousands > 1)
        slParts.append(FrenchBelow1000(nThousands, nVariant, false) + QStringLiteral(" mille"));
    const int nRest = int(n % 1000);
    if (nRest)
        slParts.append(FrenchBelow1000(nRest, nVariant, true));
    return slParts.join(QLatin1Char(' '));
}

// ---------------------------------------------------------------- Italian
QString ItalianBelow100(int n)
{
    static const QStringList slSmall = {
        QStringLiteral("zero"),     QStringLiteral("uno"),       QStringLiteral("due"),
        QStringLiteral("tre"),      QStringLiteral("quattro"),   QStringLiteral("cinque"),
        QStringLiteral("sei"),      QStringLiteral("sette"),     QStringLiteral("otto"),
        QStringLiteral("nove"),     QStringLiteral("dieci"),     QStringLiteral("undici"),
        QStringLiteral("dodici"),   QStringLiteral("tredici"),   QStringLiteral("quattordici"),
        QStringLiteral("quindici"), QStringLiteral("sedici"),    QStringLiteral("diciassette"),
        QStringLiteral("diciotto"), QStringLiteral("diciannove")};
    static const QStringList slTens = {QString(),
                                       QString(),
                                       QStringLiteral("venti"),
                                       QStringLiteral("trenta"),
                                       QStringLiteral("quaranta"),
                                       QStringLiteral("cinquanta"),
                                       QStringLiteral("sessanta"),
                                       QStringLiteral("settanta"),
                                       QStringLiteral("ottanta"),
                                       QStringLiteral("novanta")};
    if (n < 20)
        return slSmall.at(n);
    QString sTens = slTens.at(n / 10);
    const int nUnits = n % 10;
    if (nUnits == 0)
        return sTens;
    // The tens lose their vowel before "uno" and "otto": ventuno, ventotto.
    if (nUnits == 1 || nUnits == 8)
        sTens.chop(1);
    return sTens + slSmall.at(nUnits);
}

QString ItalianBelow1000(int n)
{
    if (n < 100)
        return ItalianBelow100(n);
    const int nHundreds = n / 100;
    const int nRest = n % 100;
    QString sText =
        (nHundreds == 1 ? QString() : ItalianBelow100(nHundreds)) + QStringLiteral("cento");
    if (nRest == 0)
        return sText;
    // cento loses its vowel before "ottanta" and "otto": centottanta.
    if (nRest / 10 == 8 || nRest == 8)
        sText.chop(1);
    return sText + ItalianBelow100(nRest);
}

QString ItalianBelowMillion(int n)
{
    if (n < 1000)
        return ItalianBelow1000(n);
    const int nThousands = n / 1000;
    QString sText = nThousands == 1 ? QStringLiteral("mille")
                                    : ItalianBelow1000(nThousands) + QStringLiteral("mila");
    if (n % 1000)
        sText += ItalianBelow1000(n % 1000);
    return sText;
}

QString ItalianInteger(qint64 n)
{
    QString sText;
    if (n < 1000000) {
        sText = ItalianBelowMillion(int(n));
    } else {
        struct Scale {
            qint64 nValue;
            const char *pSingular;
            const char *pPlural;
        };
        const Scale aScales[] = {{1000000000000LL, "bilione", "bilioni"},
                                 {1000000000LL, "miliardo", "miliardi"},
                                 {1000000LL, "milione", "milioni"}};
        QStringList slParts;
        for (const Scale &scale : aScales) {
            const int nCount = int(n / scale.nValue % 1000);
            if (nCount == 1)
                slParts.append(QStringLiteral("un ") + QString::fromLatin1(scale.pSingular));
            else if (nCount > 1)
                slParts.append(ItalianBelow1000(nCount) + QLatin1Char(' ') +
                               QString::fromLatin1(scale.pPlural));
        }
        if (n % 1000000)
            slParts.append(ItalianBelowMillion(int(n % 1000000)));
        sText = slParts.join(QLatin1Char(' '));
    }
    // A compound ending in "tre" carries the accent: ventitré, centotré.
    if (n > 3 && sText.endsWith(QStringLiteral("tre")))
        sText.replace(sText.size() - 1, 1, QStringLiteral("é"));
    return sText;
}

// ------------------------------------------------------------- Ukrainian
int UkrainianForm(qint64 n)
{
    const int nLast2 = int(n % 100);
    const int nLast = int(n % 10);
    if (nLast2 >= 11 && nLast2 <= 19)
        return 2;
    if (nLast == 1)
        return 0;
    if (nLast >= 2 && nLast <= 4)
        return 1;
    return 2;
}

QString UkrainianBelow1000(int n, bool bFeminine)
{
    static const QStringList slSmall = {
        QStringLiteral("нуль"),         QStringLiteral("один"),
        QStringLiteral("два"),          QStringLiteral("три"),
        QStringLiteral("чотири"),       QStringLiteral("п'ять"),
        QStringLiteral("шість"),        QStringLiteral("сім"),
        QStringLiteral("вісім"),        QStringLiteral("дев'ять"),
        QStringLiteral("десять"),       QStringLiteral("одинадцять"),
        QStringLiteral("дванадцять"),   QStringLiteral("тринадцять"),
        QStringLiteral("чотирнадцять"), QStringLiteral("п'ятнадцять"),
        QStringLiteral("шістнадцять"),  QStringLiteral("сімнадцять"),
        QStringLiteral("вісімнадцять"), QStringLiteral("дев'ятнадцять")};
    static const QStringList slTens = {QString(),
                                       QString(),
                                       QStringLiteral("двадцять"),
                                       QStringLiteral("тридцять"),
                                       QStringLiteral("сорок"),
                                       QStringLiteral("п'ятдесят"),
                                       QStringLiteral("шістдесят"),
                                       QStringLiteral("сімдесят"),
                                       QStringLiteral("вісімдесят"),
                                       QStringLiteral("дев'яносто")};
    static const QStringList slHundreds = {QString(),
                                           QStringLiteral("сто"),
                                           QStringLiteral("двісті"),
                                           QStringLiteral("триста"),
                                           QStringLiteral("чотириста"),
                                           QStringLiteral("п'ятсот"),
                                           QStringLiteral("шістсот"),
                                           QStringLiteral("сімсот"),
                                           QStringLiteral("вісімсот"),
                                           QStringLiteral("дев'ятсот")};
    QStringList slWords;
    if (n >= 100)
        slWords.append(slHundreds.at(n / 100));
    const int nRest = n % 100;
    if (nRest >= 20) {
        slWords.append(slTens.at(nRest / 10));
        if (nRest % 10)
            slWords.append(QString());
    } else if (nRest > 0 || n == 0) {
        slWords.append(QString());
    }
    if (!slWords.isEmpty() && slWords.last().isEmpty()) {
        const int nUnit = nRest >= 20 ? nRest % 10 : nRest;
        QString sUnit = slSmall.at(nUnit);
        if (bFeminine && nUnit == 1)
            sUnit = QStringLiteral("одна");
        else if (bFeminine && nUnit == 2)
            sUnit = QStringLiteral("дві");
        slWords.last() = sUnit;
    }
    return slWords.join(QLatin1Char(' '));
}

QString UkrainianInteger(qint64 n, bool bFeminine)
{
    if (n == 0)
        return UkrainianBelow1000(0, bFeminine);
    struct Scale {
        qint64 nValue;
        bool bFeminine;
        const char *apForms[3];
    };
    const Scale aScales[] = {{1000000000000LL, false, {"трильйон", "трильйони", "трильйонів"}},
                             {1000000000LL, false, {"мільярд", "мільярди", "мільярдів"}},
                             {1000000LL, false, {"мільйон", "мільйони", "мільйонів"}},
                             {1000LL, true, {"тисяча", "тисячі", "тисяч"}}};
    QStringList slParts;
    for (const Scale &scale : aScales) {
        const int nCount = int(n / scale.nValue % 1000);
        if (nCount)
            slParts.append(UkrainianBelow1000(nCount, scale.bFeminine) + QLatin1Char(' ') +
                           QString::fromUtf8(scale.apForms[UkrainianForm(nCount)]));
    }
    if (n % 1000)
        slParts.append(UkrainianBelow1000(int(n % 1000), bFeminine));
    return slParts.join(QLatin1Char(' '));
}

// ----------------------------------------------------------------- Arabic
const QStringList &ArabicUnits()
{
    static const QStringList list = {
        QStringLiteral("صفر"),   QStringLiteral("واحد"),  QStringLiteral("اثنان"),
        QStringLiteral("ثلاثة"), QStringLiteral("أربعة"), QStringLiteral("خمسة"),
        QStringLiteral("ستة"),   QStringLiteral("سبعة"),  QStringLiteral("ثمانية"),
        QStringLiteral("تسعة"),  QStringLiteral("عشرة")};
    return list;
}

QString ArabicJoin(const QString &sFirst, const QString &sSecond)
{
    // Parts are joined by "and", written attached to the next word.
    return QStringLiteral("%1 %2").arg(sFirst, QStringLiteral("و") + sSecond);
}

QString ArabicBelow100(int n)
{
    static const QStringList slTeens = {QString(),
                                        QStringLiteral("أحد عشر"),
                                        QStringLiteral("اثنا عشر"),
                                        QStringLiteral("ثلاثة عشر"),
                                        QStringLiteral("أربعة عشر"),
                                        QStringLiteral("خمسة عشر"),
                                        QStringLiteral("ستة عشر"),
                                        QStringLiteral("سبعة عشر"),
                                        QStringLiteral("ثمانية عشر"),
                                        QStringLiteral("تسعة عشر")};
    static const QStringList slTens = {QString(),
                                       QString(),
                                       QStringLiteral("عشرون"),
                                       QStringLiteral("ثلاثون"),
                                       QStringLiteral("أربعون"),
                                       QStringLiteral("خمسون"),
                                       QStringLiteral("ستون"),
                                       QStringLiteral("سبعون"),
                                       QStringLiteral("ثمانون"),
                                       QStringLiteral("تسعون")};
    if (n <= 10)
        return ArabicUnits().at(n);
    if (n < 20)
        return slTeens.at(n - 10);
    if (n % 10 == 0)
        return slTens.at(n / 10);
    return ArabicJoin(ArabicUnits().at(n % 10), slTens.at(n / 10));
}

QString ArabicBelow1000(int n)
{
    static const QStringList slHundreds = {QString(),
                                           QStringLiteral("مائة"),
                                           QStringLiteral("مائتان"),
                                           QStringLiteral("ثلاثمائة"),
                                           QStringLiteral("أربعمائة"),
                                           QStringLiteral("خمسمائة"),
                                           QStringLiteral("ستمائة"),
                                           QStringLiteral("سبعمائة"),
                                           QStringLiteral("ثمانمائة"),
                                           QStringLiteral("تسعمائة")};
    if (n < 100)
        return ArabicBelow100(n);
    if (n % 100 == 0)
        return slHundreds.at(n / 100);
    return ArabicJoin(slHundreds.at(n / 100), ArabicBelow100(n % 100));
}

// Counted noun after a number: one, two (dual), 3-10 (plural), 11-99
// (accusative singular), hundreds (genitive singular).
QString ArabicCounted(int nCount, const QString &sOne, const QString &sTwo, const QString &sPlural,
                      const QString &sAccusative)
{
    if (nCount == 1)
        return sOne;
    if (nCount == 2)
        return sTwo;
    const int nLast2 = nCount % 100;
    const QString sNumber = ArabicBelow1000(nCount);
    if (nLast2 >= 3 && nLast2 <= 10)
        return QStringLiteral("%1 %2").arg(sNumber, sPlural);
    if (nLast2 >= 11)
        return QStringLiteral("%1 %2").arg(sNumber, sAccusative);
    return QStringLiteral("%1 %2").arg(sNumber, sOne);
}

QString ArabicInteger(qint64 n)
{
    if (n < 1000)
        return ArabicBelow1000(int(n));
    struct Scale {
        qint64 nValue;
        const char *pOne;
        const char *pTwo;
        const char *pPlural;
        const char *pAccusative;
    };
    const Scale aScales[] = {{1000000000000LL, "تريليون", "تريليونان", "تريليونات", "تريليونًا"},
                             {1000000000LL, "مليار", "ملياران", "مليارات", "مليارًا"},
                             {1000000LL, "مليون", "مليونان", "ملايين", "مليونًا"},
                             {1000LL, "ألف", "ألفان", "آلاف", "ألفًا"}};
    QString sText;
    for (const Scale &scale : aScales) {
        const int nCount = int(n / scale.nValue % 1000);
        if (nCount == 0)
            continue;
        const QString sPart =
            ArabicCounted(nCount, QString::fromUtf8(scale.pOne), QString::fromUtf8(scale.pTwo),
                          QString::fromUtf8(scale.pPlural), QString::fromUtf8(scale.pAccusative));
        sText = sText.isEmpty() ? sPart : ArabicJoin(sText, sPart);
    }
    if (n % 1000)
        sText = ArabicJoin(sText, ArabicBelow1000(int(n % 1000)));
    return sText;
}

// ---------------------------------------------------------------- Turkish
QString TurkishBelow1000(int n)
{
    static const QStringList slUnits = {QString(),
                                        QStringLiteral("bir"),
                                        QStringLiteral("iki"),
                                        QStringLiteral("üç"),
                                        QStringLiteral("dört"),
                                        QStringLiteral("beş"),
                                        QStringLiteral("altı"),
                                        QStringLiteral("yedi"),
                                        QStringLiteral("sekiz"),
                                        QStringLiteral("dokuz")};
    static const QStringList slTens = {QString(),
                                       QStringLiteral("on"),
                                       QStringLiteral("yirmi"),
                                       QStringLiteral("otuz"),
                                       QStringLiteral("kırk"),
                                       QStringLiteral("elli"),
                                       QStringLiteral("altmış"),
                                       QStringLiteral("yetmiş"),
                                       QStringLiteral("seksen"),
                                       QStringLiteral("doksan")};
    QString sText;
    const int nHundreds = n / 100;
    if (nHundreds)
        sText += (nHundreds == 1 ? QString() : slUnits.at(nHundreds)) + QStringLiteral("yüz");
    sText += slTens.at(n / 10 % 10) + slUnits.at(n % 10);
    return sText;
}

QString TurkishInteger(qint64 n)
{
    if (n == 0)
        return QStringLiteral("sıfır");
    struct Scale {
        qint64 nValue;
        const char *pWord;
    };
    const Scale aScales[] = {{1000000000000LL, "trilyon"},
                             {1000000000LL, "milyar"},
                             {1000000LL, "milyon"},
                             {1000LL, "bin"}};
    QString sText;
    for (const Scale &scale : aScales) {
        const int nCount = int(n / scale.nValue % 1000);
        if (nCount == 0)
            continue;
        // "bin", not "birbin".
        if (!(nCount == 1 && scale.nValue == 1000))
            sText += TurkishBelow1000(nCount);
        sText += QString::fromUtf8(scale.pWord);
    }
    return sText + TurkishBelow1000(int(n % 1000));
}

QString TurkishUpper(QString sText)
{
    sText.replace(QLatin1Char('i'), QChar(0x0130));
    return sText.toUpper();
}

QString WithFraction(const SplitNumber &split, const QString &sInteger, const QString &sMinus,
                     const QString &sPoint, const QStringList &slDigitWord)
{
    QString sText = sInteger;
    if (!split.sDecimals.isEmpty())
        sText +=
            QLatin1Char(' ') + sPoint + QLatin1Char(' ') + DigitWords(split.sDecimals, slDigitWord);
    return split.bNegative ? sMinus + QLatin1Char(' ') + sText : sText;
}

QStringList DigitList(QString (*pBelow)(int))
{
    QStringList slDigits;
    for (int i = 0; i < 10; ++i)
        slDigits.append(pBelow(i));
    return slDigits;
}

QString UkrainianFractionNoun(int nDigits, bool bSingular)
{
    static const char *apStems[] = {"десят",        "сот",       "тисячн",
                                    "десятитисячн", "стотисячн", "мільйонн"};
    const QString sStem = QString::fromUtf8(apStems[qBound(1, nDigits, 6) - 1]);
    return sStem + (bSingular ? QStringLiteral("а") : QStringLiteral("их"));
}
} // namespace

QString NumberToEnglishWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const SplitNumber split = Split(dNumber);
    return WithFraction(split, EnglishInteger(split.nInteger), QStringLiteral("minus"),
                        QStringLiteral("point"), DigitList(EnglishBelow100));
}

QString NumberToGermanWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const SplitNumber split = Split(dNumber);
    return WithFraction(split, GermanInteger(split.nInteger), QStringLiteral("minus"),
                        QStringLiteral("Komma"), GermanSmall().mid(0, 10));
}

QString NumberToSpanishWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const Cents cents = SplitCents(dNumber);
    QString sText = SpanishInteger(cents.nInteger);
    if (cents.nCents)
        sText += QStringLiteral(" con ") + SpanishBelow100(cents.nCents);
    return cents.bNegative ? QStringLiteral("menos ") + sText : sText;
}

QString NumberToFrenchWord(double dNumber, int nVariant)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const SplitNumber split = Split(dNumber);
    return WithFraction(split, FrenchInteger(split.nInteger, nVariant), QStringLiteral("moins"),
                        QStringLiteral("virgule"), FrenchSmall().mid(0, 10));
}

QString NumberToItalianWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const SplitNumber split = Split(dNumber);
    return WithFraction(split, ItalianInteger(split.nInteger), QStringLiteral("meno"),
                        QStringLiteral("virgola"), DigitList(ItalianBelow100));
}

// Ukrainian reads fractions as "N цілих M десятих/сотих/...", feminine.
QString NumberToUkrainianWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const SplitNumber split = Split(dNumber, 6);
    QString sText;
    if (split.sDecimals.isEmpty()) {
        sText = UkrainianInteger(split.nInteger, false);
    } else {
        const bool bWholeOne = UkrainianForm(split.nInteger) == 0;
        sText = UkrainianInteger(split.nInteger, true) + QLatin1Char(' ') +
                (bWholeOne ? QStringLiteral("ціла") : QStringLiteral("цілих"));
        const qint64 nFraction = split.sDecimals.toLongLong();
        sText += QLatin1Char(' ') + UkrainianInteger(nFraction, true) + QLatin1Char(' ') +
                 UkrainianFractionNoun(split.sDecimals.size(), UkrainianForm(nFraction) == 0);
    }
    return split.bNegative ? QStringLiteral("мінус ") + sText : sText;
}

QString NumberToArabicWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const SplitNumber split = Split(dNumber);
    return WithFraction(split, ArabicInteger(split.nInteger), QStringLiteral("سالب"),
                        QStringLiteral("فاصلة"), ArabicUnits().mid(0, 10));
}

QString NumberToTurkishWord(double dNumber)
{
    if (!Spellable(dNumber))
        return Digits(dNumber);
    const Cents cents = SplitCents(dNumber);
    QString sText = TurkishUpper(TurkishInteger(cents.nInteger)) + QStringLiteral("#TL#");
    if (cents.nCents)
        sText += TurkishUpper(TurkishInteger(cents.nCents)) + QStringLiteral("#KRŞ");
    return cents.bNegative ? QStringLiteral("EKSİ") + sText : sText;
}

QString NumberToWords(const QString &sLanguage, double dNumber)
{
    if (sLanguage == QLatin1String("UKR"))
        return NumberToUkrainianWord(dNumber);
    if (sLanguage == QLatin1String("GER"))
        return NumberToGermanWord(dNumber);
    if (sLanguage == QLatin1String("ESP"))
        return NumberToSpanishWord(dNumber);
    if (sLanguage == QLatin1String("FR_FR"))
        return NumberToFrenchWord(dNumber, 0);
    if (sLanguage == QLatin1String("FR_BE"))
        return NumberToFrenchWord(dNumber, 1);
    if (sLanguage == QLatin1String("FR_CH"))
        return NumberToFrenchWord(dNumber, 2);
    if (sLanguage == QLatin1String("ITA"))
        return NumberToItalianWord(dNumber);
    if (sLanguage == QLatin1String("AR"))
        return NumberToArabicWord(dNumber);
    if (sLanguage == QLatin1String("TR"))
        return NumberToTurkishWord(dNumber);
    return NumberToEnglishWord(dNumber);
}
