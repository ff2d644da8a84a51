#pragma once
// "Update.json" in a package folder on the device disk: the package manifest
// as it was installed, without the transfer details ("root", "lang") and with
// file paths relative to the disk (no language folder). Its presence is what
// makes a folder an installed package.

#include <QJsonObject>
#include <QString>

class InstalledManifest
{
public:
    static const char *const FileName; // "Update.json"

    // The installed form of a package manifest.
    static QJsonObject FromPackage(const QJsonObject &joPackage, const QString &sLang);

    // The package's folder on the disk sDisk ("dir" without the language
    // prefix); empty when "dir" is unsafe or names the disk itself.
    static QString PackageFolder(const QString &sDisk, const QJsonObject &joPackage,
                                 const QString &sLang);

    // The manifest file inside sFolder, whatever the letter case of its name
    // (the device disk ignores case, a disk image copied elsewhere may not);
    // empty when there is none.
    static QString FindIn(const QString &sFolder);

    // The manifest of sFolder; *pOk false when missing, not a regular file, longer than
    // 16 MiB or not a JSON object.
    static QJsonObject Read(const QString &sFolder, bool *pOk = nullptr);

    // Writes the installed form of joPackage into its folder on sDisk,
    // replacing an earlier manifest in one step. False when the folder is
    // unsafe or missing or the file cannot be written.
    static bool Save(const QString &sDisk, const QJsonObject &joPackage, const QString &sLang);
};
