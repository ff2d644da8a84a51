// Field values: special tokens, aggregates, conditions, placeholders, number
// formats, printing conditions and highlighting rules.

#include "report/ReportEngine.h"
#include "report/ReportFieldObject.h"
#include "report/ReportScriptEngine.h"
#include "report/ReportTextEvaluator.h"

#include <QDate>
#include <QDomDocument>
#include <QLocale>
#include <QtTest>

class tst_ReportTextEvaluator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void numberFormats_data();
    void numberFormats();
    void values_data();
    void values();
    void dateToken();
    void placeholderValuesCollected();
    void scriptErrorIsReported();
    void printing_data();
    void printing();
    void highlighting_data();
    void highlighting();
    void scriptFunctions_data();
    void scriptFunctions();
    void endlessScriptIsAborted_data();
    void endlessScriptIsAborted();

private:
    ReportTextContext Context(int nRecNo = 0) const
    {
        ReportTextContext context;
        context.nRecNo = nRecNo;
        context.nReportPage = 0;
        context.nPage = 2;
        context.nTotalPages = 3;
        context.nLineNo = nRecNo + 1;
        context.nLineCount = 7;
        return context;
    }

    ReportEngine m_engine;
    ReportScriptEngine m_script;
    QHash<QString, QVariantList> m_values;
    QStringList m_slAsked;
};

void tst_ReportTextEvaluator::init()
{
    m_slAsked.clear();
    m_values.clear();
    m_script.SetAggregateValues(&m_values);
    disconnect(&m_engine, nullptr, this, nullptr);
    connect(&m_engine, &ReportEngine::setValue, this,
            [this](const int recNo, const QString paramName, QVariant &paramValue, const int) {
                m_slAsked.append(paramName);
                if (paramName == QLatin1String("n"))
                    paramValue = recNo * 10;
                else if (paramName == QLatin1String("name"))
                    paramValue = QStringLiteral("Bosch");
                else if (paramName == QLatin1String("list"))
                    paramValue = QStringList({QStringLiteral("a")});
            });
}

void tst_ReportTextEvaluator::numberFormats_data()
{
    QTest::addColumn<QString>("sText");
    QTest::addColumn<QString>("sFormat");
    QTest::addColumn<QString>("sExpected");
    const QString sFrench = QLocale(QStringLiteral("fr_FR")).toString(1234.56, 'f', 2);
    QTest::newRow("blank groups, point") << "1234.56"
                                         << "N# ###.##2"
                                         << "1 234.56";
    QTest::newRow("comma groups, point") << "1234.56"
                                         << "N#,###.##2"
                                         << "1,234.56";
    QTest::newRow("fr_FR") << "1234.56"
                           << "N# ###,##2" << sFrench;
    QTest::newRow("point groups, comma") << "1234.56"
                                         << "N#.###,##2"
                                         << "1.234,56";
    QTest::newRow("millions") << "1234567.891"
                              << "N#,###.##2"
                              << "1,234,567.89";
    QTest::newRow("no decimals") << "1234.56"
                                 << "N#,###.##0"
                                 << "1,235";
    QTest::newRow("negative") << "-9876543.2"
                              << "N#.###,##1"
                              << "-9.876.543,2";
    QTest::newRow("small") << "5"
                           << "N# ###.##2"
                           << "5.00";
    QTest::newRow("not a number") << "abc"
                                  << "N#,###.##2"
                                  << "abc";
    QTest::newRow("empty") << ""
                           << "N#,###.##2"
                           << "";
    QTest::newRow("other format") << "1234.5"
                                  << "D dd.MM.yyyy"
                                  << "1234.5";
}

void tst_ReportTextEvaluator::numberFormats()
{
    QFETCH(QString, sText);
    QFETCH(QString, sFormat);
    QFETCH(QString, sExpected);
    QCOMPARE(ReportTextEvaluator::FormatNumber(sText, sFormat), sExpected);
}

void tst_ReportTextEvaluator::values_data()
{
    QTest::addColumn<QString>("sValue");
    QTest::addColumn<QString>("sFormat");
    QTest::addColumn<int>("nRecNo");
    QTest::addColumn<QString>("sExpected");
    QTest::newRow("plain") << "text stays"
                           << "" << 0 << "text stays";
    QTest::newRow("text around") << "Brand:[name] (x)"
                                 << "" << 0 << "Brand:Bosch (x)";
    QTest::newRow("leading blanks") << "  [name]"
                                    << "" << 0 << "  Bosch";
    QTest::newRow("unanswered") << "<[missing]>"
                                << "" << 0 << "<>";
    QTest::newRow("digit first is no placeholder") << "[1] [2a]"
                                                   << "" << 0 << "[1] [2a]";
    QTest::newRow("tokens") << "<Page> / <TotalPages>, <LineNo> of <LineCount>"
                            << "" << 4 << "2 / 3, 5 of 7";
    QTest::newRow("condition lt") << "if ([n] &lt-; 15) 'low'; else 'high';"
                                  << "" << 1 << "low";
    QTest::newRow("condition gt") << "if ([n] &gt+; 15) 'high'; else 'low';"
                                  << "" << 2 << "high";
    QTest::newRow("condition number") << "if ([n] == 20) [n] * 2; else 0;"
                                      << "" << 2 << "40";
    QTest::newRow("word containing if") << "Verify (all)"
                                        << "" << 0 << "Verify (all)";
    QTest::newRow("format on value") << "[n]"
                                     << "N#,###.##2" << 150 << "1,500.00";
    QTest::newRow("placeholder value not rescanned") << "[name][missing]"
                                                     << "" << 0 << "Bosch";
}

void tst_ReportTextEvaluator::values()
{
    QFETCH(QString, sValue);
    QFETCH(QString, sFormat);
    QFETCH(int, nRecNo);
    QFETCH(QString, sExpected);
    ReportTextEvaluator evaluator(&m_engine, &m_script);
    QCOMPARE(evaluator.Evaluate(sValue, sFormat, Context(nRecNo)), sExpected);
}

void tst_ReportTextEvaluator::dateToken()
{
    ReportTextEvaluator evaluator(&m_engine, &m_script);
    const QDate today = QDate::currentDate();
    QCOMPARE(
        evaluator.Evaluate(QStringLiteral("on <Date>"), QStringLiteral("Ddd.MM.yyyy"), Context()),
        QStringLiteral("on ") + today.toString(QStringLiteral("dd.MM.yyyy")));
    QCOMPARE(evaluator.Evaluate(QStringLiteral("<Date>"), QString(), Context()),
             QLocale().toString(today, QLocale::ShortFormat));
    QVERIFY(!evaluator.Evaluate(QStringLiteral("<Time>"), QString(), Context())
                 .contains(QLatin1Char('<')));
}

void tst_ReportTextEvaluator::placeholderValuesCollected()
{
    ReportTextEvaluator evaluator(&m_engine, &m_script);
    for (int i = 0; i < 4; ++i)
        evaluator.Evaluate(QStringLiteral("[n]"), QString(), Context(i), &m_values);
    QCOMPARE(m_values.value(QStringLiteral("n")).size(), 4);
    QCOMPARE(evaluator.Evaluate(QStringLiteral("SUM([n]) AVG([n]) COUNT([n]) MAX([n]) MIN([n])"),
                                QString(), Context()),
             QStringLiteral("60 15 4 30 0"));
    QCOMPARE(evaluator.Evaluate(QStringLiteral("sum([other])"), QString(), Context()),
             QStringLiteral("0"));
    QCOMPARE(m_slAsked.count(QStringLiteral("n")), 4);
}

void tst_ReportTextEvaluator::scriptErrorIsReported()
{
    ReportTextEvaluator evaluator(&m_engine, &m_script);
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^uncaught exception at line 1")));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^formulaStr: if \\(\\(\\)")));
    // The text stays readable when its condition cannot be evaluated.
    QCOMPARE(evaluator.Evaluate(QStringLiteral("if (() x"), QString(), Context()),
             QStringLiteral("if (() x"));
}

void tst_ReportTextEvaluator::printing_data()
{
    QTest::addColumn<QString>("sPrinting");
    QTest::addColumn<int>("nRecNo");
    QTest::addColumn<bool>("bPrint");
    QTest::newRow("1") << "1" << 0 << true;
    QTest::newRow("0") << "0" << 0 << false;
    QTest::newRow("empty") << "" << 0 << false;
    QTest::newRow("7") << "7" << 0 << true;
    QTest::newRow("true condition") << "[n] == 10" << 1 << true;
    QTest::newRow("false condition") << "[n] == 10" << 2 << false;
    QTest::newRow("escaped comparison") << "[n] &gt+; 10" << 2 << true;
    QTest::newRow("broken condition") << "[n] ==" << 1 << false;
}

void tst_ReportTextEvaluator::printing()
{
    QFETCH(QString, sPrinting);
    QFETCH(int, nRecNo);
    QFETCH(bool, bPrint);
    ReportTextEvaluator evaluator(&m_engine, &m_script);
    if (sPrinting == QLatin1String("[n] ==")) {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^uncaught exception")));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^formulaStr: 10 ==")));
    }
    QCOMPARE(evaluator.ShouldPrint(sPrinting, Context(nRecNo)), bPrint);
}

void tst_ReportTextEvaluator::highlighting_data()
{
    QTest::addColumn<QString>("sRules");
    QTest::addColumn<int>("nRecNo");
    QTest::addColumn<bool>("bBold");
    QTest::addColumn<bool>("bItalic");
    QTest::addColumn<QString>("sFontColor");
    QTest::addColumn<QString>("sBackground");
    QTest::newRow("none") << "" << 0 << false << false << "#000000"
                          << "";
    QTest::newRow("bold when big") << "bold=[n] &gt+; 5" << 1 << true << false << "#000000"
                                   << "";
    QTest::newRow("not bold when small") << "bold=[n] &gt+; 5" << 0 << false << false << "#000000"
                                         << "";
    QTest::newRow("colours") << "fontColor=QColor(255,0,0);backgroundColor='rgba(0,255,0,255)'" << 0
                             << false << false << "#ff0000"
                             << "#00ff00";
    QTest::newRow("conditional colour off")
        << "fontColor=[n] == 10 ? 'rgba(0,0,255,255)' : ''" << 0 << false << false << "#000000"
        << "";
    QTest::newRow("several") << ";italic=true;;underline=1;strikeout=[n]==10;" << 1 << false << true
                             << "#000000"
                             << "";
}

void tst_ReportTextEvaluator::highlighting()
{
    QFETCH(QString, sRules);
    QFETCH(int, nRecNo);
    QFETCH(bool, bBold);
    QFETCH(bool, bItalic);
    QFETCH(QString, sFontColor);
    QFETCH(QString, sBackground);
    ReportFieldObject field;
    QDomDocument document;
    document.setContent(QStringLiteral("<f fontColor=\"rgba(0,0,0,255)\"/>"));
    field.LoadFromElement(document.documentElement());
    field.sHighlighting = sRules;
    ReportTextEvaluator evaluator(&m_engine, &m_script);
    const ReportFieldStyle style = evaluator.Highlight(field, Context(nRecNo));
    QCOMPARE(style.font.bold(), bBold);
    QCOMPARE(style.font.italic(), bItalic);
    QCOMPARE(style.fontColor.name(), sFontColor);
    QCOMPARE(style.backgroundColor.isValid() ? style.backgroundColor.name() : QString(),
             sBackground);
    if (QTest::currentDataTag() == QLatin1String("several")) {
        QVERIFY(style.font.underline());
        QVERIFY(style.font.strikeOut());
    }
    // The field itself keeps its template look for the next record.
    QVERIFY(!field.font.bold());
}

void tst_ReportTextEvaluator::scriptFunctions_data()
{
    QTest::addColumn<QString>("sExpression");
    QTest::addColumn<QString>("sExpected");
    QTest::newRow("Replace") << "Replace('a-b-c', '-', '+')"
                             << "a+b+c";
    QTest::newRow("ToUpper") << "ToUpper('abc')"
                             << "ABC";
    QTest::newRow("ToLower") << "ToLower('ABC')"
                             << "abc";
    QTest::newRow("NumberToWords") << "NumberToWords('ENG', '42')"
                                   << "forty-two";
    QTest::newRow("NumberToWords unknown") << "NumberToWords('XX', 7)"
                                           << "seven";
    QTest::newRow("Frac") << "Frac(3.25)"
                          << "0.25";
    QTest::newRow("Floor") << "Floor(3.7)"
                           << "3";
    QTest::newRow("Ceil") << "Ceil(3.2)"
                          << "4";
    QTest::newRow("Round") << "Round(2.5)"
                           << "3";
    QTest::newRow("Round decimals") << "Round(2.345, 2)"
                                    << "2.35";
    QTest::newRow("QColor") << "QColor(255, 128, 0)"
                            << "#ff8000";
}

void tst_ReportTextEvaluator::scriptFunctions()
{
    QFETCH(QString, sExpression);
    QFETCH(QString, sExpected);
    bool bOk = false;
    const QVariant result = m_script.Evaluate(sExpression, &bOk);
    QVERIFY(bOk);
    QCOMPARE(result.type() == QVariant::Double ? QString::number(result.toDouble(), 'g', 15)
                                               : result.toString(),
             sExpected);
}

void tst_ReportTextEvaluator::endlessScriptIsAborted_data()
{
    QTest::addColumn<QString>("sExpression");
    QTest::newRow("endless loop") << "while (true) {}";
    QTest::newRow("endless recursion") << "function f() { return f() + 1; } f();";
}

void tst_ReportTextEvaluator::endlessScriptIsAborted()
{
    QFETCH(QString, sExpression);
    ReportScriptEngine engine;
    engine.SetTimeLimit(200);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^uncaught exception")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^formulaStr: ")));
    bool bOk = true;
    QVERIFY(!engine.Evaluate(sExpression, &bOk).isValid());
    QVERIFY(!bOk);
    // The engine is usable afterwards.
    QCOMPARE(engine.Evaluate(QStringLiteral("1 + 1"), &bOk).toInt(), 2);
    QVERIFY(bOk);
}

QTEST_MAIN(tst_ReportTextEvaluator)
#include "tst_ReportTextEvaluator.moc"
