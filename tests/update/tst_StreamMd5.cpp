#include "update/StreamMd5.h"

#include <QtTest>

class tst_StreamMd5 : public QObject
{
    Q_OBJECT
private slots:
    void digestOfChunks_data();
    void digestOfChunks();
    void destroyedWithChunksWaiting();
    void resultInTheMiddle();
};

namespace
{
QByteArray Sample(qint64 nLength)
{
    QByteArray ba(int(nLength), '\0');
    quint32 nSeed = 7;
    for (int i = 0; i < ba.size(); ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        ba[i] = char(nSeed >> 16);
    }
    return ba;
}
} // namespace

void tst_StreamMd5::digestOfChunks_data()
{
    QTest::addColumn<qint64>("nLength");
    QTest::addColumn<qint64>("nChunk");
    const qint64 nInline = StreamMd5::InlineBytes;
    const qint64 nQueue = StreamMd5::MaxQueuedBytes;
    QTest::newRow("nothing") << qint64(0) << qint64(1);
    QTest::newRow("one byte") << qint64(1) << qint64(1);
    QTest::newRow("short, digested in place") << nInline << qint64(4096);
    QTest::newRow("one byte past the in-place part") << nInline + 1 << qint64(4096);
    QTest::newRow("many chunks through the helper") << 3 * nQueue + 123 << qint64(16384);
    QTest::newRow("chunks larger than the queue") << 3 * nQueue << nQueue + 5;
    QTest::newRow("odd chunk size") << 2 * nInline + 777 << qint64(1000);
    const qint64 nBlock = StreamMd5::BlockBytes;
    QTest::newRow("whole blocks") << nInline + 4 * nBlock << nBlock;
    QTest::newRow("pieces across block borders") << nInline + 3 * nBlock << nBlock - 1;
}

void tst_StreamMd5::digestOfChunks()
{
    QFETCH(qint64, nLength);
    QFETCH(qint64, nChunk);
    const QByteArray baData = Sample(nLength);
    StreamMd5 hash;
    for (qint64 nAt = 0; nAt < nLength; nAt += nChunk)
        hash.AddData(baData.constData() + nAt, std::min(nChunk, nLength - nAt));
    QCOMPARE(hash.Result().toHex(),
             QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
}

void tst_StreamMd5::destroyedWithChunksWaiting()
{
    // A failed transfer never asks for the digest: the helper must still end.
    const QByteArray baData = Sample(StreamMd5::MaxQueuedBytes);
    {
        StreamMd5 hash;
        for (int i = 0; i < 4; ++i)
            hash.AddData(baData.constData(), baData.size());
    }
    // And a stream that is asked twice gives the same answer.
    StreamMd5 hash;
    hash.AddData(baData.constData(), baData.size());
    hash.AddData(baData.constData(), baData.size());
    const QByteArray baFirst = hash.Result();
    QCOMPARE(hash.Result(), baFirst);
    QCOMPARE(baFirst, QCryptographicHash::hash(baData + baData, QCryptographicHash::Md5));
}

void tst_StreamMd5::resultInTheMiddle()
{
    // Asked while a block is half full and blocks wait for the helper; the
    // stream then goes on.
    const qint64 nFirst = 3 * StreamMd5::MaxQueuedBytes / 2 + 100;
    const QByteArray baData = Sample(nFirst + StreamMd5::BlockBytes + 1);
    StreamMd5 hash;
    constexpr qint64 kPiece = 16 * 1024; // as libcurl hands data over
    for (qint64 nAt = 0; nAt < nFirst; nAt += kPiece)
        hash.AddData(baData.constData() + nAt, std::min(kPiece, nFirst - nAt));
    QCOMPARE(hash.Result(),
             QCryptographicHash::hash(baData.left(int(nFirst)), QCryptographicHash::Md5));
    hash.AddData(baData.constData() + nFirst, baData.size() - nFirst);
    QCOMPARE(hash.Result(), QCryptographicHash::hash(baData, QCryptographicHash::Md5));
}

QTEST_GUILESS_MAIN(tst_StreamMd5)
#include "tst_StreamMd5.moc"
