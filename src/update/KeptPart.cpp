#include "update/KeptPart.h"

#include "device/DeviceDiskFile.h"
#include "platform/FileInUse.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{

const char kDataSuffix[] = ".resume-data.uapart";
const char kRecordSuffix[] = ".resume-info.uapart";
// A record is a few hundred bytes; anything much longer is not one.
constexpr qint64 kRecordLimit = 64 * 1024;
constexpr int kValidatorLimit = 256;

bool IsMd5Text(const QString &sText)
{
    if (sText.size() != 32)
        return false;
    for (const QChar c : sText) {
        const bool bHex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                          (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                          (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!bHex)
            return false;
    }
    return true;
}

// A whole number of bytes from JSON: a double that holds it exactly.
bool ByteCount(const QJsonValue &jvValue, qint64 *pValue)
{
    if (!jvValue.isDouble())
        return false;
    const double dValue = jvValue.toDouble();
    if (!(dValue >= 0 && dValue <= 9007199254740992.0) || dValue != double(qint64(dValue)))
        return false;
    *pValue = qint64(dValue);
    return true;
}

} // namespace

bool KeptPart::IsResumable(const QString &sMd5)
{
    return IsMd5Text(sMd5);
}

QString KeptPart::DataPath(const QString &sTarget)
{
    return sTarget + QLatin1String(kDataSuffix);
}

QString KeptPart::RecordPath(const QString &sTarget)
{
    return sTarget + QLatin1String(kRecordSuffix);
}

QString KeptPart::TargetNameOf(const QString &sName)
{
    for (const char *pSuffix : {kDataSuffix, kRecordSuffix}) {
        const QLatin1String suffix(pSuffix);
        if (sName.size() > suffix.size() && sName.endsWith(suffix))
            return sName.left(sName.size() - suffix.size());
    }
    return QString();
}

std::optional<KeptPart::Record> KeptPart::Read(const QString &sTarget)
{
    QByteArray baRecord;
    if (!DeviceDiskFile::ReadAll(RecordPath(sTarget), kRecordLimit, &baRecord))
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(baRecord, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject joRecord = doc.object();
    Record record;
    const QJsonValue jvETag = joRecord.value(QLatin1String("etag"));
    const QJsonValue jvLastModified = joRecord.value(QLatin1String("last_modified"));
    record.sUrl = joRecord.value(QLatin1String("url")).toString();
    record.sMd5 = joRecord.value(QLatin1String("md5")).toString().toLower();
    record.sKeptMd5 = joRecord.value(QLatin1String("kept_md5")).toString().toLower();
    record.sETag = jvETag.toString();
    record.sLastModified = jvLastModified.toString();
    const bool bWellFormed =
        !record.sUrl.isEmpty() && IsMd5Text(record.sMd5) && IsMd5Text(record.sKeptMd5) &&
        ByteCount(joRecord.value(QLatin1String("size")), &record.nSize) &&
        ByteCount(joRecord.value(QLatin1String("kept")), &record.nKept) &&
        record.nKept >= MinBytes && record.nKept < record.nSize &&
        (jvETag.isUndefined() || jvETag.isString()) &&
        (jvLastModified.isUndefined() || jvLastModified.isString()) &&
        CleanValidator(record.sETag.toLatin1()) == record.sETag &&
        CleanValidator(record.sLastModified.toLatin1()) == record.sLastModified;
    if (!bWellFormed) {
        qDebug() << "kept part's record refused:" << RecordPath(sTarget);
        return std::nullopt;
    }
    return record;
}

bool KeptPart::Write(const QString &sTarget, const Record &record)
{
    QJsonObject joRecord{{QLatin1String("url"), record.sUrl},
                         {QLatin1String("md5"), record.sMd5.toLower()},
                         {QLatin1String("size"), double(record.nSize)},
                         {QLatin1String("kept"), double(record.nKept)},
                         {QLatin1String("kept_md5"), record.sKeptMd5.toLower()}};
    if (!record.sETag.isEmpty())
        joRecord.insert(QLatin1String("etag"), record.sETag);
    if (!record.sLastModified.isEmpty())
        joRecord.insert(QLatin1String("last_modified"), record.sLastModified);
    const QByteArray baRecord = QJsonDocument(joRecord).toJson(QJsonDocument::Compact);
    // Made anew: whatever had the name (a link included) is gone first, and
    // nothing is written through it.
    const QString sPath = RecordPath(sTarget);
    RemoveFileIfUnused(sPath.toStdString());
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool bWritten = file.write(baRecord) == baRecord.size() && file.flush();
    file.close();
    if (bWritten && file.error() == QFileDevice::NoError)
        return true;
    file.remove();
    return false;
}

void KeptPart::Remove(const QString &sTarget)
{
    RemoveFileIfUnused(DataPath(sTarget).toStdString());
    RemoveFileIfUnused(RecordPath(sTarget).toStdString());
}

QString KeptPart::CleanValidator(const QByteArray &baValue)
{
    const QByteArray baTrimmed = baValue.trimmed();
    if (baTrimmed.size() > kValidatorLimit)
        return QString();
    for (const char c : baTrimmed) {
        if (c < 0x20 || c > 0x7e)
            return QString();
    }
    return QString::fromLatin1(baTrimmed);
}

bool KeptPart::RemoveIfExpired(const QFileInfo &info, const QDateTime &now)
{
    const QDateTime modified = info.lastModified();
    const bool bExpired =
        info.isSymLink() || !modified.isValid() || qAbs(modified.secsTo(now)) > MaxAgeSeconds;
    if (!bExpired)
        return false;
    qDebug() << "kept part expired:" << info.filePath();
    return RemoveFileIfUnused(info.filePath().toStdString());
}
