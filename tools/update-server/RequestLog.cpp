#include "RequestLog.h"

void RequestLog::Add(const QJsonObject &joEntry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.append(joEntry);
}

QJsonArray RequestLog::Entries() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

void RequestLog::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries = QJsonArray();
}
