#pragma once
// The packages the server offers, read from a packages folder (see README.md):
// one sub-folder per package with "package.json", a "files" folder and, for
// files it shares with other packages, a "disk" folder. The
// folder is read afresh for every request, so tests may change it between
// requests; file digests are cached by path, size and modification time.

#include "ServerModes.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <mutex>

class PackageCatalogue
{
public:
    void SetFolder(const QString &sFolder) { m_sFolder = sFolder; }
    QString Folder() const { return m_sFolder; }

    // Command 1042: the packages offered to this device type, without files.
    QJsonArray CatalogueList(const QString &sDevType, ServerModes::Set modes = 0) const;
    // Command 1043: full manifests ("files" of "Path", "Hash", "Size") of the
    // packages whose folder's last component is sType (letter case ignored)
    // and, when sBranch is not empty, whose branch is sBranch. The modes
    // shape them as a real server may.
    QJsonArray DownloadList(const QString &sDevType, const QString &sType, const QString &sBranch,
                            ServerModes::Set modes = 0) const;
    // Local file for a "Path" of a manifest ("/" or "\" separators); empty
    // when there is none.
    QString FileForPath(const QString &sPath) const;

private:
    struct Package {
        QString sFolder;    // absolute path of the package's sub-folder
        QJsonObject joInfo; // package.json
    };
    QList<Package> ReadPackages() const;
    static bool OffersTo(const Package &package, const QString &sDevType);
    // The package object of a reply: "dir", "rev" and "branch" as the modes
    // spell them (bList: for the download list), without the server's own members.
    static QJsonObject PublicInfo(const Package &package, ServerModes::Set modes, bool bList);
    // One element of "files".
    QJsonObject FileEntry(const QString &sPath, const QString &sLocal,
                          ServerModes::Set modes) const;
    QString CachedMd5(const QString &sPath) const;
    // Appends ("Path", local file) for every file below sFolder, its path
    // relative to sFolder preceded by sPathPrefix.
    static void AddFiles(const QString &sFolder, const QString &sPathPrefix,
                         QList<QPair<QString, QString>> *pFiles);

    QString m_sFolder;
    mutable std::mutex m_cacheMutex;
    mutable QHash<QString, QPair<QString, QString>> m_md5Cache; // path -> (stamp, md5)
};
