#include "FaultBoard.h"

std::optional<Fault> Fault::FromJson(const QJsonObject &joFault, QString *pError)
{
    static const QStringList slKnown = {
        QStringLiteral("on"),         QStringLiteral("match"),   QStringLiteral("status"),
        QStringLiteral("empty"),      QStringLiteral("notjson"), QStringLiteral("code"),
        QStringLiteral("body"),       QStringLiteral("msg"),     QStringLiteral("delay"),
        QStringLiteral("reset"),      QStringLiteral("trickle"), QStringLiteral("times"),
        QStringLiteral("withreply"),  QStringLiteral("root"),    QStringLiteral("bomb"),
        QStringLiteral("cut"),        QStringLiteral("norange"), QStringLiteral("ignoreifrange"),
        QStringLiteral("rangeshift"), QStringLiteral("rangelie")};
    for (const QString &sKey : joFault.keys()) {
        if (!slKnown.contains(sKey)) {
            *pError = QStringLiteral("unknown fault member \"%1\"").arg(sKey);
            return std::nullopt;
        }
    }
    static const QStringList slKinds = {QStringLiteral("all"),          QStringLiteral("login"),
                                        QStringLiteral("register"),     QStringLiteral("catalogue"),
                                        QStringLiteral("downloadlist"), QStringLiteral("files")};
    Fault fault;
    const QJsonValue jvOn = joFault.value(QStringLiteral("on"));
    if (jvOn.isString())
        fault.slOn = jvOn.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QJsonValue &jvKind : jvOn.toArray())
        fault.slOn.append(jvKind.toString());
    for (QString &sKind : fault.slOn) {
        sKind = sKind.trimmed().toLower();
        if (!slKinds.contains(sKind)) {
            *pError = QStringLiteral("unknown request kind \"%1\"").arg(sKind);
            return std::nullopt;
        }
    }
    if (fault.slOn.isEmpty())
        fault.slOn.append(QStringLiteral("all"));
    fault.sMatch = joFault.value(QStringLiteral("match")).toString();
    fault.nStatus = joFault.value(QStringLiteral("status")).toInt();
    fault.bWithReply = joFault.value(QStringLiteral("withreply")).toBool();
    fault.bEmpty = joFault.value(QStringLiteral("empty")).toBool();
    fault.bNotJson = joFault.value(QStringLiteral("notjson")).toBool();
    fault.sCode = joFault.value(QStringLiteral("code")).toString();
    if (joFault.contains(QStringLiteral("body")))
        fault.sBody = joFault.value(QStringLiteral("body")).toString();
    if (joFault.contains(QStringLiteral("msg")))
        fault.sMsg = joFault.value(QStringLiteral("msg")).toString();
    fault.nDelayMs = joFault.value(QStringLiteral("delay")).toInt();
    fault.bReset = joFault.value(QStringLiteral("reset")).toBool();
    fault.nTrickleMs = joFault.value(QStringLiteral("trickle")).toInt();
    fault.nTimes = joFault.value(QStringLiteral("times")).toInt();
    if (joFault.contains(QStringLiteral("root")))
        fault.sRoot = joFault.value(QStringLiteral("root")).toString();
    fault.nBombMiB = joFault.value(QStringLiteral("bomb")).toInt();
    fault.dCut = joFault.value(QStringLiteral("cut")).toDouble();
    fault.bNoRange = joFault.value(QStringLiteral("norange")).toBool();
    fault.bIgnoreIfRange = joFault.value(QStringLiteral("ignoreifrange")).toBool();
    fault.nRangeShift = qint64(joFault.value(QStringLiteral("rangeshift")).toDouble());
    fault.bRangeLie = joFault.value(QStringLiteral("rangelie")).toBool();
    if (!(fault.dCut >= 0 && fault.dCut < 1) || fault.nRangeShift < 0) {
        *pError =
            QStringLiteral("\"cut\" must be at least 0 and below 1, \"rangeshift\" not negative");
        return std::nullopt;
    }
    if (fault.nStatus < 0 || fault.nStatus > 999 || fault.nDelayMs < 0 || fault.nTrickleMs < 0 ||
        fault.nTimes < 0 || fault.nBombMiB < 0 || fault.nBombMiB > 4096) {
        *pError = QStringLiteral(
            "fault values must not be negative (status below 1000, bomb at most 4096)");
        return std::nullopt;
    }
    return fault;
}

QJsonObject Fault::ToJson() const
{
    QJsonObject joFault;
    joFault.insert(QStringLiteral("on"), QJsonArray::fromStringList(slOn));
    if (!sMatch.isEmpty())
        joFault.insert(QStringLiteral("match"), sMatch);
    if (nStatus != 0)
        joFault.insert(QStringLiteral("status"), nStatus);
    if (bWithReply)
        joFault.insert(QStringLiteral("withreply"), true);
    if (bEmpty)
        joFault.insert(QStringLiteral("empty"), true);
    if (bNotJson)
        joFault.insert(QStringLiteral("notjson"), true);
    if (!sCode.isEmpty())
        joFault.insert(QStringLiteral("code"), sCode);
    if (sBody)
        joFault.insert(QStringLiteral("body"), *sBody);
    if (sMsg)
        joFault.insert(QStringLiteral("msg"), *sMsg);
    if (nDelayMs != 0)
        joFault.insert(QStringLiteral("delay"), nDelayMs);
    if (bReset)
        joFault.insert(QStringLiteral("reset"), true);
    if (nTrickleMs != 0)
        joFault.insert(QStringLiteral("trickle"), nTrickleMs);
    if (nTimes != 0)
        joFault.insert(QStringLiteral("times"), nTimes);
    if (sRoot)
        joFault.insert(QStringLiteral("root"), *sRoot);
    if (nBombMiB != 0)
        joFault.insert(QStringLiteral("bomb"), nBombMiB);
    if (dCut != 0)
        joFault.insert(QStringLiteral("cut"), dCut);
    if (bNoRange)
        joFault.insert(QStringLiteral("norange"), true);
    if (bIgnoreIfRange)
        joFault.insert(QStringLiteral("ignoreifrange"), true);
    if (nRangeShift != 0)
        joFault.insert(QStringLiteral("rangeshift"), double(nRangeShift));
    if (bRangeLie)
        joFault.insert(QStringLiteral("rangelie"), true);
    return joFault;
}

bool Fault::Applies(const QString &sKind, const QString &sPath) const
{
    if (!slOn.contains(QStringLiteral("all")) && !slOn.contains(sKind))
        return false;
    return sMatch.isEmpty() || sPath.contains(sMatch);
}

void FaultBoard::Replace(std::vector<Fault> faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = std::move(faults);
}

std::optional<Fault> FaultBoard::Take(const QString &sKind, const QString &sPath)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (!it->Applies(sKind, sPath))
            continue;
        const Fault fault = *it;
        if (it->nTimes > 0 && --it->nTimes == 0)
            m_faults.erase(it);
        return fault;
    }
    return std::nullopt;
}

QJsonArray FaultBoard::ToJson() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QJsonArray jaFaults;
    for (const Fault &fault : m_faults)
        jaFaults.append(fault.ToJson());
    return jaFaults;
}
