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

QJsonObject PackageCatalogue::PublicInfo(const Package &package)
{
    QJsonObject joInfo = package.joInfo;
    const bool bMandatory = joInfo.value(QStringLiteral("mandatory")).toBool();
    joInfo.remove(QStringLiteral("devtypes"));
    joInfo.remove(QStringLiteral("mandatory"));
    joInfo.insert(QStringLiteral("dir"), DirOf(package.joInfo));
    joInfo.insert(QStringLiteral("rev"), joInfo.value(QStringLiteral("rev")).toString());
    joInfo.insert(QStringLiteral("branch"),
                  bMandatory ? QString() : joInfo.value(QStringLiteral("branch")).toString());
    return joInfo;
}

QJsonArray PackageCatalogue::CatalogueList(const QString &sDevType) const
{
    QJsonArray jaList;
    for (const Package &package : ReadPackages()) {
        if (OffersTo(package, sDevType))
            jaList.append(PublicInfo(package));
    }
    return jaList;
}

QJsonArray PackageCatalogue::DownloadList(const QString &sDevType, const QString &sType,
                                          const QString &sBranch) const
{
    QJsonArray jaList;
    for (const Package &package : ReadPackages()) {
        if (!OffersTo(package, sDevType))
            continue;
        const QString sDir = DirOf(package.joInfo);
        if (LastComponent(sDir).compare(sType, Qt::CaseInsensitive) != 0)
            continue;
        QJsonObject joManifest = PublicInfo(package);
        const QString sPackageBranch = joManifest.value(QStringLiteral("branch")).toString();
        if (!sBranch.isEmpty() && sPackageBranch.compare(sBranch, Qt::CaseInsensitive) != 0)
            continue;
        // "files/" lies below the package folder; "disk/" (files the package
        // shares with others) below the disk root.
        QList<QPair<QString, QString>> files; // "Path" -> local file
        AddFiles(package.sFolder + QStringLiteral("/files"), sDir + QLatin1Char('/'), &files);
        AddFiles(package.sFolder + QStringLiteral("/disk"), QString(), &files);
        std::sort(files.begin(), files.end());
        QJsonArray jaFiles;
        for (const auto &file : qAsConst(files)) {
            QJsonObject joFile;
            joFile.insert(QStringLiteral("Path"), file.first);
            joFile.insert(QStringLiteral("Hash"), CachedMd5(file.second));
            joFile.insert(QStringLiteral("Size"),
                          static_cast<qint64>(QFileInfo(file.second).size()));
            jaFiles.append(joFile);
        }
        joManifest.insert(QStringLiteral("files"), jaFiles);
        jaList.append(joManifest);
    }
    return jaList;
}

QString PackageCatalogue::FileForPath(const QString &sPath) const
{
    const QStringList slParts = sPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
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
