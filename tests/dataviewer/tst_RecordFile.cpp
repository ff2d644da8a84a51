#include "FifoWatch.h"
#include "dataviewer/RecordFile.h"
#include "dataviewer/RecordWriter.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{

QByteArray Chunk(const QByteArray &baPayload, int nGap)
{
    QByteArray ba;
    const quint32 n = quint32(baPayload.size());
    ba.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    ba.append(baPayload);
    ba.append(nGap, '\x7f'); // the unread bytes must not matter, whatever they hold
    return ba;
}

// Header, content with two items, two frames.
QByteArray SmallRecord()
{
    return Chunk(R"({"VehicleName":"Golf"})", 0) +
           Chunk(R"({"DATA":{"TT":"Engine","IS":[{"LB":"a"},{"LB":"b"}]}})", 4) +
           Chunk(R"(["1","2"])", 2) + Chunk(R"(["3","4"])", 2);
}

} // namespace

class tst_RecordFile : public QObject
{
    Q_OBJECT
private slots:
    void splitsChunksSkippingUnreadBytes();
    void truncatedFileNeverReadsPastItsEnd();
    void hugeLengthFieldStops();
    void dataStreamChunks_data();
    void dataStreamChunks();
    void dataListDecoding_data();
    void dataListDecoding();
    void reportDecoding_data();
    void reportDecoding();
    void reportReadsHeaderAndContentOnly();
    void unreadableFile();
    void emptyChunkEndsTheWalk();
    void specialAndHugeFilesAreUnreadable_data();
    void specialAndHugeFilesAreUnreadable();
    void writerRoundTrip();
};

void tst_RecordFile::splitsChunksSkippingUnreadBytes()
{
    const QList<QByteArray> lst = RecordFile::SplitChunks(SmallRecord());
    QCOMPARE(lst.size(), 4);
    QCOMPARE(lst.at(0), QByteArray(R"({"VehicleName":"Golf"})"));
    QCOMPARE(lst.at(3), QByteArray(R"(["3","4"])"));
    QCOMPARE(RecordFile::SplitChunks(SmallRecord(), 2).size(), 2);
    QVERIFY(RecordFile::SplitChunks(QByteArray()).isEmpty());
}

void tst_RecordFile::truncatedFileNeverReadsPastItsEnd()
{
    // The truncated views share the full record's memory, so a reader that
    // looked past the view's end would find a complete chunk there.
    const QByteArray baFull = SmallRecord();
    const QList<QByteArray> lstFull = RecordFile::SplitChunks(baFull);
    QList<int> lstEnds; // offset where each chunk's payload ends
    int nOffset = 0;
    const int nGaps[] = {0, 4, 2, 2};
    for (int i = 0; i < lstFull.size(); ++i) {
        nOffset += 4 + lstFull.at(i).size();
        lstEnds.append(nOffset);
        nOffset += nGaps[i];
    }
    for (int n = 0; n <= baFull.size(); ++n) {
        const QByteArray baView = QByteArray::fromRawData(baFull.constData(), n);
        int nExpected = 0;
        while (nExpected < lstEnds.size() && lstEnds.at(nExpected) <= n)
            ++nExpected;
        const QList<QByteArray> lst = RecordFile::SplitChunks(baView);
        QCOMPARE(lst.size(), nExpected);
        for (int i = 0; i < lst.size(); ++i)
            QCOMPARE(lst.at(i), lstFull.at(i));

        const DataStreamRecord ds = RecordFile::ParseDataStream(baView);
        QCOMPARE(ds.bHasContent, nExpected >= 2);
        QCOMPARE(ds.lstFrames.size(), qMax(0, nExpected - 2));
        const ReportRecord rr = RecordFile::ParseReport(baView);
        QCOMPARE(rr.bHasHeader, nExpected >= 1);
        QCOMPARE(rr.bHasContent, nExpected >= 2);
    }
}

void tst_RecordFile::hugeLengthFieldStops()
{
    QByteArray ba = Chunk("{}", 0);
    ba.append("\xff\xff\xff\xff{}", 6);
    QCOMPARE(RecordFile::SplitChunks(ba).size(), 1);
    ba = Chunk("{}", 0) + QByteArray("\x7f\xff\xff\xf0", 4);
    QCOMPARE(RecordFile::SplitChunks(ba).size(), 1);
}

void tst_RecordFile::dataStreamChunks_data()
{
    QTest::addColumn<QByteArray>("baContent");
    QTest::addColumn<QList<QByteArray>>("lstFrames");
    QTest::addColumn<int>("nItems");
    QTest::addColumn<QList<int>>("lstFrameSizes");

    const QByteArray baTwoItems = R"({"DATA":{"IS":[{"LB":"a"},{"LB":"b"}]}})";
    QTest::newRow("content not an object")
        << QByteArray(R"([1,2])") << QList<QByteArray>{R"(["1"])"} << 0 << QList<int>{1};
    QTest::newRow("content not JSON")
        << QByteArray("{oops") << QList<QByteArray>{} << 0 << QList<int>{};
    QTest::newRow("frame that is an object")
        << baTwoItems << QList<QByteArray>{R"({"x":1})", R"(["1","2"])"} << 2 << QList<int>{0, 2};
    QTest::newRow("frame that does not parse is dropped")
        << baTwoItems << QList<QByteArray>{R"(["1",)", R"(["1","2"])"} << 2 << QList<int>{2};
    QTest::newRow("frame shorter than the items")
        << baTwoItems << QList<QByteArray>{R"(["1"])"} << 2 << QList<int>{1};
}

void tst_RecordFile::dataStreamChunks()
{
    QFETCH(QByteArray, baContent);
    QFETCH(QList<QByteArray>, lstFrames);
    QFETCH(int, nItems);
    QFETCH(QList<int>, lstFrameSizes);

    QByteArray ba = Chunk("{}", 0) + Chunk(baContent, 4);
    for (const QByteArray &baFrame : qAsConst(lstFrames))
        ba += Chunk(baFrame, 2);
    const DataStreamRecord record = RecordFile::ParseDataStream(ba);
    QVERIFY(record.bHasContent);
    QCOMPARE(record.joContent.value("DATA").toObject().value("IS").toArray().size(), nItems);
    QList<int> lstSizes;
    for (const QJsonArray &ja : record.lstFrames)
        lstSizes.append(ja.size());
    QCOMPARE(lstSizes, lstFrameSizes);
}

void tst_RecordFile::dataListDecoding_data()
{
    QTest::addColumn<QByteArray>("baPayload");
    QTest::addColumn<QString>("sText");
    QTest::newRow("stray B0 is a degree sign") << QByteArray("Angle \xB0") << QString("Angle °");
    QTest::newRow("device's degrees Celsius") << QByteArray("\xB0"
                                                            "C")
                                              << QString("°C");
    QTest::newRow("UTF-8 degree sign stays one")
        << QByteArray("Angle \xC2\xB0") << QString("Angle °");
    QTest::newRow("Chinese character ending in B0")
        << QByteArray("\xE6\x95\xB0\xE6\x8D\xAE") << QString::fromUtf8("数据");
    QTest::newRow("B0 after a cut-off sequence")
        << QByteArray("\xE6\xB0") << QString::fromUtf8("\xEF\xBF\xBD°");
}

void tst_RecordFile::dataListDecoding()
{
    QFETCH(QByteArray, baPayload);
    QFETCH(QString, sText);
    QCOMPARE(RecordFile::DataListText(baPayload), sText);
}

void tst_RecordFile::reportDecoding_data()
{
    QTest::addColumn<QByteArray>("baPayload");
    QTest::addColumn<QString>("sText");
    QTest::newRow("B0 43 is degrees Celsius") << QByteArray("92\xB0"
                                                            "C")
                                              << QString("92℃");
    QTest::newRow("GBK text") << QByteArray("\xB9\xCA\xD5\xCF\xC2\xEB") << QString("故障码");
    QTest::newRow("bare B0 before a quote") << QByteArray("\"a\xB0\"") << QString("\"a°\"");
    QTest::newRow("bare B0 at the end") << QByteArray("a\xB0") << QString("a°");
    QTest::newRow("B0 as a GBK trail byte") << QByteArray("\xA1\xB0\"") << QString("“\"");
    QTest::newRow("ASCII") << QByteArray(R"({"a":"b"})") << QString(R"({"a":"b"})");
}

void tst_RecordFile::reportDecoding()
{
    QFETCH(QByteArray, baPayload);
    QFETCH(QString, sText);
    QCOMPARE(RecordFile::ReportText(baPayload), sText);
}

void tst_RecordFile::reportReadsHeaderAndContentOnly()
{
    const QByteArray ba = Chunk(R"({"VehicleName":"Golf"})", 0) +
                          Chunk("{\"DATA\":{\"TT\":\"Engine\",\"IS\":[{\"VA\":\"92\xB0"
                                "C\"}]}}",
                                4) +
                          Chunk("not json at all", 2);
    const ReportRecord record = RecordFile::ParseReport(ba);
    QVERIFY(record.bHasHeader);
    QCOMPARE(record.joHeader.value("VehicleName").toString(), QString("Golf"));
    QCOMPARE(record.sTitle, QString("Engine"));
    QCOMPARE(record.jaItems.size(), 1);
    QCOMPARE(record.jaItems.at(0).toObject().value("VA").toString(), QString("92℃"));
}

void tst_RecordFile::unreadableFile()
{
    QTemporaryDir dir;
    DataStreamRecord ds;
    ReportRecord rr;
    QVERIFY(!RecordFile::ReadDataStream(dir.filePath("missing"), ds));
    QVERIFY(!RecordFile::ReadReport(dir.filePath("missing"), rr));
    QVERIFY(!RecordFile::ReadReport(dir.path(), rr)); // a folder is not a record
}

void tst_RecordFile::emptyChunkEndsTheWalk()
{
    // No device writes an empty chunk; a file of zeros is nothing but empty chunks.
    const QByteArray ba = Chunk(R"({"VehicleName":"Golf"})", 0) + Chunk("", 4) + Chunk("[]", 2);
    bool bEmpty = false;
    const QList<QByteArray> lst = RecordFile::SplitChunks(ba, -1, &bEmpty);
    QVERIFY(bEmpty);
    QCOMPARE(lst.size(), 1);
    QVERIFY(RecordFile::SplitChunks(SmallRecord(), -1, &bEmpty).size() == 4 && !bEmpty);
    bool bReadable = true;
    RecordFile::ParseDataStream(QByteArray(600, '\0'), &bReadable);
    QVERIFY(!bReadable);
    RecordFile::ParseReport(QByteArray(600, '\0'), &bReadable);
    QVERIFY(!bReadable);
    RecordFile::ParseDataStream(SmallRecord(), &bReadable);
    QVERIFY(bReadable);
}

void tst_RecordFile::specialAndHugeFilesAreUnreadable_data()
{
    QTest::addColumn<QString>("sKind");
    QTest::addColumn<bool>("bStream"); // the data list reads it
    QTest::addColumn<bool>("bReport"); // the report reads it
    QTest::newRow("FIFO") << "fifo" << false << false;
    QTest::newRow("link to /dev/zero") << "zero" << false << false;
    QTest::newRow("zeros") << "zeros" << false << false;
    QTest::newRow("empty frame") << "empty frame" << false << true;
    QTest::newRow("record and 256 MiB of zeros") << "huge" << false << false;
    QTest::newRow("link to a record") << "link" << true << true;
}

void tst_RecordFile::specialAndHugeFilesAreUnreadable()
{
    QFETCH(QString, sKind);
    QFETCH(bool, bStream);
    QFETCH(bool, bReport);
    QTemporaryDir dir;
    const QString sFolder = dir.filePath("SaveData/DataStreams");
    QVERIFY(QDir().mkpath(sFolder));
    const QString sPath = sFolder + "/record.dat";
    std::unique_ptr<FifoWatch> pFifo;
    const auto write = [](const QString &sFile, const QByteArray &baData) {
        QFile file(sFile);
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    };
    if (sKind == "fifo") {
        pFifo = std::make_unique<FifoWatch>(sPath);
        if (!pFifo->IsValid())
            QSKIP("no FIFOs here");
    } else if (sKind == "zero") {
        QVERIFY(QFile::link("/dev/zero", sPath));
        // On Windows QFile::link makes shell shortcuts, which lead nowhere.
        if (!QFileInfo(sPath).isSymLink())
            QSKIP("no symbolic links here");
    } else if (sKind == "zeros") {
        QVERIFY(write(sPath, QByteArray(6000, '\0')));
    } else if (sKind == "empty frame") {
        QVERIFY(write(sPath, SmallRecord() + Chunk("", 2) + Chunk(R"(["5","6"])", 2)));
    } else if (sKind == "huge") {
        // 256 MiB and a byte, nearly all of it a hole that costs no space.
        QVERIFY(write(sPath, SmallRecord()));
        QVERIFY(QFile::resize(sPath, qint64(256) * 1024 * 1024 + 1));
    } else {
        QVERIFY(write(dir.filePath("elsewhere.dat"), SmallRecord()));
        QVERIFY(QFile::link(dir.filePath("elsewhere.dat"), sPath));
        if (!QFileInfo(sPath).isSymLink())
            QSKIP("no symbolic links here");
    }

    DataStreamRecord stream;
    stream.bHasContent = true; // untouched when the file is unreadable
    ReportRecord report;
    report.sTitle = "before";
    const bool bReadStream = RecordFile::ReadDataStream(sPath, stream);
    const bool bReadReport = RecordFile::ReadReport(sPath, report);
    QVERIFY2(!(pFifo && pFifo->Opened()), "the FIFO was opened");
    QCOMPARE(bReadStream, bStream);
    QCOMPARE(bReadReport, bReport);
    if (!bStream) {
        QVERIFY(stream.bHasContent && stream.lstFrames.isEmpty());
    } else {
        QCOMPARE(stream.lstFrames.size(), 2);
    }
    QCOMPARE(report.sTitle, bReport ? QString("Engine") : QString("before"));
}

void tst_RecordFile::writerRoundTrip()
{
    QTemporaryDir dir;
    const QString sPath = dir.filePath("DataStreams/x.dat");
    const QByteArray baRecord =
        RecordWriter::Record(QJsonObject{{"VehicleName", "Golf"}}, "Engine",
                             QJsonArray{QJsonObject{{"LB", "Timing °"}, {"UNT", "°C"}}},
                             {QJsonArray{"1"}, QJsonArray{"2"}});
    QVERIFY(baRecord.contains("\"Timing \xB0\""));
    QVERIFY(baRecord.contains("\"\xB0"
                              "C\""));
    QVERIFY(!baRecord.contains("\xC2\xB0"));
    QVERIFY(RecordWriter::WriteFile(sPath, baRecord));

    DataStreamRecord ds;
    QVERIFY(RecordFile::ReadDataStream(sPath, ds));
    const QJsonObject joItem =
        ds.joContent.value("DATA").toObject().value("IS").toArray().at(0).toObject();
    QCOMPARE(joItem.value("LB").toString(), QString("Timing °"));
    QCOMPARE(ds.lstFrames.size(), 2);
    QCOMPARE(ds.lstFrames.at(1).at(0).toString(), QString("2"));

    ReportRecord rr;
    QVERIFY(RecordFile::ReadReport(sPath, rr));
    QCOMPARE(rr.jaItems.at(0).toObject().value("UNT").toString(), QString("℃"));
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_RecordFile.moc"
