#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QString>
#include <QVariant>

class ReportEngine;
class ReportFieldObject;
class ReportPageObject;
class ReportScriptEngine;

// Where in the report a text is evaluated.
struct ReportTextContext {
    int nReportPage = 0; // index of the report page
    int nRecNo = 0;      // current record, 0-based
    int nPage = 1;       // current page number
    int nTotalPages = 0; // from the counting pass
    int nLineNo = 1;     // line number (within a group when renumbered)
    int nLineCount = 0;  // lines of the current band
    ReportPageObject *pPage = nullptr;
};

// Font and colours of a field after its highlighting rules.
struct ReportFieldStyle {
    QFont font;
    QColor fontColor;
    QColor backgroundColor;
};

// Turns a field's value text into the printed text: special tokens,
// aggregates, conditions, placeholders and number formats. Placeholders that
// no data source of the page answers are asked from the application through
// the engine's setValue signal.
class ReportTextEvaluator
{
public:
    ReportTextEvaluator(ReportEngine *pEngine, ReportScriptEngine *pScript);

    // pValues, when given, receives the value of every placeholder by name.
    QString Evaluate(const QString &sValue, const QString &sFormat,
                     const ReportTextContext &context,
                     QHash<QString, QVariantList> *pValues = nullptr);
    // The printing attribute: "1"/"0", or a condition over the record.
    bool ShouldPrint(const QString &sPrinting, const ReportTextContext &context);
    ReportFieldStyle Highlight(const ReportFieldObject &field, const ReportTextContext &context);

    QVariant PlaceholderValue(const QString &sName, const ReportTextContext &context);
    // Replaces every placeholder of the text by its value.
    QString SubstitutePlaceholders(const QString &sText, const ReportTextContext &context,
                                   QHash<QString, QVariantList> *pValues = nullptr);

    // "N<pattern><decimals>" applied to a text that reads as a number.
    static QString FormatNumber(const QString &sText, const QString &sFormat);
    // "&lt-;" and "&gt+;" stand for "<" and ">" inside conditions.
    static QString UnescapeComparisons(QString sText);
    static bool IsTrue(const QVariant &value);

private:
    QString ReplaceTokens(const QString &sValue, const QString &sFormat,
                          const ReportTextContext &context) const;
    QString ReplaceAggregates(const QString &sText);

    ReportEngine *m_pEngine;
    ReportScriptEngine *m_pScript;
};
