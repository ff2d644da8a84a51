#include "platform/CrashHandler.h"

#include <QFileInfo>
#include <QString>

void InstallCrashHandler(const QString &sDumpFile)
{
    const QString sPath = QFileInfo(sDumpFile).absoluteFilePath();
#ifdef Q_OS_WIN
    InstallNativeCrashHandler(std::filesystem::path(sPath.toStdWString()));
#else
    InstallNativeCrashHandler(std::filesystem::path(QFile::encodeName(sPath).toStdString()));
#endif
}
