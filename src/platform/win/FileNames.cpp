#include "platform/FileNames.h"

Qt::CaseSensitivity FileNameCase()
{
    return Qt::CaseInsensitive;
}

std::filesystem::path NativeFilePath(const QString &sPath)
{
    return std::filesystem::path(sPath.toStdWString());
}
