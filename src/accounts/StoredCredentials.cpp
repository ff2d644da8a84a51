#include "accounts/StoredCredentials.h"

#include "base/Json.h"
#include "net/ServerProtocol.h"
#include "platform/PrivateFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

QString UserFilePath()
{
    return QStringLiteral("./User.bin");
}

bool ReadStoredCredentials(StoredCredentials *pCredentials, const QString &sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool bOk = false;
    const QJsonObject joUser = ParseJsonObject(DecompressBody(file.readAll()), &bOk);
    if (!bOk)
        return false;
    pCredentials->sUserName = joUser.value(QStringLiteral("username")).toString();
    pCredentials->sPassword = joUser.value(QStringLiteral("password")).toString();
    pCredentials->bAuto = joUser.value(QStringLiteral("auto")).toBool(false);
    pCredentials->bRemember = joUser.value(QStringLiteral("remember")).toBool(false);
    return true;
}

bool WriteStoredCredentials(const StoredCredentials &credentials, const QString &sPath)
{
    QJsonObject joUser;
    joUser.insert(QStringLiteral("username"), credentials.sUserName);
    joUser.insert(QStringLiteral("password"), credentials.sPassword);
    joUser.insert(QStringLiteral("auto"), credentials.bAuto);
    joUser.insert(QStringLiteral("remember"), credentials.bRemember);
    // The digest opens the account: only the user may read the file, from its first byte on.
    if (!PreparePrivateFile(QFile::encodeName(sPath).toStdString()))
        return false;
    // Written aside and renamed, so a failed write never leaves half a file.
    QSaveFile file(sPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(CompressBody(QJsonDocument(joUser).toJson(QJsonDocument::Indented)));
    return file.commit();
}
