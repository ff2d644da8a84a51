#include "net/ServerProtocol.h"

#include "base/Json.h"
#include "net/HttpPost.h"
#include "net/SecretMask.h"

#include <QDebug>
#include <QJsonDocument>
#include <QtEndian>
#include <mbedtls/aes.h>
#include <memory>
#include <mutex>
#include <zlib.h>

#ifndef UPDATE_SERVER_ADDRESS
#define UPDATE_SERVER_ADDRESS "127.0.0.1"
#endif

namespace
{

const int kBlock = 16;
const quint32 kMaxPlainBody = 64u * 1024u * 1024u;
const quint32 kInflateChunk = 16u * 1024u;

std::mutex &AddressMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString &AddressSlot()
{
    static QString sAddress = [] {
        const QString sEnv = qEnvironmentVariable("UPDATEASSIST_SERVER").trimmed();
        return sEnv.isEmpty() ? QStringLiteral(UPDATE_SERVER_ADDRESS) : sEnv;
    }();
    return sAddress;
}

// Owns an mbedTLS AES context for one transform.
class AesContext
{
public:
    AesContext() { mbedtls_aes_init(&m_context); }
    ~AesContext() { mbedtls_aes_free(&m_context); }
    AesContext(const AesContext &) = delete;
    AesContext &operator=(const AesContext &) = delete;

    bool SetEncryptKey(const QByteArray &baKey)
    {
        return baKey.size() == kBlock && mbedtls_aes_setkey_enc(&m_context, Bytes(baKey), 128) == 0;
    }
    bool SetDecryptKey(const QByteArray &baKey)
    {
        return baKey.size() == kBlock && mbedtls_aes_setkey_dec(&m_context, Bytes(baKey), 128) == 0;
    }
    // Transforms whole blocks of baIn in ECB mode.
    QByteArray Run(int nMode, const QByteArray &baIn)
    {
        const int nLength = baIn.size() - baIn.size() % kBlock;
        QByteArray baOut(nLength, Qt::Uninitialized);
        for (int nPos = 0; nPos < nLength; nPos += kBlock) {
            mbedtls_aes_crypt_ecb(&m_context, nMode, Bytes(baIn) + nPos,
                                  reinterpret_cast<unsigned char *>(baOut.data()) + nPos);
        }
        return baOut;
    }

private:
    static const unsigned char *Bytes(const QByteArray &ba)
    {
        return reinterpret_cast<const unsigned char *>(ba.constData());
    }
    mbedtls_aes_context m_context;
};

QString ServerUrl(int nPort, const char *pPath)
{
    return QStringLiteral("http://%1:%2/%3")
        .arg(ServerAddress())
        .arg(nPort)
        .arg(QLatin1String(pPath));
}

} // namespace

QString ServerAddress()
{
    std::lock_guard<std::mutex> lock(AddressMutex());
    return AddressSlot();
}

void SetServerAddress(const QString &sAddress)
{
    std::lock_guard<std::mutex> lock(AddressMutex());
    AddressSlot() = sAddress;
}

QByteArray PayloadKey()
{
    static const QByteArray baKey("Kx7#Upd@te!Asst6", kBlock);
    return baKey;
}

QString LoginUrl()
{
    return ServerUrl(kLoginPort, "universalex.kxa");
}

QString RegisterUrl()
{
    return ServerUrl(kCommandPort, "universalex.kxa");
}

QString CatalogueUrl()
{
    return ServerUrl(kCommandPort, "universal.kxa");
}

QByteArray CompressBody(const QByteArray &baJson)
{
    return qCompress(baJson, -1);
}

QByteArray DecompressBody(const QByteArray &baBody)
{
    if (baBody.size() < 4)
        return QByteArray();
    // The first four bytes claim the plain size: a reply is never near the
    // cap, so a larger claim is refused before anything is allocated.
    const quint32 nDeclared = qFromBigEndian<quint32>(baBody.constData());
    if (nDeclared > kMaxPlainBody)
        return QByteArray();
    // qUncompress would double its buffer until the stream ends, whatever the
    // claim, so a small reply could unpack to gigabytes: the stream is
    // inflated piece by piece and refused once it passes the cap.
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return QByteArray();
    const std::unique_ptr<z_stream, int (*)(z_stream *)> pStream(&stream, inflateEnd);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(baBody.constData() + 4));
    stream.avail_in = uInt(baBody.size() - 4);
    QByteArray baPlain;
    baPlain.reserve(int(qMin<quint32>(nDeclared, kInflateChunk)));
    char chunk[kInflateChunk];
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = uInt(sizeof(chunk));
        const int nResult = inflate(&stream, Z_NO_FLUSH);
        if (nResult != Z_OK && nResult != Z_STREAM_END)
            return QByteArray(); // corrupt, or cut off before its end
        const int nProduced = int(sizeof(chunk) - stream.avail_out);
        if (quint64(baPlain.size()) + quint64(nProduced) > kMaxPlainBody)
            return QByteArray();
        baPlain.append(chunk, nProduced);
        if (nResult == Z_STREAM_END)
            return baPlain;
    }
}

QByteArray SealPayload(const QByteArray &baPlain, const QByteArray &baKey)
{
    AesContext aes;
    if (!aes.SetEncryptKey(baKey))
        return QByteArray();
    const int nPad = kBlock - baPlain.size() % kBlock;
    QByteArray baPadded = baPlain;
    baPadded.append(QByteArray(nPad, static_cast<char>(nPad)));
    return aes.Run(MBEDTLS_AES_ENCRYPT, baPadded);
}

QByteArray UnsealReply(const QByteArray &baCipher, const QByteArray &baKey)
{
    AesContext aes;
    if (!aes.SetDecryptKey(baKey))
        return baCipher;
    QByteArray baPlain = aes.Run(MBEDTLS_AES_DECRYPT, baCipher);
    if (baPlain.isEmpty())
        return baPlain;
    const int nPad = static_cast<unsigned char>(baPlain.back());
    if (nPad == 0 || nPad > kBlock || nPad > baPlain.size())
        return baPlain;
    for (int i = baPlain.size() - nPad; i < baPlain.size(); ++i) {
        if (static_cast<unsigned char>(baPlain.at(i)) != nPad)
            return baPlain;
    }
    baPlain.chop(nPad);
    return baPlain;
}

QString ToHexLower(const QByteArray &baData)
{
    return QString::fromLatin1(baData.toHex());
}

QByteArray CompressedEnvelope(int nCommand, const QJsonObject &joData)
{
    QJsonObject joEnvelope;
    joEnvelope.insert(QStringLiteral("command"), nCommand);
    joEnvelope.insert(QStringLiteral("data"), joData);
    return QJsonDocument(joEnvelope).toJson(QJsonDocument::Compact);
}

QByteArray SealedEnvelope(int nCommand, const QJsonObject &joData, const QByteArray &baKey)
{
    const QByteArray baData = QJsonDocument(joData).toJson(QJsonDocument::Compact);
    QJsonObject joEnvelope;
    joEnvelope.insert(QStringLiteral("command"), nCommand);
    joEnvelope.insert(QStringLiteral("data"), ToHexLower(SealPayload(baData, baKey)));
    return QJsonDocument(joEnvelope).toJson(QJsonDocument::Compact);
}

QString CommandReply::Code() const
{
    return joReply.value(QStringLiteral("code")).toString();
}

CommandReply SendCompressedCommand(const QString &sUrl, int nCommand, const QJsonObject &joData)
{
    const QByteArray baBody = CompressBody(CompressedEnvelope(nCommand, joData));
    const auto pProxy = ActiveProxy();
    CommandReply reply;
    const QByteArray baRaw = HttpPost(sUrl, baBody, pProxy.get(), reply.nStatus);
    reply.baPlain = DecompressBody(baRaw);
    reply.joReply = ParseJsonObject(reply.baPlain, &reply.bParsed);
    return reply;
}

CommandReply SendSealedCommand(int nCommand, const QJsonObject &joData)
{
    const QByteArray baBody = SealedEnvelope(nCommand, joData, PayloadKey());
    qDebug() << "command" << nCommand
             << MaskSecrets(QJsonDocument(joData).toJson(QJsonDocument::Compact));
    const auto pProxy = ActiveProxy();
    CommandReply reply;
    const QByteArray baRaw = HttpPost(CatalogueUrl(), baBody, pProxy.get(), reply.nStatus);
    reply.baPlain = UnsealReply(baRaw, PayloadKey());
    qDebug() << "reply" << MaskSecrets(reply.baPlain);
    reply.joReply = ParseJsonObject(reply.baPlain, &reply.bParsed);
    return reply;
}
