#include "base/FileUtils.h"

#include "FifoWatch.h"
#include "PosixFiles.h"
#include "base/Md5Digest.h"

#include <QtTest>
#include <memory>
#include <thread>
#include <vector>

class tst_FileUtils : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void fileMd5_data();
    void fileMd5();
    void fileMd5OfUnreadableFileIsEmpty();
    void fileMd5OfLargeFile();
    void specialFileIsNotRead_data();
    void specialFileIsNotRead();
    void cancelEndsDigestBetweenBlocks();
    void fileMd5ListKeepsOrder();
    void digestsOnThreadsThatEnd();
    void addFileToMd5ContinuesTheStream();
    void copyFileReplacing_data();
    void copyFileReplacing();

private:
    QString WriteFile(const QString &sName, const QByteArray &baData);
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_FileUtils::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString tst_FileUtils::WriteFile(const QString &sName, const QByteArray &baData)
{
    const QString sPath = dir->filePath(sName);
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(baData) != baData.size())
        return QString();
    return sPath;
}

void tst_FileUtils::fileMd5_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("md5");
    QTest::newRow("empty file") << QByteArray() << "d41d8cd98f00b204e9800998ecf8427e";
    QTest::newRow("text") << QByteArray("The quick brown fox jumps over the lazy dog")
                          << "9e107d9d372bb6826bd81d3542a419d6";
    QTest::newRow("binary") << QByteArray("\x00\xff\x10", 3)
                            << QString::fromLatin1(
                                   QCryptographicHash::hash(QByteArray("\x00\xff\x10", 3),
                                                            QCryptographicHash::Md5)
                                       .toHex());
}

void tst_FileUtils::fileMd5()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, md5);
    const QString sPath = WriteFile("f.bin", content);
    QVERIFY(!sPath.isEmpty());
    QCOMPARE(FileMd5(sPath), md5);
}

void tst_FileUtils::fileMd5OfUnreadableFileIsEmpty()
{
    QCOMPARE(FileMd5(dir->filePath("missing.bin")), QString());
    // A folder opens as a file on some systems but cannot be read as one.
    QCOMPARE(FileMd5(dir->path()), QString());
    // It matches only an empty manifest hash, never a real one.
    QVERIFY(FileMd5(dir->filePath("missing.bin")) != "d41d8cd98f00b204e9800998ecf8427e");
}

void tst_FileUtils::fileMd5OfLargeFile()
{
    // Several read chunks, with a tail that does not fill one.
    QByteArray baData;
    for (int i = 0; i < 300000; ++i)
        baData.append(char(i * 7));
    const QString sPath = WriteFile("large.bin", baData);
    QCOMPARE(
        FileMd5(sPath),
        QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex()));
}

void tst_FileUtils::specialFileIsNotRead_data()
{
    // What may stand at a file's place on the device disk.
    QTest::addColumn<QString>("sKind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "fifo link";
    QTest::newRow("link to /dev/null") << "null link";
}

void tst_FileUtils::specialFileIsNotRead()
{
    // A FIFO would hold the digest until a writer came, for ever on a disk; a
    // device is no file of the package. Neither is opened for reading.
    QFETCH(QString, sKind);
    if (!CanMakePosixSpecialFiles())
        QSKIP("no FIFOs or links here");
    const QString sPath = dir->filePath("Engine.bin");
    std::unique_ptr<FifoWatch> pFifo;
    if (sKind == "fifo") {
        pFifo = std::make_unique<FifoWatch>(sPath);
        QVERIFY(pFifo->IsValid());
    } else if (sKind == "fifo link") {
        pFifo = std::make_unique<FifoWatch>(dir->filePath("pipe"));
        QVERIFY(pFifo->IsValid());
        QVERIFY(QFile::link(dir->filePath("pipe"), sPath));
    } else {
        QVERIFY(QFile::link("/dev/null", sPath));
    }
    const QString sMd5 = FileMd5(sPath);
    Md5Digest digest;
    const bool bAdded = AddFileToMd5(sPath, digest);
    const QStringList slDigests = FileMd5List({sPath, sPath});
    const bool bOpened = pFifo && pFifo->Opened();
    QVERIFY2(!bOpened, "the FIFO was opened");
    QCOMPARE(sMd5, QString());
    QVERIFY(!bAdded);
    QCOMPARE(slDigests, (QStringList{QString(), QString()}));
}

void tst_FileUtils::cancelEndsDigestBetweenBlocks()
{
    // A large file on a slow disk: a cancel is seen before the next block,
    // not once the whole file has been read.
    const QString sPath = WriteFile("large.bin", QByteArray(4 * 1024 * 1024, 'c'));
    QVERIFY(!sPath.isEmpty());
    int nAsked = 0;
    const auto cancelThird = [&nAsked] { return ++nAsked == 3; };
    QCOMPARE(FileMd5(sPath, cancelThird), QString());
    QCOMPARE(nAsked, 3);

    nAsked = 0;
    Md5Digest digest;
    QVERIFY(!AddFileToMd5(sPath, digest, cancelThird));
    QCOMPARE(nAsked, 3);

    // Never cancelled: the whole file's digest.
    QCOMPARE(FileMd5(sPath, [] { return false; }),
             QString::fromLatin1(
                 QCryptographicHash::hash(QByteArray(4 * 1024 * 1024, 'c'), QCryptographicHash::Md5)
                     .toHex()));
    // Cancelled before it began: no file is digested.
    QCOMPARE(FileMd5List({sPath, sPath}, [] { return true; }), (QStringList{QString(), QString()}));
}

void tst_FileUtils::fileMd5ListKeepsOrder()
{
    // More files than threads, unreadable ones among them: each digest stays
    // at its path's place.
    QStringList slPaths;
    QStringList slExpected;
    for (int i = 0; i < 40; ++i) {
        if (i % 13 == 5) {
            slPaths << dir->filePath(QStringLiteral("missing%1.bin").arg(i));
            slExpected << QString();
            continue;
        }
        const QByteArray baData = QByteArray::number(i).repeated(i * 1000 + 1);
        slPaths << WriteFile(QStringLiteral("f%1.bin").arg(i), baData);
        slExpected << QString::fromLatin1(
            QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
    }
    slPaths << dir->path();
    slExpected << QString();
    QCOMPARE(FileMd5List(slPaths), slExpected);
    QCOMPARE(FileMd5List(QStringList()), QStringList());
}

void tst_FileUtils::digestsOnThreadsThatEnd()
{
    // The digest helpers and the batch's packages run on threads that end
    // after a few files: whatever a digest keeps per thread must be released
    // soundly when its thread ends (under Windows, storage kept per thread
    // with a destructor freed a stale pointer there, now and then).
    const QByteArray baData = QByteArray("digest").repeated(1000);
    const QString sPath = WriteFile("t.bin", baData);
    const QString sExpected =
        QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
    for (int nRound = 0; nRound < 50; ++nRound) {
        std::vector<std::thread> threads;
        std::vector<QString> digests(8);
        for (size_t i = 0; i < digests.size(); ++i)
            threads.emplace_back([&digests, i, sPath] { digests[i] = FileMd5(sPath); });
        for (std::thread &thread : threads)
            thread.join();
        for (const QString &sDigest : digests)
            QCOMPARE(sDigest, sExpected);
    }
}

void tst_FileUtils::addFileToMd5ContinuesTheStream()
{
    // What the digest holds already comes first; the file's bytes follow.
    QByteArray baFile;
    for (int i = 0; i < 600001; ++i)
        baFile.append(char(i * 13 + i / 7));
    const QString sPath = WriteFile("part.bin", baFile);
    Md5Digest digest;
    digest.AddData("head", 4);
    QVERIFY(AddFileToMd5(sPath, digest));
    QCOMPARE(digest.Result(), QCryptographicHash::hash("head" + baFile, QCryptographicHash::Md5));
    digest.AddData("tail", 4);
    QCOMPARE(digest.Result(),
             QCryptographicHash::hash("head" + baFile + "tail", QCryptographicHash::Md5));

    Md5Digest other;
    QVERIFY(!AddFileToMd5(dir->filePath("missing.bin"), other));
    QVERIFY(!AddFileToMd5(dir->path(), other));
}

void tst_FileUtils::copyFileReplacing_data()
{
    QTest::addColumn<QString>("source"); // relative to the folder; "src" exists
    QTest::addColumn<QString>("target"); // relative to the folder; "old" exists
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("targetAfter"); // empty: target must not exist
    QTest::newRow("new target") << "src"
                                << "new" << false << true << QByteArray("source");
    QTest::newRow("existing target kept") << "src"
                                          << "old" << false << false << QByteArray("old");
    QTest::newRow("existing target replaced") << "src"
                                              << "old" << true << true << QByteArray("source");
    QTest::newRow("missing source") << "nothing"
                                    << "new" << true << false << QByteArray();
    QTest::newRow("missing source keeps target") << "nothing"
                                                 << "old" << true << false << QByteArray("old");
    QTest::newRow("same path") << "src"
                               << "src" << true << true << QByteArray("source");
    // Two spellings of one file: the source must survive "overwrite".
    QTest::newRow("same file, other spelling")
        << "src"
        << "./sub/../src" << true << true << QByteArray("source");
}

void tst_FileUtils::copyFileReplacing()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(bool, overwrite);
    QFETCH(bool, result);
    QFETCH(QByteArray, targetAfter);
    QVERIFY(!WriteFile("src", "source").isEmpty());
    QVERIFY(!WriteFile("old", "old").isEmpty());
    QVERIFY(QDir(dir->path()).mkdir("sub"));
    const QString sTarget = dir->path() + "/" + target;
    QCOMPARE(CopyFileReplacing(dir->path() + "/" + source, sTarget, overwrite), result);
    QFile file(sTarget);
    if (targetAfter.isEmpty()) {
        QVERIFY(!file.exists());
    } else {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), targetAfter);
    }
    QFile sourceFile(dir->filePath("src"));
    QVERIFY(sourceFile.open(QIODevice::ReadOnly));
    QCOMPARE(sourceFile.readAll(), QByteArray("source"));
}

QTEST_GUILESS_MAIN(tst_FileUtils)
#include "tst_FileUtils.moc"
