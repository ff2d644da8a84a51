#pragma once
// What the download flow does for one row, without its window: ask the
// server for the package's manifest (command 1043), run a DiffDownload for it
// on a worker thread, and write the installed manifest after a complete
// download. The reliability tests drive it against the stand-in server.

#include "update/DownloadRequest.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <functional>

struct DownloadOutcome {
    bool bUsable = false; // the server's reply listed the package
    int nPackages = 0;    // packages of the reply that match the row (the first is fetched)
    int nFinishCount = 0; // DownloadFinish signals received
    int nSuccess = -2;    // as reported by DownloadFinish
    int nErr = 0;
    bool bNeedInstall = false;
    int nLastProgress = -1;
    bool bReturned = false; // StartDownload returned within the time limit
    bool bManifestSaved = false;
};

class DownloadHarness
{
public:
    // The package folder "Diag/Dash" of branch "dash", as the stand-in
    // server's packages folder sPackages holds it (see WritePackage).
    DownloadHarness(const QString &sDisk);

    static DownloadRequest Request(const QString &sDisk);

    // Writes the package into the stand-in server's packages folder.
    static bool WritePackage(const QString &sPackages, const QMap<QString, QByteArray> &files,
                             const QString &sRev = QStringLiteral("2.0"));

    // One download of the package; onStarted runs on the test's thread once
    // the transfers have begun (first progress or first temporary file).
    DownloadOutcome Run(int nTimeoutMs = 120000,
                        const std::function<void()> &onStarted = std::function<void()>());

    // Every file on the disk below the package folder is either the old copy or
    // the new one (or missing); *psWhy tells which is not.
    bool OnlyOldOrNew(const QMap<QString, QByteArray> &oldFiles,
                      const QMap<QString, QByteArray> &newFiles, QString *psWhy) const;
    // Files still carrying the temporary suffix anywhere on the disk.
    QStringList TemporaryFiles() const;
    bool HasInstalledManifest() const;

    static QString PackageDir() { return QStringLiteral("Diag/Dash"); }

private:
    QString m_sDisk;
};
