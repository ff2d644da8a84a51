// Package manifests of the download list: the file list the downloader
// builds from them (URLs and places on the device disk) and the installed
// manifest. Nothing may lead outside the device disk.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "base/Json.h"
#include "update/DiffDownload.h"
#include "update/InstalledManifest.h"
#include "update/PackageManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{
bool Inside(const QString &sPath, const QString &sBase)
{
    const QString sClean = QDir::cleanPath(sPath);
    return sClean.startsWith(sBase + QLatin1Char('/')) && !sPath.contains(QLatin1String("/../"));
}
} // namespace

int FuzzPackageManifest(const uint8_t *pData, size_t nSize)
{
    bool bOk = false;
    const QJsonObject joPackage = ParseJsonObject(FuzzBytes(pData, nSize), &bOk);
    if (!bOk)
        return 0;

    const QString sScratch = FuzzScratchDir();
    const QString sDisk = sScratch + QStringLiteral("/disk/E");
    QDir().mkpath(sDisk);
    // Files beside the disk that no manifest may touch, leftovers of an
    // interrupted transfer included.
    const QString sVictim = sScratch + QStringLiteral("/disk/victim.bin");
    const QString sVictimPart = sVictim + QLatin1String(DiffDownload::TemporarySuffix);
    static const bool s_bPlanted =
        WriteFuzzFile(sVictim, "keep") && WriteFuzzFile(sVictimPart, "keep");
    Q_UNUSED(s_bPlanted);

    const QString sLang = PackageManifest(joPackage).Lang();
    {
        DiffDownload download;
        download.SetSavePath(sDisk);
        download.SetPackageJson(joPackage);
        const DiffDownload::FileList list = download.BuildFileList();
        for (auto it = list.cbegin(); it != list.cend(); ++it) {
            const QString &sLocal = it.value().sLocalPath;
            FUZZ_CHECK(sLocal.isEmpty() || Inside(sLocal, sDisk));
        }
    }
    FUZZ_CHECK(QFile::exists(sVictim));
    FUZZ_CHECK(QFile::exists(sVictimPart));

    const PackageManifest manifest(joPackage);
    (void)manifest.Files();
    bool bSafe = false;
    (void)manifest.FolderComponents(sLang, &bSafe);
    const QString sFolder = InstalledManifest::PackageFolder(sDisk, joPackage, sLang);
    FUZZ_CHECK(sFolder.isEmpty() || Inside(sFolder, sDisk));
    (void)InstalledManifest::FromPackage(joPackage, sLang);
    if (InstalledManifest::Save(sDisk, joPackage, sLang))
        FUZZ_CHECK(!InstalledManifest::FindIn(sFolder).isEmpty());
    FUZZ_CHECK(QFile::exists(sVictim));
    return 0;
}
