#pragma once
// The update server's command protocol: endpoints, the two request envelopes
// (compressed for account commands, sealed for catalogue commands) and the
// payload transforms. The transforms are pure and safe on any thread.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Server address compiled in (UPDATE_SERVER_ADDRESS), replaced by the
// environment variable UPDATEASSIST_SERVER when set at start.
QString ServerAddress();
// For tests and tools; applies to commands sent afterwards.
void SetServerAddress(const QString &sAddress);

// The 16-byte AES key shared with the server.
QByteArray PayloadKey();

enum ServerCommand {
    CommandRegister = 1040,
    CommandLogin = 1041,
    CommandCatalogue = 1042,
    CommandDownloadList = 1043,
};

const int kLoginPort = 19321;
const int kCommandPort = 19320;

// "http://%1:19321/universalex.kxa": login (compressed envelope).
QString LoginUrl();
// "http://%1:19320/universalex.kxa": registration (compressed envelope).
QString RegisterUrl();
// "http://%1:19320/universal.kxa": catalogue and download list (sealed envelope).
QString CatalogueUrl();

// qCompress format: 4-byte big-endian length, then a zlib stream.
QByteArray CompressBody(const QByteArray &baJson);
// The inverse; empty when the input is not in that format or claims more than
// 64 MiB of plain text.
QByteArray DecompressBody(const QByteArray &baBody);

// AES-128 ECB with PKCS#7 padding (a whole block of 16 when already aligned).
// Empty when the key cannot be used.
QByteArray SealPayload(const QByteArray &baPlain, const QByteArray &baKey);
// AES-128 ECB decryption of the whole blocks (a trailing partial block is
// dropped); the padding is removed only when it is well formed. A key that
// cannot be used gives the input back unchanged.
QByteArray UnsealReply(const QByteArray &baCipher, const QByteArray &baKey);

QString ToHexLower(const QByteArray &baData);

// {"command": n, "data": ...} in compact JSON.
QByteArray CompressedEnvelope(int nCommand, const QJsonObject &joData);
QByteArray SealedEnvelope(int nCommand, const QJsonObject &joData, const QByteArray &baKey);

struct CommandReply {
    int nStatus = 0;      // HTTP status, 0 when nothing came back
    bool bParsed = false; // the reply text parsed as JSON
    QByteArray baPlain;   // the reply after decompressing or unsealing
    QJsonObject joReply;  // the reply object (empty when not an object)

    bool IsHttpOk() const { return nStatus == 200; }
    // "code" as text; empty when missing.
    QString Code() const;
    bool IsSuccess() const { return IsHttpOk() && bParsed && Code() == QLatin1String("000000"); }
};

// Compressed envelope to sUrl through HttpPost with the active proxy.
CommandReply SendCompressedCommand(const QString &sUrl, int nCommand, const QJsonObject &joData);
// Sealed envelope to CatalogueUrl() with the active proxy; the raw binary reply
// is unsealed with PayloadKey.
CommandReply SendSealedCommand(int nCommand, const QJsonObject &joData);
