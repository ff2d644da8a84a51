#include "platform/FileNames.h"

#include <QFile>

Qt::CaseSensitivity FileNameCase()
{
    return Qt::CaseSensitive;
}

std::filesystem::path NativeFilePath(const QString &sPath)
{
    return std::filesystem::path(QFile::encodeName(sPath).toStdString());
}
