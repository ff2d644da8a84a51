#include "app/WorkingFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

bool CanCreateFilesIn(const QString &sDir)
{
    if (!QFileInfo(sDir).isDir())
        return false;
    QTemporaryFile probe(QDir(sDir).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}

QString ChooseWorkingFolder(const QString &sProgramDir)
{
    if (CanCreateFilesIn(sProgramDir))
        return sProgramDir;
    const QString sDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!sDataDir.isEmpty() && QDir().mkpath(sDataDir) && CanCreateFilesIn(sDataDir))
        return sDataDir;
    return sProgramDir;
}

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}
