// Replies of the catalogue endpoint: raw cipher text that is unsealed with
// the payload key and parsed, then judged as a catalogue (1042) and as a
// download list (1043) reply.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "base/Json.h"
#include "net/ServerProtocol.h"
#include "update/DownloadRequest.h"
#include "update/InstalledManifest.h"
#include "update/UpdateCatalogue.h"

#include <QDir>

int FuzzServerReply(const uint8_t *pData, size_t nSize)
{
    if (nSize == 0)
        return 0;
    EnsureFuzzApplication();
    const QByteArray baInput = FuzzBytes(pData + 1, nSize - 1);
    const QByteArray baKey = PayloadKey();

    QByteArray baPlain;
    if (pData[0] & 1) {
        // Whatever came over the wire.
        baPlain = UnsealReply(baInput, baKey);
        FUZZ_CHECK(baPlain.size() <= baInput.size() - baInput.size() % 16);
        FUZZ_CHECK(baPlain.size() >= baInput.size() - baInput.size() % 16 - 16);
    } else {
        // A plain reply as the server meant it: sealing must be reversible,
        // so that the JSON reaches the parser as it was written.
        const QByteArray baSealed = SealPayload(baInput, baKey);
        FUZZ_CHECK(baSealed.size() == (baInput.size() / 16 + 1) * 16);
        FUZZ_CHECK(UnsealReply(baSealed, baKey) == baInput);
        baPlain = baInput;
    }

    CommandReply reply;
    reply.nStatus = 200;
    reply.baPlain = baPlain;
    reply.joReply = ParseJsonObject(baPlain, &reply.bParsed);
    if (!reply.bParsed)
        FUZZ_CHECK(reply.joReply.isEmpty());
    (void)reply.Code();
    (void)reply.IsSuccess();

    const QString sDisk = FuzzScratchDir() + QStringLiteral("/disk");
    QDir().mkpath(sDisk);
    const QList<CatalogueEntry> entries = ListedPackages(
        reply.joReply, [] { return QStringLiteral("V1.2"); },
        [&sDisk](const QJsonObject &joPackage) {
            return LocalVersionOf(sDisk, QString(), joPackage);
        });
    for (const CatalogueEntry &entry : entries)
        FUZZ_CHECK(!entry.sName.isEmpty());

    DownloadRequest request;
    request.sDir = QStringLiteral("Diag/Dash");
    request.sBranch = QStringLiteral("dash");
    request.sDisk = sDisk;
    // The download flow's choice (by the last folder name) and the repair's
    // (the folder itself).
    bool bUsable = false;
    const QList<QJsonObject> packages =
        RowPackages(reply.joReply, reply.bParsed, request, &bUsable);
    if (!bUsable)
        FUZZ_CHECK(packages.isEmpty());
    bool bSameUsable = false;
    const QList<QJsonObject> same =
        MatchingPackages(reply.joReply, reply.bParsed, request, &bSameUsable);
    FUZZ_CHECK(bSameUsable == bUsable && same.size() <= packages.size());
    for (const QJsonObject &joPackage : packages) {
        const QString sFolder = InstalledManifest::PackageFolder(sDisk, joPackage, QString());
        FUZZ_CHECK(sFolder.isEmpty() || sFolder.startsWith(sDisk + QLatin1Char('/')));
    }
    return 0;
}
