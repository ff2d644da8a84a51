#pragma once
// What the server received, for tests to inspect through GET /control/requests.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>
#include <mutex>

class RequestLog
{
public:
    // Appends an entry; the number names it for the calls below.
    quint64 Add(const QJsonObject &joEntry);
    // Sets a member of an entry (nothing when the log was cleared since).
    void SetMember(quint64 nEntry, const QString &sKey, const QJsonValue &jvValue);
    // Adds to the entry's "sent", the body bytes handed to the connection.
    void AddSent(quint64 nEntry, qint64 nBytes);
    QJsonArray Entries() const;
    void Clear();

private:
    QJsonObject *Find(quint64 nEntry);

    mutable std::mutex m_mutex;
    QVector<QJsonObject> m_entries;
    quint64 m_nFirst = 0; // the number of m_entries' first entry
};
