#include "accounts/LoginReply.h"

#include <QJsonDocument>
#include <mutex>

namespace
{
std::mutex &ReplyMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Kept as the serialised JSON text, as the server sent it.
QByteArray &ReplySlot()
{
    static QByteArray baReply;
    return baReply;
}
} // namespace

QJsonObject LoginReply()
{
    std::lock_guard<std::mutex> lock(ReplyMutex());
    return QJsonDocument::fromJson(ReplySlot()).object();
}

bool HasLoginReply()
{
    std::lock_guard<std::mutex> lock(ReplyMutex());
    return !ReplySlot().isEmpty();
}

void SetLoginReply(const QJsonObject &joReply)
{
    // An empty object signs the user out rather than storing "{}".
    const QByteArray baReply =
        joReply.isEmpty() ? QByteArray() : QJsonDocument(joReply).toJson(QJsonDocument::Compact);
    std::lock_guard<std::mutex> lock(ReplyMutex());
    ReplySlot() = baReply;
}
