#include "report/ReportTextEvaluator.h"

#include "report/ReportDataSource.h"
#include "report/ReportEngine.h"
#include "report/ReportFieldObject.h"
#include "report/ReportPageObject.h"
#include "report/ReportScriptEngine.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace
{
const QRegularExpression &PlaceholderPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\[\\D.*?\\]"));
    return pattern;
}

const QRegularExpression &ConditionPattern()
{
    // A word "if" followed by a parenthesised condition.
    static const QRegularExpression pattern(QStringLiteral("\\b(if\\s*)\\((.*?)\\)"));
    return pattern;
}

const QRegularExpression &AggregatePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("\\b(SUM|AVG|COUNT|MAX|MIN|sum|avg|count|max|min)\\(\\[([^\\]]*)\\]\\)"));
    return pattern;
}

QString NumberText(const QVariant &value)
{
    if (value.type() == QVariant::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}
} // namespace

ReportTextEvaluator::ReportTextEvaluator(ReportEngine *pEngine, ReportScriptEngine *pScript)
    : m_pEngine(pEngine), m_pScript(pScript)
{
}

QString ReportTextEvaluator::UnescapeComparisons(QString sText)
{
    sText.replace(QLatin1String("&lt-;"), QLatin1String("<"));
    sText.replace(QLatin1String("&gt+;"), QLatin1String(">"));
    return sText;
}

bool ReportTextEvaluator::IsTrue(const QVariant &value)
{
    if (!value.isValid())
        return false;
    if (value.type() == QVariant::Bool)
        return value.toBool();
    if (value.type() == QVariant::Double || value.type() == QVariant::Int)
        return value.toDouble() != 0;
    const QString sText = value.toString().trimmed();
    return !sText.isEmpty() && sText != QLatin1String("0") &&
           sText.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
}

QString ReportTextEvaluator::ReplaceTokens(const QString &sValue, const QString &sFormat,
                                           const ReportTextContext &context) const
{
    if (!sValue.contains(QLatin1Char('<')))
        return sValue;
    QString sText = sValue;
    if (sText.contains(QLatin1String("<Date>"))) {
        const QDate today = QDate::currentDate();
        const QString sDate = sFormat.startsWith(QLatin1Char('D'))
                                  ? today.toString(sFormat.mid(1))
                                  : QLocale().toString(today, QLocale::ShortFormat);
        sText.replace(QLatin1String("<Date>"), sDate);
    }
    if (sText.contains(QLatin1String("<Time>")))
        sText.replace(QLatin1String("<Time>"),
                      QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
    sText.replace(QLatin1String("<Page>"), QString::number(context.nPage));
    sText.replace(QLatin1String("<TotalPages>"), QString::number(context.nTotalPages));
    sText.replace(QLatin1String("<LineNo>"), QString::number(context.nLineNo));
    sText.replace(QLatin1String("<LineCount>"), QString::number(context.nLineCount));
    return sText;
}

QString ReportTextEvaluator::ReplaceAggregates(const QString &sText)
{
    if (!sText.contains(QLatin1String("([")))
        return sText;
    QString sResult;
    int nPos = 0;
    QRegularExpressionMatchIterator it = AggregatePattern().globalMatch(sText);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString sFunction = match.captured(1).toUpper();
        int nKind = ReportScriptEngine::Sum;
        if (sFunction == QLatin1String("AVG"))
            nKind = ReportScriptEngine::Average;
        else if (sFunction == QLatin1String("COUNT"))
            nKind = ReportScriptEngine::Count;
        else if (sFunction == QLatin1String("MAX"))
            nKind = ReportScriptEngine::Maximum;
        else if (sFunction == QLatin1String("MIN"))
            nKind = ReportScriptEngine::Minimum;
        QString sName = match.captured(2);
        sName.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        sName.replace(QLatin1Char('"'), QLatin1String("\\\""));
        const QVariant value =
            m_pScript->Evaluate(QStringLiteral("SUM(%1, \"%2\")").arg(nKind).arg(sName));
        sResult += sText.midRef(nPos, match.capturedStart() - nPos);
        sResult += NumberText(value);
        nPos = match.capturedEnd();
    }
    sResult += sText.midRef(nPos);
    return sResult;
}

QVariant ReportTextEvaluator::PlaceholderValue(const QString &sName,
                                               const ReportTextContext &context)
{
    if (context.pPage) {
        const int nDot = sName.indexOf(QLatin1Char('.'));
        if (nDot > 0) {
            if (ReportDataSource *pSource = context.pPage->FindDataSource(sName.left(nDot))) {
                pSource->Open();
                return pSource->Value(context.nRecNo, sName.mid(nDot + 1));
            }
        }
    }
    QVariant value;
    emit m_pEngine->setValue(context.nRecNo, sName, value, context.nReportPage);
    return value;
}

QString ReportTextEvaluator::SubstitutePlaceholders(const QString &sText,
                                                    const ReportTextContext &context,
                                                    QHash<QString, QVariantList> *pValues)
{
    if (!sText.contains(QLatin1Char('[')))
        return sText;
    QString sResult;
    int nPos = 0;
    QRegularExpressionMatchIterator it = PlaceholderPattern().globalMatch(sText);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString sName = sText.mid(match.capturedStart() + 1, match.capturedLength() - 2);
        const QVariant value = PlaceholderValue(sName, context);
        if (pValues)
            (*pValues)[sName].append(value);
        sResult += sText.midRef(nPos, match.capturedStart() - nPos);
        sResult += value.isValid() ? value.toString() : QString();
        nPos = match.capturedEnd();
    }
    sResult += sText.midRef(nPos);
    return sResult;
}

QString ReportTextEvaluator::Evaluate(const QString &sValue, const QString &sFormat,
                                      const ReportTextContext &context,
                                      QHash<QString, QVariantList> *pValues)
{
    QString sText = ReplaceTokens(sValue, sFormat, context);
    sText = ReplaceAggregates(sText);
    const bool bCondition =
        sText.contains(QLatin1String("if")) && ConditionPattern().match(sText).hasMatch();
    if (bCondition)
        sText = UnescapeComparisons(sText);
    sText = SubstitutePlaceholders(sText, context, pValues);
    if (bCondition) {
        bool bOk = false;
        const QVariant result = m_pScript->Evaluate(sText, &bOk);
        if (bOk)
            sText = result.isValid() ? NumberText(result) : QString();
    }
    if (sFormat.startsWith(QLatin1Char('N')))
        sText = FormatNumber(sText, sFormat);
    return sText;
}

bool ReportTextEvaluator::ShouldPrint(const QString &sPrinting, const ReportTextContext &context)
{
    if (sPrinting.size() < 2)
        return sPrinting.trimmed().toInt() != 0;
    QString sText = UnescapeComparisons(ReplaceTokens(sPrinting, QString(), context));
    sText = SubstitutePlaceholders(sText, context);
    // A fresh engine, so that a condition cannot leave state behind.
    ReportScriptEngine engine;
    return IsTrue(engine.Evaluate(sText));
}

ReportFieldStyle ReportTextEvaluator::Highlight(const ReportFieldObject &field,
                                                const ReportTextContext &context)
{
    ReportFieldStyle style{field.font, field.fontColor, field.backgroundColor};
    if (field.sHighlighting.trimmed().isEmpty())
        return style;
    // "&gt+;" carries a semicolon of its own: unescape before splitting.
    const QStringList slRules =
        UnescapeComparisons(field.sHighlighting).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &sRule : slRules) {
        const int nEqual = sRule.indexOf(QLatin1Char('='));
        if (nEqual <= 0)
            continue;
        const QString sProperty = sRule.left(nEqual).trimmed();
        QString sExpression = sRule.mid(nEqual + 1);
        sExpression =
            SubstitutePlaceholders(ReplaceTokens(sExpression, QString(), context), context);
        if (sExpression.trimmed().isEmpty())
            continue;
        bool bOk = false;
        const QVariant result = m_pScript->Evaluate(sExpression, &bOk);
        if (!bOk)
            continue;
        if (sProperty == QLatin1String("bold")) {
            style.font.setWeight(IsTrue(result) ? 75 : 50);
        } else if (sProperty == QLatin1String("italic")) {
            style.font.setItalic(IsTrue(result));
        } else if (sProperty == QLatin1String("underline")) {
            style.font.setUnderline(IsTrue(result));
        } else if (sProperty == QLatin1String("strikeout")) {
            style.font.setStrikeOut(IsTrue(result));
        } else if (sProperty == QLatin1String("fontColor") ||
                   sProperty == QLatin1String("backgroundColor")) {
            const QColor color = ReportFieldObject::ParseColor(result.toString());
            if (!color.isValid())
                continue;
            if (sProperty == QLatin1String("fontColor"))
                style.fontColor = color;
            else
                style.backgroundColor = color;
        }
    }
    return style;
}

QString ReportTextEvaluator::FormatNumber(const QString &sText, const QString &sFormat)
{
    if (sFormat.size() < 2 || !sFormat.startsWith(QLatin1Char('N')))
        return sText;
    bool bOk = false;
    const double dValue = sText.trimmed().toDouble(&bOk);
    if (!bOk)
        return sText;
    const QChar chLast = sFormat.at(sFormat.size() - 1);
    const int nDecimals = chLast.isDigit() ? chLast.digitValue() : 0;
    const QString sPattern = chLast.isDigit() ? sFormat.mid(1, sFormat.size() - 2) : sFormat.mid(1);
    if (sPattern.startsWith(QLatin1String("# ###,"))) {
        QLocale locale(QStringLiteral("fr_FR"));
        return locale.toString(dValue, 'f', nDecimals);
    }
    QChar chGroup;
    QChar chDecimal = QLatin1Char('.');
    if (sPattern.startsWith(QLatin1String("# ###.")) || sPattern == QLatin1String("# ###")) {
        chGroup = QLatin1Char(' ');
    } else if (sPattern.startsWith(QLatin1String("#,###"))) {
        chGroup = QLatin1Char(',');
    } else if (sPattern.startsWith(QLatin1String("#.###"))) {
        chGroup = QLatin1Char('.');
        chDecimal = QLatin1Char(',');
    }
    // Group and decimal marks are placed by hand on the C locale's digits.
    QString sNumber = QString::number(std::abs(dValue), 'f', nDecimals);
    QString sFraction;
    const int nPoint = sNumber.indexOf(QLatin1Char('.'));
    if (nPoint >= 0) {
        sFraction = sNumber.mid(nPoint + 1);
        sNumber.truncate(nPoint);
    }
    if (!chGroup.isNull()) {
        for (int i = sNumber.size() - 3; i > 0; i -= 3)
            sNumber.insert(i, chGroup);
    }
    QString sResult =
        dValue < 0 && (sNumber.contains(QRegularExpression(QStringLiteral("[1-9]"))) ||
                       sFraction.contains(QRegularExpression(QStringLiteral("[1-9]"))))
            ? QStringLiteral("-")
            : QString();
    sResult += sNumber;
    if (!sFraction.isEmpty())
        sResult += chDecimal + sFraction;
    return sResult;
}
