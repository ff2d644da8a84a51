#include "accounts/PasswordDigest.h"

#include <QCryptographicHash>

QString PasswordDigest(const QString &sPassword)
{
    const QByteArray baHash =
        QCryptographicHash::hash(sPassword.trimmed().toLocal8Bit(), QCryptographicHash::Md5);
    return QString::fromLatin1(baHash.toHex()).toUpper();
}
