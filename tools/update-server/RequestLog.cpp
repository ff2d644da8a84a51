#include "RequestLog.h"

quint64 RequestLog::Add(const QJsonObject &joEntry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.append(joEntry);
    return m_nFirst + quint64(m_entries.size()) - 1;
}

QJsonObject *RequestLog::Find(quint64 nEntry)
{
    if (nEntry < m_nFirst || nEntry - m_nFirst >= quint64(m_entries.size()))
        return nullptr;
    return &m_entries[int(nEntry - m_nFirst)];
}

void RequestLog::SetMember(quint64 nEntry, const QString &sKey, const QJsonValue &jvValue)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (QJsonObject *pEntry = Find(nEntry))
        pEntry->insert(sKey, jvValue);
}

void RequestLog::AddSent(quint64 nEntry, qint64 nBytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QJsonObject *pEntry = Find(nEntry);
    if (!pEntry)
        return;
    const QString sKey = QStringLiteral("sent");
    pEntry->insert(sKey, double(qint64(pEntry->value(sKey).toDouble()) + nBytes));
}

QJsonArray RequestLog::Entries() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QJsonArray jaEntries;
    for (const QJsonObject &joEntry : m_entries)
        jaEntries.append(joEntry);
    return jaEntries;
}

void RequestLog::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nFirst += quint64(m_entries.size());
    m_entries.clear();
}
