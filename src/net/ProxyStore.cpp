#include "net/ProxyStore.h"

#include "platform/PrivateFile.h"
#include "platform/ProxySettingsStore.h"

#include <QDebug>
#include <QFile>

namespace ProxyStore
{

Values Read()
{
    const auto pSettings = OpenProxySettingsStore();
    Values values;
    values.proxy.sAddress = pSettings->value(QStringLiteral("address"), QString()).toString();
    values.proxy.nPort = pSettings->value(QStringLiteral("port"), 8080).toInt();
    values.proxy.sAccount = pSettings->value(QStringLiteral("account"), QString()).toString();
    values.proxy.sPassword = pSettings->value(QStringLiteral("password"), QString()).toString();
    values.nUseProxy = pSettings->value(QStringLiteral("useproxy"), 0).toInt();
    return values;
}

void Write(bool bUseProxy, const QString &sAddress, const QString &sPort, const QString &sAccount,
           const QString &sPassword)
{
    const auto pSettings = OpenProxySettingsStore();
    // The proxy password is kept in clear: a settings file is for the user's eyes only, before
    // anything is written into it.
    if (!PreparePrivateFile(QFile::encodeName(pSettings->fileName()).toStdString())) {
        qDebug() << "proxy settings not saved:" << pSettings->fileName() << "is not private";
        return;
    }
    pSettings->setValue(QStringLiteral("useproxy"), bUseProxy ? 1 : 0);
    if (bUseProxy) {
        pSettings->setValue(QStringLiteral("address"), sAddress.trimmed());
        pSettings->setValue(QStringLiteral("port"), sPort.trimmed().toInt());
        pSettings->setValue(QStringLiteral("account"), sAccount.trimmed());
        pSettings->setValue(QStringLiteral("password"), sPassword.trimmed());
    }
    pSettings->sync();
}

} // namespace ProxyStore
