#include "accounts/SignOut.h"

#include "accounts/LoginReply.h"
#include "accounts/StoredCredentials.h"
#include "net/HttpPost.h"

#include <QJsonObject>

void SignOut()
{
    // The cookies first: once LoginReply is empty, whoever sees it may send.
    ForgetSharedCookies();
    SetLoginReply(QJsonObject());
    StoredCredentials credentials;
    if (!ReadStoredCredentials(&credentials) || !credentials.bAuto)
        return;
    credentials.bAuto = false;
    if (!credentials.bRemember)
        credentials.sPassword.clear();
    WriteStoredCredentials(credentials);
}
