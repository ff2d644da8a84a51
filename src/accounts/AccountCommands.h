#pragma once
// The two account commands, sent on the compressed envelope with the active proxy,
// and the texts both account windows show for a reply they cannot act on (the
// codes a window knows, and their texts, stay with the window).

#include "net/ServerProtocol.h"

// 1041 to the login port: {"username", "password" (digest)}.
CommandReply SendLogin(const QString &sUserName, const QString &sDigest);
// 1040 to the command port: {"name", "realname", "phone", "email", "password", "sn"}.
CommandReply SendRegistration(const QJsonObject &joData);

// Why the reply cannot be read: no answer or a status other than 200, or a body
// that is not JSON. Empty for a reply whose code can be read.
QString UnreadableReplyText(const CommandReply &reply);
// For a code the window does not know.
QString UnknownCodeText();
