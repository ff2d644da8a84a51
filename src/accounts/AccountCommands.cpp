#include "accounts/AccountCommands.h"

#include "net/SecretMask.h"

#include <QDebug>

CommandReply SendLogin(const QString &sUserName, const QString &sDigest)
{
    QJsonObject joData;
    joData.insert(QStringLiteral("username"), sUserName);
    joData.insert(QStringLiteral("password"), sDigest);
    const CommandReply reply = SendCompressedCommand(LoginUrl(), CommandLogin, joData);
    qDebug() << "login reply" << reply.nStatus << MaskSecrets(reply.baPlain);
    return reply;
}

CommandReply SendRegistration(const QJsonObject &joData)
{
    const CommandReply reply = SendCompressedCommand(RegisterUrl(), CommandRegister, joData);
    qDebug() << "registration reply" << reply.nStatus << MaskSecrets(reply.baPlain);
    return reply;
}
