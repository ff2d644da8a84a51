#include "app/FileUtils.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString FileMd5(const QString &sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

bool CopyFileReplacing(const QString &sSource, const QString &sTarget, bool bOverwrite)
{
    // Windows gets backslashes throughout; elsewhere the paths stay as given.
    const QString sFrom = QDir::toNativeSeparators(sSource);
    const QString sTo = QDir::toNativeSeparators(sTarget);
    if (sFrom == sTo)
        return true;
    const QFileInfo fromInfo(sFrom);
    if (!fromInfo.exists())
        return false;
    // Two spellings of one file: removing the "target" would destroy the source.
    const QFileInfo toInfo(sTo);
    if (toInfo.exists() && fromInfo.canonicalFilePath() == toInfo.canonicalFilePath())
        return true;
    if (bOverwrite && toInfo.exists())
        QFile::remove(sTo);
    return QFile::copy(sFrom, sTo);
}
