#include "update/SafePath.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace
{

// The device disk is FAT, mostly written through Windows, which reads some
// names as others: it drops a name's trailing dots and blanks ("sn.txt." is
// "sn.txt", "SaveData./x" lies in "SaveData"), and a device's name opens that
// device, whatever folder or extension goes with it ("Diag/COM3.bin").
bool NameMeansAnother(const QString &sPart)
{
    if (sPart.endsWith(QLatin1Char('.')) || sPart.endsWith(QLatin1Char(' ')))
        return true;
    // The device names count before the first dot, blanks before it aside.
    const QString sBase = sPart.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList slDevices = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                          QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                          QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (slDevices.contains(sBase))
        return true;
    if (sBase.size() != 4 ||
        !(sBase.startsWith(QLatin1String("COM")) || sBase.startsWith(QLatin1String("LPT"))))
        return false;
    const QChar cNumber = sBase.at(3);
    // Windows counts the superscript digits one to three as port numbers too.
    return (cNumber >= QLatin1Char('0') && cNumber <= QLatin1Char('9')) ||
           cNumber == QChar(0x00B9) || cNumber == QChar(0x00B2) || cNumber == QChar(0x00B3);
}

// Characters FAT cannot hold in a name; Windows also reads "?" and "*" as patterns.
bool HasCharacterFatRefuses(const QString &sPart)
{
    for (const QChar c : sPart) {
        if (c.unicode() < 0x20 || QStringLiteral("<>\"|?*").contains(c))
            return true;
    }
    return false;
}

} // namespace

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
        if (sPart == QLatin1String("..") || NameMeansAnother(sPart) ||
            HasCharacterFatRefuses(sPart))
            return {};
        slParts << sPart;
    }
    *pOk = true;
    return slParts;
}

bool IsReservedOnDisk(const QStringList &slComponents)
{
    if (slComponents.isEmpty())
        return false;
    if (slComponents.constFirst().compare(QLatin1String("SaveData"), Qt::CaseInsensitive) == 0)
        return true;
    return slComponents.size() == 1 &&
           slComponents.constFirst().compare(QLatin1String("sn.txt"), Qt::CaseInsensitive) == 0;
}

namespace
{

QString ParentOf(const QString &sPath)
{
    const int nSlash = sPath.lastIndexOf(QLatin1Char('/'));
    return nSlash > 0 ? sPath.left(nSlash) : QString();
}

// The canonical path of an existing sPath, remembered for folders in
// *pFolders when given.
QString CanonicalOf(const QString &sPath, const QFileInfo &info, QHash<QString, QString> *pFolders)
{
    const QString sCanonical = info.canonicalFilePath();
    if (pFolders && info.isDir())
        pFolders->insert(sPath, sCanonical);
    return sCanonical;
}

// A folder remembered as missing has an empty canonical path.
bool KnownMissing(const QString &sPath, const QHash<QString, QString> *pFolders)
{
    if (!pFolders || sPath.isEmpty())
        return false;
    const auto it = pFolders->constFind(sPath);
    return it != pFolders->constEnd() && it.value().isEmpty();
}

// The canonical path of the deepest existing one of sPath and its folders;
// *pFound is the (not canonical) path where the walk stopped. Folders found
// missing are remembered too, so paths below them cost no further look-ups.
QString CanonicalExistingAncestor(QString sPath, QHash<QString, QString> *pFolders, QString *pFound)
{
    bool bFirst = true;
    for (; !sPath.isEmpty(); sPath = ParentOf(sPath), bFirst = false) {
        const QString sParent = ParentOf(sPath);
        if (KnownMissing(sParent, pFolders))
            continue; // nothing exists below a missing folder
        if (pFolders) {
            const auto it = pFolders->constFind(sPath);
            if (it != pFolders->constEnd() && !it.value().isEmpty()) {
                *pFound = sPath;
                return it.value();
            }
            if (it != pFolders->constEnd())
                continue;
        }
        const QFileInfo info(sPath);
        if (info.exists()) {
            *pFound = sPath;
            return CanonicalOf(sPath, info, pFolders);
        }
        if (pFolders && !bFirst)
            pFolders->insert(sPath, QString());
    }
    return QString();
}

// Canonical paths name real folders; only Windows folds their case.
bool IsSameOrBelow(const QString &sPath, const QString &sFolder)
{
    const Qt::CaseSensitivity nCase = FileNameCase();
    if (sPath.compare(sFolder, nCase) == 0)
        return true;
    const QString sPrefix = sFolder.endsWith(QLatin1Char('/')) ? sFolder : sFolder + '/';
    return sPath.startsWith(sPrefix, nCase);
}

// sPath (the same as or below sFolder) relative to sFolder: "" for sFolder itself.
QString RelativeTo(const QString &sPath, const QString &sFolder)
{
    if (sPath.size() <= sFolder.size())
        return QString();
    return sPath.mid(sFolder.endsWith(QLatin1Char('/')) ? sFolder.size() : sFolder.size() + 1);
}

} // namespace

bool IsDeviceOwnFolder(const QString &sDisk, const QString &sFolder)
{
    if (sDisk.isEmpty() || sFolder.isEmpty())
        return false;
    // The disk itself, or a place reserved below it; a place outside it is judged elsewhere.
    auto isOwn = [](const QString &sPath, const QString &sBase) {
        if (!IsSameOrBelow(sPath, sBase))
            return false;
        const QStringList slParts =
            RelativeTo(sPath, sBase).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        return slParts.isEmpty() || IsReservedOnDisk(slParts);
    };
    // "E:/" names the disk "E:" as well.
    auto cleaned = [](const QString &sPath) {
        QString sClean = QDir::cleanPath(sPath);
        while (sClean.size() > 1 && sClean.endsWith(QLatin1Char('/')))
            sClean.chop(1);
        return sClean;
    };
    if (isOwn(cleaned(sFolder), cleaned(sDisk)))
        return true;
    // A link elsewhere on the disk may lead into the device's places.
    const QString sCanonicalDisk = QFileInfo(sDisk + QLatin1Char('/')).canonicalFilePath();
    const QString sCanonical = QFileInfo(sFolder + QLatin1Char('/')).canonicalFilePath();
    return !sCanonicalDisk.isEmpty() && !sCanonical.isEmpty() && isOwn(sCanonical, sCanonicalDisk);
}

bool IsReservedPackageFolder(const QString &sDir)
{
    bool bOk = false;
    const QStringList slComponents = SafeRelativeComponents(sDir, &bOk);
    return bOk && IsReservedOnDisk(slComponents);
}

QString PathInside(const QString &sBase, const QString &sRelative,
                   QHash<QString, QString> *pCanonicalFolders, bool *pFolderExists)
{
    if (pFolderExists)
        *pFolderExists = false;
    bool bOk = false;
    const QStringList slParts = SafeRelativeComponents(sRelative, &bOk);
    if (!bOk || slParts.isEmpty() || IsReservedOnDisk(slParts))
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
        else if (pCanonicalFolders)
            pCanonicalFolders->insert(sBaseFolder, QString());
    }
    if (sCanonicalBase.isEmpty())
        return sJoined; // nothing of the base exists yet: nothing to be redirected
    QString sFound;
    const QString sExisting = CanonicalExistingAncestor(sJoined, pCanonicalFolders, &sFound);
    if (sExisting.isEmpty() || !IsSameOrBelow(sExisting, sCanonicalBase))
        return QString();
    // Where it really lands, links resolved: the resolved folder, then the
    // rest of the path as given.
    const QString sResolved = RelativeTo(sExisting, sCanonicalBase) + sJoined.mid(sFound.size());
    if (IsReservedOnDisk(sResolved.split(QLatin1Char('/'), Qt::SkipEmptyParts)))
        return QString();
    if (pFolderExists)
        *pFolderExists = sFound == sJoined || sFound == ParentOf(sJoined);
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
