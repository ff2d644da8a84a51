#pragma once
// The download-information request (command 1043) for one row of the update
// table. Everything a worker needs is read from the row on the GUI thread and
// carried here, so the worker never touches a table item.

#include <QJsonObject>
#include <QList>
#include <QString>

struct DownloadRequest {
    quint64 nRowId = 0;      // the row's handle (survives a rebuild of the table)
    quint64 nGeneration = 0; // the batch it belongs to
    QString sDir;            // the row's package folder ("dir")
    QString sBranch;         // empty for mandatory rows
    QString sDevID;
    QString sSN;
    QString sLang; // the catalogue language (empty)
    QString sDisk; // the device disk the files go to
    bool bTest = false;
};

// "\" taken as "/", trailing "/" removed, then the part after the last "/".
QString LastPathComponent(const QString &sPath);

// Whether two "dir" texts name the same package folder on the device disk:
// the same parts in the same order, "\\" taken as "/", empty parts skipped,
// letter case ignored. An empty folder is nobody's.
bool IsSamePackageFolder(const QString &sDir, const QString &sOtherDir);

// The data of command 1043.
QJsonObject DownloadRequestData(const DownloadRequest &request);

// The package objects of a 1043 reply that belong to the row: those whose
// folder has the last name the request asked for (LastPathComponent, letter
// case ignored), however the rest of their folder is spelt. Each is given the
// reply's "root" and the language. *pUsable is false when the reply did not
// parse or its "list" is empty.
QList<QJsonObject> RowPackages(const QJsonObject &joReply, bool bParsed,
                               const DownloadRequest &request, bool *pUsable);

// As RowPackages, but only the package objects of the request's folder itself
// (the whole path, IsSamePackageFolder): the ones that can repair what is
// installed there.
QList<QJsonObject> MatchingPackages(const QJsonObject &joReply, bool bParsed,
                                    const DownloadRequest &request, bool *pUsable);
