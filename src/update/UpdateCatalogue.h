#pragma once
// The update catalogue's rules, apart from the window that shows it: the
// device type sent to the server, the catalogue request, which packages of
// the reply are listed, under which names, and where their installed
// versions come from.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>

// "kx520" for serial numbers beginning with D, "kx410" for T, "kx520pro"
// otherwise (letter case ignored).
QString DeviceType(const QString &sSN);

// The member holding a package's display name: "%1_name" with the current
// translation of "lang" ("CN", "EN", or "lang" without translation).
QString PackageNameKey();

// The data of command 1042.
QJsonObject CatalogueRequestData(const QString &sDevID, const QString &sSN, bool bTest);

// Revision in the installed manifest of a package on sDisk; empty when there
// is none (or the package folder is unsafe).
QString LocalVersionOf(const QString &sDisk, const QString &sPackageLang,
                       const QJsonObject &joPackage);

// One listed package of a catalogue reply.
struct CatalogueEntry {
    QString sName;          // display name from the "%1_name" member
    QString sDir;           // "dir"
    QString sBranch;        // "branch" in lower case; empty for mandatory packages
    QString sLocalVersion;  // installed version (may be empty)
    QString sServerVersion; // "rev"
    bool bMandatory = false;
};

// The packages of the reply's "list" whose installed version differs from
// "rev" (letter case ignored) and that have a name, in list order.
// firmwareVersion is asked for every firmware package, localVersion for the
// others.
QList<CatalogueEntry>
ListedPackages(const QJsonObject &joReply, const std::function<QString()> &firmwareVersion,
               const std::function<QString(const QJsonObject &)> &localVersion);
