#include "app/Md5Digest.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

class tst_Md5Digest : public QObject
{
    Q_OBJECT
private slots:
    void implementation();
    void knownVectors_data();
    void knownVectors();
    void sameAsQt_data();
    void sameAsQt();
    void resultLeavesTheStreamGoing();
    void resetStartsAnew();
};

namespace
{
QByteArray RandomBytes(int nLength, quint32 nSeed)
{
    QByteArray ba(nLength, '\0');
    QRandomGenerator random(nSeed);
    for (char &c : ba)
        c = char(random.bounded(256));
    return ba;
}

QByteArray QtMd5(const QByteArray &baData)
{
    return QCryptographicHash::hash(baData, QCryptographicHash::Md5);
}
} // namespace

void tst_Md5Digest::implementation()
{
    // The test's environment says which implementation the build and the
    // library's configuration must have led to.
    const QByteArray baExpected = qgetenv("UA_EXPECT_MD5");
    if (baExpected.isEmpty())
        QSKIP("UA_EXPECT_MD5 not set");
    Md5Digest digest;
    QCOMPARE(QByteArray(digest.Implementation()), baExpected);
}

void tst_Md5Digest::knownVectors_data()
{
    // The test suite of RFC 1321, appendix A.5.
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest")
        << QByteArray("message digest") << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                              << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
    QTest::newRow("alphanumeric")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
        << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
    QTest::newRow("digits") << QByteArray("1234567890").repeated(8)
                            << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
}

void tst_Md5Digest::knownVectors()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, hex);
    Md5Digest whole;
    whole.AddData(input.constData(), input.size());
    QCOMPARE(whole.Result().toHex(), hex);
    // Byte by byte: the pieces' borders must not matter.
    Md5Digest bytes;
    for (char c : qAsConst(input))
        bytes.AddData(&c, 1);
    QCOMPARE(bytes.Result().toHex(), hex);
}

void tst_Md5Digest::sameAsQt_data()
{
    QTest::addColumn<int>("nLength");
    QTest::addColumn<int>("nChunk"); // 0: piece sizes drawn at random
    // Around the 64-byte block and the 56-byte padding border, and a few MiB.
    for (int nLength : {0, 1, 55, 56, 57, 63, 64, 65, 127, 128, 129, 1000}) {
        QTest::addRow("%d bytes whole", nLength) << nLength << qMax(nLength, 1);
        QTest::addRow("%d bytes in 7s", nLength) << nLength << 7;
    }
    const int nLarge = 3 * 1024 * 1024 + 17;
    QTest::newRow("3 MiB + 17 whole") << nLarge << nLarge;
    QTest::newRow("3 MiB + 17 in 63s") << nLarge << 63;
    QTest::newRow("3 MiB + 17 in 65s") << nLarge << 65;
    QTest::newRow("3 MiB + 17 in 4093s") << nLarge << 4093;
    QTest::newRow("3 MiB + 17 in random pieces") << nLarge << 0;
}

void tst_Md5Digest::sameAsQt()
{
    QFETCH(int, nLength);
    QFETCH(int, nChunk);
    const QByteArray baData = RandomBytes(nLength, quint32(nLength) * 31u + quint32(nChunk));
    QRandomGenerator pieces(quint32(nChunk) + 1u);
    Md5Digest digest;
    for (int nAt = 0; nAt < nLength;) {
        const int nPiece =
            qMin(nChunk > 0 ? nChunk : int(pieces.bounded(1, 200000)), nLength - nAt);
        digest.AddData(baData.constData() + nAt, nPiece);
        nAt += nPiece;
    }
    QCOMPARE(digest.Result().toHex(), QtMd5(baData).toHex());
}

void tst_Md5Digest::resultLeavesTheStreamGoing()
{
    // A resumed download asks for the digest of the kept part, then goes on.
    const QByteArray baData = RandomBytes(100000, 5);
    Md5Digest digest;
    digest.AddData(baData.constData(), 333);
    QCOMPARE(digest.Result(), QtMd5(baData.left(333)));
    QCOMPARE(digest.Result(), QtMd5(baData.left(333)));
    digest.AddData(baData.constData() + 333, baData.size() - 333);
    QCOMPARE(digest.Result(), QtMd5(baData));
}

void tst_Md5Digest::resetStartsAnew()
{
    Md5Digest digest;
    digest.AddData("something else", 14);
    digest.Reset();
    digest.AddData("abc", 3);
    QCOMPARE(digest.Result().toHex(), QByteArray("900150983cd24fb0d6963f7d28e17f72"));
    digest.Reset();
    QCOMPARE(digest.Result().toHex(), QByteArray("d41d8cd98f00b204e9800998ecf8427e"));
}

QTEST_GUILESS_MAIN(tst_Md5Digest)
#include "tst_Md5Digest.moc"
