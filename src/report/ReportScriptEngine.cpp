#include "report/ReportScriptEngine.h"

#include "report/NumberToWords.h"
#include "report/ReportEngine.h"

#include <QColor>
#include <QDebug>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace
{
// How often a long evaluation looks at the watchdog.
constexpr int kProcessEventsMs = 100;

QScriptValue FnReplace(QScriptContext *pContext, QScriptEngine *)
{
    QString sText = pContext->argument(0).toString();
    const QString sBefore = pContext->argument(1).toString();
    if (sBefore.isEmpty())
        return sText;
    return sText.replace(sBefore, pContext->argument(2).toString());
}

QScriptValue FnToUpper(QScriptContext *pContext, QScriptEngine *)
{
    return pContext->argument(0).toString().toUpper();
}

QScriptValue FnToLower(QScriptContext *pContext, QScriptEngine *)
{
    return pContext->argument(0).toString().toLower();
}

QScriptValue FnNumberToWords(QScriptContext *pContext, QScriptEngine *)
{
    const QString sLanguage = pContext->argument(0).toString();
    bool bOk = false;
    const double dNumber = pContext->argument(1).toString().trimmed().toDouble(&bOk);
    return NumberToWords(sLanguage, bOk ? dNumber : 0.0);
}

QScriptValue FnFrac(QScriptContext *pContext, QScriptEngine *)
{
    const double dValue = pContext->argument(0).toNumber();
    return dValue - std::trunc(dValue);
}

QScriptValue FnFloor(QScriptContext *pContext, QScriptEngine *)
{
    return std::floor(pContext->argument(0).toNumber());
}

QScriptValue FnCeil(QScriptContext *pContext, QScriptEngine *)
{
    return std::ceil(pContext->argument(0).toNumber());
}

// Round(value[, decimals]): halves away from zero.
QScriptValue FnRound(QScriptContext *pContext, QScriptEngine *)
{
    const double dValue = pContext->argument(0).toNumber();
    const int nDecimals =
        pContext->argumentCount() > 1 ? qBound(0, pContext->argument(1).toInt32(), 15) : 0;
    const double dScale = std::pow(10.0, nDecimals);
    return std::round(dValue * dScale) / dScale;
}

QScriptValue FnDebug(QScriptContext *pContext, QScriptEngine *)
{
    QStringList slParts;
    for (int i = 0; i < pContext->argumentCount(); ++i)
        slParts.append(pContext->argument(i).toString());
    qDebug().noquote() << slParts.join(QLatin1Char(' '));
    return QScriptValue();
}

// QColor(r, g, b) gives an opaque colour as "#rrggbb", which every colour
// property of a field accepts.
QScriptValue FnColor(QScriptContext *pContext, QScriptEngine *)
{
    const QColor color(qBound(0, pContext->argument(0).toInt32(), 255),
                       qBound(0, pContext->argument(1).toInt32(), 255),
                       qBound(0, pContext->argument(2).toInt32(), 255));
    return color.name();
}

QScriptValue FnAggregate(QScriptContext *pContext, QScriptEngine *pEngine)
{
    auto *pReport = static_cast<ReportScriptEngine *>(pEngine);
    const QVariant result =
        pReport->Aggregate(pContext->argument(0).toInt32(), pContext->argument(1).toString());
    return pEngine->toScriptValue(result);
}
} // namespace

ReportScriptEngine::ReportScriptEngine(QObject *parent) : QScriptEngine(parent)
{
    DefineFunctions();
}

ReportScriptEngine::~ReportScriptEngine()
{
    if (!m_pThread)
        return;
    m_pThread->quit();
    m_pThread->wait();
    // The thread has ended: its objects may go from here.
    m_pWatchdog.reset();
    m_pContext.reset();
}

void ReportScriptEngine::OnEvaluationThread(const std::function<void()> &fnWork)
{
    if (!m_pThread) {
        m_pThread = std::make_unique<QThread>();
        m_pThread->setObjectName(QStringLiteral("ReportScript"));
        m_pContext = std::make_unique<QObject>();
        m_pWatchdog = std::make_unique<QTimer>();
        m_pWatchdog->setInterval(kProcessEventsMs / 2);
        connect(m_pWatchdog.get(), &QTimer::timeout, m_pContext.get(), [this]() {
            if (isEvaluating() && Expired())
                abortEvaluation(currentContext()->throwError(
                    QScriptContext::UnknownError, QStringLiteral("time limit exceeded")));
        });
        m_pContext->moveToThread(m_pThread.get());
        m_pWatchdog->moveToThread(m_pThread.get());
        m_pThread->start();
    }
    // Nested in an evaluation, or without a thread to wait for (none could
    // be started): here, without a time limit in the latter case.
    if (QThread::currentThread() == m_pThread.get() || !m_pThread->isRunning()) {
        fnWork();
        return;
    }
    QMetaObject::invokeMethod(m_pContext.get(), fnWork, Qt::BlockingQueuedConnection);
}

void ReportScriptEngine::DefineFunctions()
{
    QScriptValue global = globalObject();
    global.setProperty(QStringLiteral("Replace"), newFunction(FnReplace, 3));
    global.setProperty(QStringLiteral("ToUpper"), newFunction(FnToUpper, 1));
    global.setProperty(QStringLiteral("ToLower"), newFunction(FnToLower, 1));
    global.setProperty(QStringLiteral("NumberToWords"), newFunction(FnNumberToWords, 2));
    global.setProperty(QStringLiteral("Frac"), newFunction(FnFrac, 1));
    global.setProperty(QStringLiteral("Floor"), newFunction(FnFloor, 1));
    global.setProperty(QStringLiteral("Ceil"), newFunction(FnCeil, 1));
    global.setProperty(QStringLiteral("Round"), newFunction(FnRound, 2));
    global.setProperty(QStringLiteral("debug"), newFunction(FnDebug));
    global.setProperty(QStringLiteral("QColor"), newFunction(FnColor, 3));
    global.setProperty(QStringLiteral("SUM"), newFunction(FnAggregate, 2));
}

void ReportScriptEngine::SetReportEngine(ReportEngine *pEngine)
{
    SetObject(QStringLiteral("ReportEngine"), pEngine);
}

void ReportScriptEngine::SetObject(const QString &sName, QObject *pObject)
{
    if (sName.isEmpty() || !pObject)
        return;
    // Without deleteLater: a template must not delete the engine or a field
    // that the rendering still uses.
    globalObject().setProperty(
        sName, newQObject(pObject, QScriptEngine::QtOwnership, QScriptEngine::ExcludeDeleteLater));
}

bool ReportScriptEngine::LoadScript(const QString &sScript)
{
    if (sScript.trimmed().isEmpty())
        return true;
    bool bOk = false;
    Evaluate(sScript, &bOk);
    return bOk;
}

QScriptValue ReportScriptEngine::Run(const QString &sProgram, const QString &sFunction)
{
    QScriptValue value;
    OnEvaluationThread([&]() {
        const bool bNested = m_timer.isValid();
        // Events are handled during an evaluation only here, where there
        // are none but the watchdog's; a script function that runs anywhere
        // else (one connected to a signal) handles none.
        const bool bWatched =
            !bNested && m_pWatchdog && QThread::currentThread() == m_pWatchdog->thread();
        if (!bNested)
            m_timer.start();
        if (bWatched) {
            setProcessEventsInterval(kProcessEventsMs);
            m_pWatchdog->start();
        }
        QScriptValue result;
        if (sFunction.isEmpty()) {
            result = evaluate(sProgram);
        } else {
            QScriptValue function = globalObject().property(sFunction);
            result = function.call(globalObject());
        }
        const bool bAborted = Expired();
        if (bWatched) {
            m_pWatchdog->stop();
            setProcessEventsInterval(-1);
        }
        if (!bNested)
            m_timer.invalidate();
        if (hasUncaughtException() || bAborted) {
            qDebug().noquote() << "uncaught exception at line" << uncaughtExceptionLineNumber()
                               << ":"
                               << (bAborted ? QStringLiteral("time limit exceeded")
                                            : result.toString());
            qDebug().noquote() << "formulaStr:" << (sFunction.isEmpty() ? sProgram : sFunction);
            clearExceptions();
            return;
        }
        value = result.isValid() ? result : QScriptValue(QScriptValue::UndefinedValue);
    });
    return value;
}

QVariant ReportScriptEngine::Evaluate(const QString &sExpression, bool *pOk)
{
    const QScriptValue result = Run(sExpression, QString());
    if (pOk)
        *pOk = result.isValid();
    return result.isValid() ? ToVariant(result) : QVariant();
}

QVariant ReportScriptEngine::ToVariant(const QScriptValue &value)
{
    if (value.isUndefined() || value.isNull())
        return QVariant();
    if (value.isBool())
        return value.toBool();
    if (value.isNumber())
        return value.toNumber();
    if (value.isString())
        return value.toString();
    return value.toVariant();
}

bool ReportScriptEngine::HasFunction(const QString &sName)
{
    return globalObject().property(sName).isFunction();
}

void ReportScriptEngine::CallFunction(const QString &sName)
{
    if (globalObject().property(sName).isFunction())
        Run(QString(), sName);
}

QVariant ReportScriptEngine::Aggregate(int nKind, const QString &sName) const
{
    const QVariantList values = m_pValues ? m_pValues->value(sName) : QVariantList();
    if (nKind == Count)
        return values.size();
    double dSum = 0;
    double dMin = 0;
    double dMax = 0;
    int nNumbers = 0;
    for (const QVariant &value : values) {
        bool bOk = false;
        const double dValue = value.toString().trimmed().toDouble(&bOk);
        if (!bOk)
            continue;
        dSum += dValue;
        dMin = nNumbers == 0 ? dValue : qMin(dMin, dValue);
        dMax = nNumbers == 0 ? dValue : qMax(dMax, dValue);
        ++nNumbers;
    }
    switch (nKind) {
    case Sum:
        return dSum;
    case Average:
        return nNumbers ? dSum / nNumbers : 0.0;
    case Maximum:
        return dMax;
    case Minimum:
        return dMin;
    default:
        return QVariant();
    }
}
