// demo-files: writes the files of the demo world (scripts/run-demo) that the
// program itself reads, with the program's own writers, so that each format
// has one implementation.
//
// Usage:
//   demo-files user <User.bin> <user name> <password>
//       the remembered login, with automatic login
//   demo-files manifest <disk> <package folder> <rev> <Chinese name> <English name> <file>...
//       "Update.json" of a package of branch "dash" installed on the disk; the
//       files are relative to the package folder and are digested as they are

#include "accounts/PasswordDigest.h"
#include "accounts/StoredCredentials.h"
#include "base/FileUtils.h"
#include "update/InstalledManifest.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QStringList>
#include <QTextStream>
#include <algorithm>

namespace
{

int Usage()
{
    QTextStream(stderr)
        << "usage: demo-files user <User.bin> <user name> <password>\n"
           "       demo-files manifest <disk> <package folder> <rev> <Chinese name> "
           "<English name> <file>...\n";
    return 2;
}

int WriteUser(const QStringList &slArgs)
{
    if (slArgs.size() != 3)
        return Usage();
    StoredCredentials credentials;
    credentials.sUserName = slArgs.at(1);
    credentials.sPassword = PasswordDigest(slArgs.at(2));
    credentials.bAuto = true;
    credentials.bRemember = true;
    if (!WriteStoredCredentials(credentials, slArgs.at(0))) {
        QTextStream(stderr) << "demo-files: cannot write " << slArgs.at(0) << "\n";
        return 1;
    }
    return 0;
}

int WriteManifest(const QStringList &slArgs)
{
    if (slArgs.size() < 6)
        return Usage();
    const QString sDisk = slArgs.at(0);
    const QString sDir = slArgs.at(1);
    QStringList slFiles = slArgs.mid(5);
    std::sort(slFiles.begin(), slFiles.end());
    QJsonArray jaFiles;
    for (const QString &sFile : qAsConst(slFiles)) {
        const QString sPath = sDisk + '/' + sDir + '/' + sFile;
        const QString sHash = FileMd5(sPath);
        if (sHash.isEmpty()) {
            QTextStream(stderr) << "demo-files: cannot read " << sPath << "\n";
            return 1;
        }
        jaFiles.append(QJsonObject{{"Path", sDir + '/' + sFile},
                                   {"Hash", sHash},
                                   {"Size", double(QFileInfo(sPath).size())}});
    }
    const QJsonObject joPackage{{"dir", sDir},
                                {"rev", slArgs.at(2)},
                                {"branch", "dash"},
                                {"CN_name", slArgs.at(3)},
                                {"EN_name", slArgs.at(4)},
                                {"lang_name", slArgs.at(4)},
                                {"files", jaFiles}};
    if (!InstalledManifest::Save(sDisk, joPackage, QString())) {
        QTextStream(stderr) << "demo-files: cannot write the manifest of " << sDir << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The writers' debug output is the program's log, not this tool's.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QStringList slArgs = QCoreApplication::arguments().mid(1);
    if (slArgs.isEmpty())
        return Usage();
    const QString sCommand = slArgs.takeFirst();
    if (sCommand == QLatin1String("user"))
        return WriteUser(slArgs);
    if (sCommand == QLatin1String("manifest"))
        return WriteManifest(slArgs);
    return Usage();
}
