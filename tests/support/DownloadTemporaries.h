#pragma once
// The downloader's temporary files ("<file>.<random>.uapart") anywhere below a
// folder: what a finished, failed or cancelled download must not leave behind.

#include "update/DiffDownload.h"

#include <QDir>
#include <QDirIterator>
#include <QString>
#include <QStringList>

inline QStringList DownloadTemporaries(const QString &sDir)
{
    QStringList slFound;
    QDirIterator it(sDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString sPath = it.next();
        if (sPath.endsWith(QLatin1String(DiffDownload::TemporarySuffix)))
            slFound << sPath;
    }
    return slFound;
}
