// The payload transforms and envelopes of the server protocol.

#include "net/ServerProtocol.h"

#include <QJsonDocument>
#include <QtTest>

class tst_ServerProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void serverAddressFromEnvironment();
    void endpointUrls();
    void aesKnownAnswer();
    void sealLength_data();
    void sealLength();
    void sealRoundTrip();
    void unsealDropsPartialBlock();
    void unsealKeepsMalformedPadding_data();
    void unsealKeepsMalformedPadding();
    void unusableKey();
    void compressMatchesQt_data();
    void compressMatchesQt();
    void decompressRejectsForeignData_data();
    void decompressRejectsForeignData();
    void decompressToleratesWrongClaim();
    void hexIsLowerCase();
    void envelopes();
};

namespace
{
// FIPS-197, Appendix C.1 (AES-128).
const QByteArray kFipsKey = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
const QByteArray kFipsPlain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
const QByteArray kFipsCipher = QByteArray::fromHex("69c4e0d86a7b0430d8cdb78070b4c55a");
} // namespace

void tst_ServerProtocol::initTestCase()
{
    // Read once on first use, so it must be in place before anything asks.
    qputenv("UPDATEASSIST_SERVER", "127.0.2.99");
}

void tst_ServerProtocol::serverAddressFromEnvironment()
{
    QCOMPARE(ServerAddress(), QStringLiteral("127.0.2.99"));
    qputenv("UPDATEASSIST_SERVER", "127.0.2.98");
    QCOMPARE(ServerAddress(), QStringLiteral("127.0.2.99"));
}

void tst_ServerProtocol::endpointUrls()
{
    SetServerAddress(QStringLiteral("10.1.2.3"));
    QCOMPARE(LoginUrl(), QStringLiteral("http://10.1.2.3:19321/universalex.kxa"));
    QCOMPARE(RegisterUrl(), QStringLiteral("http://10.1.2.3:19320/universalex.kxa"));
    QCOMPARE(CatalogueUrl(), QStringLiteral("http://10.1.2.3:19320/universal.kxa"));
    QCOMPARE(PayloadKey().size(), 16);
}

void tst_ServerProtocol::aesKnownAnswer()
{
    const QByteArray baSealed = SealPayload(kFipsPlain, kFipsKey);
    QCOMPARE(baSealed.size(), 32);
    QCOMPARE(baSealed.left(16).toHex(), kFipsCipher.toHex());
    // The plain block ends in 0xff, which is no padding: it comes back whole.
    QCOMPARE(UnsealReply(kFipsCipher, kFipsKey).toHex(), kFipsPlain.toHex());
    QCOMPARE(UnsealReply(baSealed, kFipsKey).toHex(), kFipsPlain.toHex());
}

void tst_ServerProtocol::sealLength_data()
{
    QTest::addColumn<int>("nPlain");
    QTest::addColumn<int>("nSealed");
    QTest::newRow("empty: one block of padding") << 0 << 16;
    QTest::newRow("one byte") << 1 << 16;
    QTest::newRow("fifteen") << 15 << 16;
    QTest::newRow("one block: a whole block of padding") << 16 << 32;
    QTest::newRow("seventeen") << 17 << 32;
}

void tst_ServerProtocol::sealLength()
{
    QFETCH(int, nPlain);
    QFETCH(int, nSealed);
    const QByteArray baPlain(nPlain, 'a');
    const QByteArray baSealed = SealPayload(baPlain, PayloadKey());
    QCOMPARE(baSealed.size(), nSealed);
    QCOMPARE(UnsealReply(baSealed, PayloadKey()), baPlain);
}

void tst_ServerProtocol::sealRoundTrip()
{
    const QByteArray baJson = QStringLiteral("{\"名\":\"x\"}").toUtf8();
    const QByteArray baSealed = SealPayload(baJson, PayloadKey());
    QVERIFY(baSealed != baJson);
    QCOMPARE(UnsealReply(baSealed, PayloadKey()), baJson);
    // Equal blocks give equal cipher blocks (ECB).
    const QByteArray baTwice = SealPayload(QByteArray(32, 'z'), PayloadKey());
    QCOMPARE(baTwice.mid(0, 16), baTwice.mid(16, 16));
}

void tst_ServerProtocol::unsealDropsPartialBlock()
{
    const QByteArray baSealed = SealPayload("abc", PayloadKey());
    QCOMPARE(UnsealReply(baSealed + "xyz", PayloadKey()), QByteArray("abc"));
    QCOMPARE(UnsealReply("short", PayloadKey()), QByteArray());
}

void tst_ServerProtocol::unsealKeepsMalformedPadding_data()
{
    QTest::addColumn<QByteArray>("baBlock");
    QTest::newRow("last byte 0x20") << QByteArray("0123456789abcde ");
    QTest::newRow("last byte 3, others not") << QByteArray("0123456789abc\x01\x02\x03", 16);
    QTest::newRow("last byte 0") << QByteArray("0123456789abcde\0", 16);
    QTest::newRow("last byte 17") << QByteArray("0123456789abcde\x11", 16);
}

void tst_ServerProtocol::unsealKeepsMalformedPadding()
{
    QFETCH(QByteArray, baBlock);
    // The first block of a sealed block-sized text is that text without padding.
    const QByteArray baCipher = SealPayload(baBlock, PayloadKey()).left(16);
    const QByteArray baPlain = UnsealReply(baCipher, PayloadKey());
    QCOMPARE(baPlain.size(), 16);
    QCOMPARE(baPlain, baBlock);
}

void tst_ServerProtocol::unusableKey()
{
    QCOMPARE(SealPayload("abc", QByteArray(15, 'k')), QByteArray());
    const QByteArray baCipher = SealPayload("abc", PayloadKey());
    QCOMPARE(UnsealReply(baCipher, QByteArray()), baCipher);
}

void tst_ServerProtocol::compressMatchesQt_data()
{
    QTest::addColumn<QByteArray>("baJson");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("envelope") << QByteArray("{\"command\":1041,\"data\":{\"username\":\"a\"}}");
    QTest::newRow("long") << QByteArray(100000, 'x');
}

void tst_ServerProtocol::compressMatchesQt()
{
    QFETCH(QByteArray, baJson);
    const QByteArray baBody = CompressBody(baJson);
    QCOMPARE(baBody, qCompress(baJson, -1));
    QCOMPARE(qFromBigEndian<quint32>(baBody.constData()), static_cast<quint32>(baJson.size()));
    QCOMPARE(DecompressBody(baBody), baJson);
}

void tst_ServerProtocol::decompressRejectsForeignData_data()
{
    QTest::addColumn<QByteArray>("baBody");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("three bytes") << QByteArray("abc");
    QTest::newRow("plain JSON") << QByteArray("{\"code\":\"000000\"}");
    QByteArray baHuge = qCompress(QByteArray("{}"));
    qToBigEndian<quint32>(0x7fffffff, baHuge.data());
    QTest::newRow("claims 2 GiB") << baHuge;
    QByteArray baTruncated = qCompress(QByteArray(5000, 'x'));
    baTruncated.chop(8);
    QTest::newRow("cut off") << baTruncated;
    // Claims a few bytes, unpacks to more than any reply may be.
    QByteArray baBomb = qCompress(QByteArray(64 * 1024 * 1024 + 1, '\0'), 9);
    qToBigEndian<quint32>(16, baBomb.data());
    QTest::newRow("unpacks past the cap") << baBomb;
}

void tst_ServerProtocol::decompressToleratesWrongClaim()
{
    // As qUncompress does: the claim sizes the first buffer, the stream decides.
    QByteArray baBody = qCompress(QByteArray("{\"code\":\"000000\"}"));
    qToBigEndian<quint32>(2, baBody.data());
    QCOMPARE(DecompressBody(baBody), QByteArray("{\"code\":\"000000\"}"));
    qToBigEndian<quint32>(100000, baBody.data());
    QCOMPARE(DecompressBody(baBody), QByteArray("{\"code\":\"000000\"}"));
}

void tst_ServerProtocol::decompressRejectsForeignData()
{
    QFETCH(QByteArray, baBody);
    QCOMPARE(DecompressBody(baBody), QByteArray());
}

void tst_ServerProtocol::hexIsLowerCase()
{
    QCOMPARE(ToHexLower(QByteArray::fromHex("00ABCDEF7f")), QStringLiteral("00abcdef7f"));
    const QString sHex = ToHexLower(SealPayload("payload", PayloadKey()));
    QCOMPARE(sHex, sHex.toLower());
    QCOMPARE(sHex.size(), 32);
}

void tst_ServerProtocol::envelopes()
{
    QJsonObject joData;
    joData.insert(QStringLiteral("username"), QStringLiteral("alice"));
    QCOMPARE(CompressedEnvelope(CommandLogin, joData),
             QByteArray("{\"command\":1041,\"data\":{\"username\":\"alice\"}}"));

    const QJsonObject joSealed =
        QJsonDocument::fromJson(SealedEnvelope(CommandCatalogue, joData, PayloadKey())).object();
    QCOMPARE(joSealed.value(QStringLiteral("command")).toInt(), 1042);
    const QString sHex = joSealed.value(QStringLiteral("data")).toString();
    QCOMPARE(sHex, sHex.toLower());
    const QByteArray baPlain = UnsealReply(QByteArray::fromHex(sHex.toLatin1()), PayloadKey());
    QCOMPARE(baPlain, QByteArray("{\"username\":\"alice\"}"));
}

QTEST_GUILESS_MAIN(tst_ServerProtocol)
#include "tst_ServerProtocol.moc"
