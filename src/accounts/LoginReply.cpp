#include "accounts/LoginReply.h"

#include "accounts/SignInWatch.h"

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
QString &AccountSlot()
{
    static QString sAccount;
    return sAccount;
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

QString LoginAccount()
{
    std::lock_guard<std::mutex> lock(ReplyMutex());
    return AccountSlot();
}

void SetLoginReply(const QJsonObject &joReply, const QString &sAccount)
{
    // An empty object signs the user out rather than storing "{}".
    const QByteArray baReply =
        joReply.isEmpty() ? QByteArray() : QJsonDocument(joReply).toJson(QJsonDocument::Compact);
    {
        std::lock_guard<std::mutex> lock(ReplyMutex());
        ReplySlot() = baReply;
        AccountSlot() = baReply.isEmpty() ? QString() : sAccount;
    }
    // Outside the lock: a receiver called at once reads the reply again.
    emit SignInWatch::Instance()->SignedInChanged(!baReply.isEmpty());
}
