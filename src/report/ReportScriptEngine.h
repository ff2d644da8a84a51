#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QScriptEngine>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

class QThread;
class QTimer;
class ReportEngine;

// Evaluates report expressions: conditions, aggregates and highlighting
// rules, with the template's script loaded and the report functions
// (Replace, ToUpper, ToLower, NumberToWords, Frac, Floor, Ceil, Round, debug,
// QColor, and the aggregate function) defined.
//
// Evaluations run on a thread of their own while the caller waits: the time
// limit needs events handled during a long evaluation, and there only that
// thread's own are. The caller's thread handles none meanwhile, so that no
// click acts on a report that is half drawn.
class ReportScriptEngine : public QScriptEngine
{
    Q_OBJECT
public:
    enum AggregateKind { Sum = 0, Average = 1, Count = 2, Maximum = 3, Minimum = 4 };

    explicit ReportScriptEngine(QObject *parent = nullptr);
    ~ReportScriptEngine() override;

    // Loads the template's script; false (and a debug line) on an error.
    bool LoadScript(const QString &sScript);
    void SetReportEngine(ReportEngine *pEngine);
    void SetObject(const QString &sName, QObject *pObject);

    // Evaluates an expression; on an error writes the line and the text to
    // the debug channel and returns an invalid value, with *pOk false.
    QVariant Evaluate(const QString &sExpression, bool *pOk = nullptr);
    bool HasFunction(const QString &sName);
    void CallFunction(const QString &sName);

    // Values the record loop collected per placeholder, for aggregates.
    void SetAggregateValues(const QHash<QString, QVariantList> *pValues) { m_pValues = pValues; }
    QVariant Aggregate(int nKind, const QString &sName) const;

    static QVariant ToVariant(const QScriptValue &value);

    // Longest a single evaluation may run before it is aborted, so that a
    // template's endless loop cannot stall the rendering.
    void SetTimeLimit(int nMilliseconds) { m_nTimeLimit = nMilliseconds; }
    int TimeLimit() const { return m_nTimeLimit; }
    bool Expired() const { return m_timer.isValid() && m_timer.elapsed() > m_nTimeLimit; }

private:
    QScriptValue Run(const QString &sProgram, const QString &sFunction);
    // Runs fnWork on the evaluation thread (started on first use) and waits
    // for it without handling events.
    void OnEvaluationThread(const std::function<void()> &fnWork);
    void DefineFunctions();

    const QHash<QString, QVariantList> *m_pValues = nullptr;
    QElapsedTimer m_timer;
    int m_nTimeLimit = 5000;
    std::unique_ptr<QThread> m_pThread;
    std::unique_ptr<QObject> m_pContext; // lives on m_pThread
    std::unique_ptr<QTimer> m_pWatchdog; // lives on m_pThread
};
