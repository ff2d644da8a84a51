// Bodies of the account endpoints (and "./User.bin"): the 4-byte length and
// zlib stream of the compressed envelope.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "base/Json.h"
#include "net/ServerProtocol.h"

int FuzzDecompressBody(const uint8_t *pData, size_t nSize)
{
    const QByteArray baBody = FuzzBytes(pData, nSize);
    const QByteArray baPlain = DecompressBody(baBody);
    if (!baPlain.isEmpty())
        FUZZ_CHECK(DecompressBody(CompressBody(baPlain)) == baPlain);
    bool bOk = false;
    const QJsonObject joReply = ParseJsonObject(baPlain, &bOk);
    if (!bOk)
        FUZZ_CHECK(joReply.isEmpty());
    return 0;
}
