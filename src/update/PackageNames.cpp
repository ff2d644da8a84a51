#include "update/PackageNames.h"

#include <QCoreApplication>

namespace
{

bool Is(const QString &sText, const char *pName)
{
    return sText.compare(QLatin1String(pName), Qt::CaseInsensitive) == 0;
}

} // namespace

bool IsMandatoryName(const QString &sName)
{
    if (Is(sName, "home") || Is(sName, "public") || Is(sName, "main"))
        return true;
    // The untranslated name counts in every language: the server may send it
    // whatever the translation loaded here.
    return sName.compare(QStringLiteral("主程序"), Qt::CaseInsensitive) == 0 ||
           sName.compare(QCoreApplication::translate("MainWindow", "主程序"),
                         Qt::CaseInsensitive) == 0;
}

bool IsFirmwarePackageName(const QString &sName)
{
    return Is(sName, "home") || Is(sName, "main") ||
           sName.compare(QStringLiteral("主程序"), Qt::CaseInsensitive) == 0;
}

bool IsHomeDir(const QString &sDir)
{
    return Is(sDir, "home");
}

bool IsMainProgramRow(const QString &sName, const QString &sDir)
{
    return Is(sName, "main") || Is(sName, "home") || IsHomeDir(sDir);
}

bool IsUninstallProtectedDir(const QString &sDir)
{
    return sDir.endsWith(QLatin1String("home"), Qt::CaseInsensitive);
}

bool IsUninstallProtectedName(const QString &sName)
{
    return Is(sName, "main");
}

QString RequestedBranch(const QString &sName, const QString &sBranch)
{
    return IsMandatoryName(sName) ? QString() : sBranch.toLower();
}

bool IsAlwaysFetched(const QString &sLocalPath)
{
    return sLocalPath.endsWith(QLatin1String("main.bin"), Qt::CaseInsensitive);
}

bool IsFirmwareImage(const QString &sLocalPath)
{
    return Is(sLocalPath.mid(sLocalPath.lastIndexOf(QLatin1Char('/')) + 1), "MAIN.bin");
}

QString FirmwareImagePath(const QString &sDisk)
{
    return QStringLiteral("%1/Home/MAIN.bin").arg(sDisk);
}
