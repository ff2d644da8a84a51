#pragma once
// The server's description of one software package: where its files come
// from ("root"), which language folder they carry ("lang"), the package
// folder on the device disk ("dir"), its revision ("rev") and its files.
// Further keys (display names, branch) are carried along untouched.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One element of "files".
struct FileEntry {
    QString sPath; // relative, "/" separators, may start with the language folder
    QString sHash; // MD5 as hexadecimal text, any letter case
    qint32 nSize = 0;

    static FileEntry FromJson(const QJsonObject &joEntry);
};

class PackageManifest
{
public:
    PackageManifest() = default;
    explicit PackageManifest(const QJsonObject &joPackage) : joPackage(joPackage) {}

    QString Root() const;
    QString Lang() const;
    QString Dir() const;
    QString Rev() const;
    QList<FileEntry> Files() const;

    void SetRoot(const QString &sRoot);
    void SetLang(const QString &sLang);

    const QJsonObject &Json() const { return joPackage; }

    // sText without a leading "<sLang>/" (compared without regard to case).
    // With an empty language that is one leading "/".
    static QString WithoutLanguagePrefix(const QString &sText, const QString &sLang);

    // The package folder relative to the disk root as components: "dir"
    // without the language prefix. *pOk is false when "dir" is unsafe, names
    // the disk root itself or a place reserved to the device ("SaveData").
    QStringList FolderComponents(const QString &sLang, bool *pOk) const;

private:
    QJsonObject joPackage;
};
