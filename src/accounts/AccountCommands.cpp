#include "accounts/AccountCommands.h"

#include "net/SecretMask.h"

#include <QCoreApplication>
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

QString UnreadableReplyText(const CommandReply &reply)
{
    if (!reply.IsHttpOk())
        return QCoreApplication::translate("AccountCommands", "网络可能不通,请捡查网络是否正常。");
    if (!reply.bParsed)
        return QCoreApplication::translate("AccountCommands", "发生未知错误,请偿试重新提交。");
    return QString();
}

QString UnknownCodeText()
{
    return QCoreApplication::translate("AccountCommands", "服务异常,请偿试重新登录。");
}
