#pragma once
// The reply of the last successful login, kept for the whole process. Empty
// while nobody is signed in. Written by the login thread, read by the GUI thread.

#include <QJsonObject>
#include <QString>

QJsonObject LoginReply();
bool HasLoginReply();
// An empty reply signs the user out. sAccount: the account name it is for.
// SignInWatch tells of every call.
void SetLoginReply(const QJsonObject &joReply, const QString &sAccount = QString());
// The account of the stored reply; empty while nobody is signed in.
QString LoginAccount();
