#include "accounts/AutoUserLogin.h"

#include "accounts/AccountCommands.h"
#include "accounts/LoginReply.h"
#include "accounts/StoredCredentials.h"

#include <QDebug>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

namespace
{
void AskForLogin(const QPointer<QObject> &pMainWindow)
{
    // The window may have gone while the request ran.
    if (!pMainWindow.isNull())
        QMetaObject::invokeMethod(pMainWindow.data(), "ShowLogin", Qt::QueuedConnection);
}
} // namespace

void AutoUserLogin(QObject *pWindow)
{
    const QPointer<QObject> pMainWindow(pWindow);
    qDebug() << "AutoUserLogin"
             << "线程ID："
             << QString::asprintf("%p", static_cast<void *>(QThread::currentThread()));
    StoredCredentials credentials;
    if (!ReadStoredCredentials(&credentials)) {
        AskForLogin(pMainWindow);
        return;
    }
    if (!credentials.bAuto || credentials.sPassword.isEmpty()) {
        AskForLogin(pMainWindow);
        return;
    }
    const CommandReply reply = SendLogin(credentials.sUserName, credentials.sPassword);
    if (!reply.IsSuccess()) {
        AskForLogin(pMainWindow);
        return;
    }
    SetLoginReply(reply.joReply, credentials.sUserName);
}
