#include "PackageCatalogue.h"

#include "base/FileUtils.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>

namespace
{
QString DirOf(const QJsonObject &joInfo)
{
    QString sDir = joInfo.value(QStringLiteral("dir")).toString();
    sDir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (sDir.endsWith(QLatin1Char('/')))
        sDir.chop(1);
    while (sDir.startsWith(QLatin1Char('/')))
        sDir.remove(0, 1);
    return sDir;
}

QString LastComponent(const QString &sDir)
{
    return sDir.section(QLatin1Char('/'), -1);
}
} // namespace

QList<PackageCatalogue::Package> PackageCatalogue::ReadPackages() const
{
    QList<Package> packages;
    if (m_sFolder.isEmpty())
        return packages;
    QDir folder(m_sFolder);
    const QStringList slNames = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &sName : slNames) {
        QFile file(folder.filePath(sName + QStringLiteral("/package.json")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
        if (!doc.isObject() || DirOf(doc.object()).isEmpty())
            continue;
        packages.append(Package{folder.absoluteFilePath(sName), doc.object()});
    }
    return packages;
}

bool PackageCatalogue::OffersTo(const Package &package, const QString &sDevType)
{
    const QJsonValue jvTypes = package.joInfo.value(QStringLiteral("devtypes"));
    if (!jvTypes.isArray())
        return true;
    for (const QJsonValue &jvType : jvTypes.toArray()) {
        if (jvType.toString().compare(sDevType, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QJsonObject PackageCatalogue::PublicInfo(const Package &package, ServerModes::Set modes, bool bList)
{
    QJsonObject joInfo = package.joInfo;
    const bool bMandatory = joInfo.value(QStringLiteral("mandatory")).toBool();
    joInfo.remove(QStringLiteral("devtypes"));
    joInfo.remove(QStringLiteral("mandatory"));
    QString sDir = DirOf(package.joInfo);
    if (bList && (modes & ServerModes::DirParent))
        sDir = QStringLiteral("Elsewhere/") + LastComponent(sDir);
    if (modes & ServerModes::LeadingSlash)
        sDir.prepend(QLatin1Char('/'));
    if (bList && (modes & ServerModes::DirSlash))
        sDir.append(QLatin1Char('/'));
    joInfo.insert(QStringLiteral("dir"), sDir);
    joInfo.insert(QStringLiteral("rev"), joInfo.value(QStringLiteral("rev")).toString());
    QString sBranch = joInfo.value(QStringLiteral("branch")).toString();
    if (bMandatory)
        sBranch = (modes & ServerModes::BranchMandatory) ? QStringLiteral("main") : QString();
    joInfo.insert(QStringLiteral("branch"), sBranch);
    if (modes & ServerModes::ExtraMembers)
        joInfo.insert(QStringLiteral("x_released"), QStringLiteral("2024-01-01"));
    return joInfo;
}

QJsonObject PackageCatalogue::FileEntry(const QString &sPath, const QString &sLocal,
                                        ServerModes::Set modes) const
{
    QString sListed = sPath;
    if (modes & ServerModes::LeadingSlash)
        sListed.prepend(QLatin1Char('/'));
    if (modes & ServerModes::BackslashPath)
        sListed.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QString sHash = CachedMd5(sLocal);
    if (modes & ServerModes::UpperHash)
        sHash = sHash.toUpper();
    const qint64 nSize = QFileInfo(sLocal).size();
    QJsonObject joFile;
    joFile.insert(QStringLiteral("Path"), sListed);
    joFile.insert(QStringLiteral("Hash"), sHash);
    if (modes & ServerModes::StaleSize)
        joFile.insert(QStringLiteral("Size"), qMax<qint64>(1, nSize / 4));
    else if (modes & ServerModes::ZeroSize)
        joFile.insert(QStringLiteral("Size"), 0);
    else if (modes & ServerModes::TextSize)
        joFile.insert(QStringLiteral("Size"), QString::number(nSize));
    else if (modes & ServerModes::BigSize)
        joFile.insert(QStringLiteral("Size"), nSize * 4);
    else if (!(modes & ServerModes::NoSize))
        joFile.insert(QStringLiteral("Size"), nSize);
    if (modes & ServerModes::ExtraMembers)
        joFile.insert(QStringLiteral("x_mode"), 420);
    return joFile;
}

QJsonArray PackageCatalogue::CatalogueList(const QString &sDevType, ServerModes::Set modes) const
{
    QJsonArray jaList;
    for (const Package &package : ReadPackages()) {
        if (OffersTo(package, sDevType))
            jaList.append(PublicInfo(package, modes, false));
    }
    return jaList;
}

QJsonArray PackageCatalogue::DownloadList(const QString &sDevType, const QString &sType,
                                          const QString &sBranch, ServerModes::Set modes) const
{
    QJsonArray jaList;
    for (const Package &package : ReadPackages()) {
        if (!OffersTo(package, sDevType))
            continue;
        const QString sDir = DirOf(package.joInfo);
        if (LastComponent(sDir).compare(sType, Qt::CaseInsensitive) != 0)
            continue;
        QJsonObject joManifest = PublicInfo(package, modes, true);
        const QString sPackageBranch =
            PublicInfo(package, 0, true).value(QStringLiteral("branch")).toString();
        if (!sBranch.isEmpty() && sPackageBranch.compare(sBranch, Qt::CaseInsensitive) != 0)
            continue;
        // "files/" lies below the package folder; "disk/" (files the package
        // shares with others) below the disk root.
        QList<QPair<QString, QString>> files; // "Path" -> local file
        AddFiles(package.sFolder + QStringLiteral("/files"), sDir + QLatin1Char('/'), &files);
        AddFiles(package.sFolder + QStringLiteral("/disk"), QString(), &files);
        std::sort(files.begin(), files.end());
        if (modes & ServerModes::FilesReversed)
            std::reverse(files.begin(), files.end());
        QJsonArray jaFiles;
        for (const auto &file : qAsConst(files))
            jaFiles.append(FileEntry(file.first, file.second, modes));
        joManifest.insert(QStringLiteral("files"), jaFiles);
        jaList.append(joManifest);
    }
    return jaList;
}

QString PackageCatalogue::FileForPath(const QString &sPath) const
{
    QString sSlashed = sPath;
    sSlashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList slParts = sSlashed.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (slParts.contains(QStringLiteral("..")) || slParts.contains(QStringLiteral(".")))
        return QString();
    const QString sClean = slParts.join(QLatin1Char('/'));
    for (const Package &package : ReadPackages()) {
        const QString sPrefix = DirOf(package.joInfo) + QLatin1Char('/');
        if (sClean.startsWith(sPrefix, Qt::CaseInsensitive)) {
            const QString sLocal =
                package.sFolder + QStringLiteral("/files/") + sClean.mid(sPrefix.size());
            if (QFileInfo(sLocal).isFile())
                return sLocal;
        }
        const QString sShared = package.sFolder + QStringLiteral("/disk/") + sClean;
        if (QFileInfo(sShared).isFile())
            return sShared;
    }
    return QString();
}

void PackageCatalogue::AddFiles(const QString &sFolder, const QString &sPathPrefix,
                                QList<QPair<QString, QString>> *pFiles)
{
    const QDir dir(sFolder);
    if (!dir.exists())
        return;
    QDirIterator it(dir.absolutePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString sLocal = it.next();
        pFiles->append(qMakePair(sPathPrefix + dir.relativeFilePath(sLocal), sLocal));
    }
}

QString PackageCatalogue::CachedMd5(const QString &sPath) const
{
    const QFileInfo info(sPath);
    const QString sStamp =
        QStringLiteral("%1/%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    {
        std::lock_guard<std::mutex> lock(m_cacheMutex);
        const auto it = m_md5Cache.constFind(sPath);
        if (it != m_md5Cache.constEnd() && it->first == sStamp)
            return it->second;
    }
    const QString sMd5 = FileMd5(sPath);
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    m_md5Cache.insert(sPath, qMakePair(sStamp, sMd5));
    return sMd5;
}
