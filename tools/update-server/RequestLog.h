#pragma once
// What the server received, for tests to inspect through GET /control/requests.

#include <QJsonArray>
#include <QJsonObject>
#include <mutex>

class RequestLog
{
public:
    void Add(const QJsonObject &joEntry);
    QJsonArray Entries() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    QJsonArray m_entries;
};
