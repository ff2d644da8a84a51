#include "update/SafePath.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

QStringList SafeRelativeComponents(const QString &sRelative, bool *pOk)
{
    *pOk = false;
    QString sPath = sRelative;
    sPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (sPath.startsWith(QLatin1Char('/')) || sPath.contains(QLatin1Char(':')) ||
        sPath.contains(QChar(0)))
        return {};
    QStringList slParts;
    const QStringList slRaw = sPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &sPart : slRaw) {
        if (sPart == QLatin1String("."))
            continue;
        if (sPart == QLatin1String(".."))
            return {};
        slParts << sPart;
    }
    *pOk = true;
    return slParts;
}

namespace
{

// The canonical path of an existing sPath, remembered for folders in
// *pFolders when given.
QString CanonicalOf(const QString &sPath, const QFileInfo &info, QHash<QString, QString> *pFolders)
{
    const QString sCanonical = info.canonicalFilePath();
    if (pFolders && info.isDir())
        pFolders->insert(sPath, sCanonical);
    return sCanonical;
}

// The deepest folder of sPath that exists, canonical (links resolved).
QString CanonicalExistingAncestor(QString sPath, QHash<QString, QString> *pFolders)
{
    while (!sPath.isEmpty()) {
        if (pFolders) {
            const auto it = pFolders->constFind(sPath);
            if (it != pFolders->constEnd())
                return it.value();
        }
        const QFileInfo info(sPath);
        if (info.exists())
            return CanonicalOf(sPath, info, pFolders);
        const int nSlash = sPath.lastIndexOf(QLatin1Char('/'));
        if (nSlash <= 0)
            break;
        sPath.truncate(nSlash);
    }
    return QString();
}

// Canonical paths name real folders; only Windows folds their case.
#ifdef Q_OS_WIN
const Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
const Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

bool IsSameOrBelow(const QString &sPath, const QString &sFolder)
{
    if (sPath.compare(sFolder, kFileNameCase) == 0)
        return true;
    const QString sPrefix = sFolder.endsWith(QLatin1Char('/')) ? sFolder : sFolder + '/';
    return sPath.startsWith(sPrefix, kFileNameCase);
}

} // namespace

QString PathInside(const QString &sBase, const QString &sRelative,
                   QHash<QString, QString> *pCanonicalFolders)
{
    bool bOk = false;
    const QStringList slParts = SafeRelativeComponents(sRelative, &bOk);
    if (!bOk || slParts.isEmpty())
        return QString();
    const QString sJoined = sBase + QLatin1Char('/') + slParts.join(QLatin1Char('/'));

    // Lexically inside; a link on the way could still point elsewhere.
    // "E:" alone would mean the drive's current folder; "E:/" is its root.
    const QString sBaseFolder = sBase + QLatin1Char('/');
    QString sCanonicalBase;
    if (pCanonicalFolders && pCanonicalFolders->contains(sBaseFolder)) {
        sCanonicalBase = pCanonicalFolders->value(sBaseFolder);
    } else {
        const QFileInfo baseInfo(sBaseFolder);
        if (baseInfo.exists())
            sCanonicalBase = CanonicalOf(sBaseFolder, baseInfo, pCanonicalFolders);
    }
    if (sCanonicalBase.isEmpty())
        return sJoined; // nothing of the base exists yet: nothing to be redirected
    const QString sExisting = CanonicalExistingAncestor(sJoined, pCanonicalFolders);
    if (sExisting.isEmpty() || !IsSameOrBelow(sExisting, sCanonicalBase))
        return QString();
    return sJoined;
}

bool ComponentsInside(const QStringList &slPath, const QStringList &slFolder)
{
    if (slPath.size() < slFolder.size())
        return false;
    for (int i = 0; i < slFolder.size(); ++i) {
        if (slPath.at(i).compare(slFolder.at(i), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}
