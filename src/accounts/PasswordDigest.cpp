#include "accounts/PasswordDigest.h"

#include "platform/PasswordCodePage.h"

#include <QByteArray>
#include <QCryptographicHash>

QString PasswordDigest(const QString &sPassword)
{
    const std::string sBytes = PasswordCodePageBytes(sPassword.trimmed().toStdString());
    const QByteArray baHash =
        QCryptographicHash::hash(QByteArray::fromStdString(sBytes), QCryptographicHash::Md5);
    return QString::fromLatin1(baHash.toHex()).toUpper();
}
