#pragma once
// The two account commands, sent on the compressed envelope with the active proxy.

#include "net/ServerProtocol.h"

// 1041 to the login port: {"username", "password" (digest)}.
CommandReply SendLogin(const QString &sUserName, const QString &sDigest);
// 1040 to the command port: {"name", "realname", "phone", "email", "password", "sn"}.
CommandReply SendRegistration(const QJsonObject &joData);
