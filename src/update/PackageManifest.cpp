#include "update/PackageManifest.h"

#include "update/SafePath.h"

#include <QJsonArray>
#include <QJsonValue>

FileEntry FileEntry::FromJson(const QJsonObject &joEntry)
{
    FileEntry entry;
    entry.sPath = joEntry.value(QLatin1String("Path")).toString();
    entry.sHash = joEntry.value(QLatin1String("Hash")).toString();
    // Used only for the progress share; nonsense counts as nothing.
    entry.nSize = qMax(0, joEntry.value(QLatin1String("Size")).toInt(0));
    return entry;
}

QString PackageManifest::Root() const
{
    return joPackage.value(QLatin1String("root")).toString();
}

QString PackageManifest::Lang() const
{
    return joPackage.value(QLatin1String("lang")).toString();
}

QString PackageManifest::Dir() const
{
    return joPackage.value(QLatin1String("dir")).toString();
}

QString PackageManifest::Rev() const
{
    return joPackage.value(QLatin1String("rev")).toString();
}

QList<FileEntry> PackageManifest::Files() const
{
    QList<FileEntry> files;
    const QJsonArray jaFiles = joPackage.value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : jaFiles)
        files << FileEntry::FromJson(value.toObject());
    return files;
}

void PackageManifest::SetRoot(const QString &sRoot)
{
    joPackage.insert(QLatin1String("root"), sRoot);
}

void PackageManifest::SetLang(const QString &sLang)
{
    joPackage.insert(QLatin1String("lang"), sLang);
}

QString PackageManifest::WithoutLanguagePrefix(const QString &sText, const QString &sLang)
{
    const QString sPrefix = sLang + QLatin1Char('/');
    if (sText.startsWith(sPrefix, Qt::CaseInsensitive))
        return sText.mid(sPrefix.size());
    return sText;
}

QStringList PackageManifest::FolderComponents(const QString &sLang, bool *pOk) const
{
    const QStringList slFolder = SafeRelativeComponents(WithoutLanguagePrefix(Dir(), sLang), pOk);
    // A package is a folder of its own, never the disk itself nor a place of the device's.
    if (*pOk && (slFolder.isEmpty() || IsReservedOnDisk(slFolder))) {
        *pOk = false;
        return {};
    }
    return slFolder;
}
