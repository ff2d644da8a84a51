#include "platform/FileReplace.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool ReplaceFileInOneStep(const QString &sSource, const QString &sTarget, QString *pError)
{
    // An open file does not stop a rename here.
    if (std::rename(QFile::encodeName(sSource).constData(),
                    QFile::encodeName(sTarget).constData()) == 0)
        return true;
    *pError = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}
