#include "FifoWatch.h"
#include "dataviewer/RecordFile.h"
#include "dataviewer/RecordWriter.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(RecordReadStatus)

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

// Header and content of a record with one item, then one frame per value.
QByteArray StreamWithFrames(const QList<int> &lstValues)
{
    QByteArray ba = Chunk(R"({"VehicleName":"Golf"})", 0) +
                    Chunk(R"({"DATA":{"TT":"Engine","IS":[{"LB":"a"}]}})", 4);
    for (int nValue : lstValues)
        ba += Chunk(QByteArray("[\"") + QByteArray::number(nValue) + "\"]", 2);
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
    void emptyChunkIsSkipped();
    void damagedStreamKeepsItsFrames_data();
    void damagedStreamKeepsItsFrames();
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
    QCOMPARE(RecordFile::ReadDataStream(dir.filePath("missing"), ds), RecordReadStatus::Unreadable);
    QCOMPARE(RecordFile::ReadReport(dir.filePath("missing"), rr), RecordReadStatus::Unreadable);
    // A folder is not a record.
    QCOMPARE(RecordFile::ReadReport(dir.path(), rr), RecordReadStatus::Unreadable);
}

void tst_RecordFile::emptyChunkIsSkipped()
{
    // No device writes an empty chunk; the zeros an interrupted write leaves
    // read as nothing but empty chunks.
    const QByteArray ba = Chunk(R"({"VehicleName":"Golf"})", 0) + Chunk("", 4) + Chunk("[]", 2);
    const QList<QByteArray> lst = RecordFile::SplitChunks(ba);
    QCOMPARE(lst, QList<QByteArray>({R"({"VehicleName":"Golf"})", "[]"}));
    QCOMPARE(RecordFile::SplitChunks(SmallRecord() + QByteArray(600, '\0')),
             RecordFile::SplitChunks(SmallRecord()));
    QVERIFY(RecordFile::SplitChunks(QByteArray(600, '\0')).isEmpty());
    const DataStreamRecord stream = RecordFile::ParseDataStream(QByteArray(600, '\0'));
    QVERIFY(!stream.bHasContent && stream.lstFrames.isEmpty());
    const ReportRecord report = RecordFile::ParseReport(QByteArray(600, '\0'));
    QVERIFY(!report.bHasHeader && !report.bHasContent);
}

void tst_RecordFile::damagedStreamKeepsItsFrames_data()
{
    QTest::addColumn<QByteArray>("baRecord");
    QTest::addColumn<bool>("bContent");
    QTest::addColumn<QList<int>>("lstFrames"); // the value of each frame read

    const QByteArray baFive = StreamWithFrames({1, 2, 3, 4, 5});
    const QByteArray baThree = StreamWithFrames({6, 7, 8}).mid(StreamWithFrames({}).size());
    const QList<int> lstFive{1, 2, 3, 4, 5};
    const QList<int> lstEight{1, 2, 3, 4, 5, 6, 7, 8};
    // What an interrupted write on a FAT disk leaves: the file's length is
    // there, the clusters behind the last whole frame hold zeros.
    QTest::newRow("five frames and 4 KiB of zeros")
        << baFive + QByteArray(4096, '\0') << true << lstFive;
    QTest::newRow("an empty frame between two")
        << StreamWithFrames({1}) + Chunk("", 2) + Chunk(R"(["2"])", 2) << true << QList<int>{1, 2};
    QTest::newRow("a hole of zeros between frames")
        << baFive + QByteArray(1001, '\0') + baThree << true << lstEight;
    QTest::newRow("stray bytes after a hole")
        << baFive + QByteArray(998, '\0') + QByteArray("\0\0\x01", 3) + baThree << true << lstEight;
    QTest::newRow("a length past the end, then frames")
        << baFive + QByteArray("\x7f\xff\xff\xff", 4) + baThree << true << lstEight;
    QTest::newRow("a frame cut off at the end")
        << baFive + QByteArray("\0\0\x03\xe8[\"6\",\"", 9) << true << lstFive;
    QTest::newRow("a frame that does not parse")
        << StreamWithFrames({1}) + Chunk(QByteArray("[\"2\0\0\0", 6), 2) + Chunk(R"(["3"])", 2)
        << true << QList<int>{1, 3};
    QTest::newRow("an empty header")
        << Chunk("", 0) + StreamWithFrames({1, 2}).mid(Chunk(R"({"VehicleName":"Golf"})", 0).size())
        << true << QList<int>{1, 2};
    QTest::newRow("nothing but zeros") << QByteArray(6000, '\0') << false << QList<int>{};
    QTest::newRow("empty file") << QByteArray() << false << QList<int>{};
}

// A chunk that cannot be read is dropped and the reading goes on; a record
// is never thrown away for it.
void tst_RecordFile::damagedStreamKeepsItsFrames()
{
    QFETCH(QByteArray, baRecord);
    QFETCH(bool, bContent);
    QFETCH(QList<int>, lstFrames);

    QTemporaryDir dir;
    const QString sPath = dir.filePath("record.dat");
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(baRecord), qint64(baRecord.size()));
    file.close();

    DataStreamRecord record;
    QCOMPARE(RecordFile::ReadDataStream(sPath, record),
             bContent ? RecordReadStatus::Read : RecordReadStatus::Empty);
    QCOMPARE(record.bHasContent, bContent);
    QVERIFY(!record.bCut);
    QList<int> lstValues;
    for (const QJsonArray &jaFrame : qAsConst(record.lstFrames))
        lstValues.append(jaFrame.at(0).toString().toInt());
    QCOMPARE(lstValues, lstFrames);
    if (bContent)
        QCOMPARE(record.joContent["DATA"].toObject()["IS"].toArray().size(), 1);
}

void tst_RecordFile::specialAndHugeFilesAreUnreadable_data()
{
    QTest::addColumn<QString>("sKind");
    QTest::addColumn<RecordReadStatus>("stream"); // as the data list reads it
    QTest::addColumn<RecordReadStatus>("report"); // as the report reads it
    QTest::addColumn<int>("nFrames");
    const auto unreadable = RecordReadStatus::Unreadable;
    const auto read = RecordReadStatus::Read;
    QTest::newRow("FIFO") << "fifo" << unreadable << unreadable << 0;
    QTest::newRow("link to /dev/zero") << "zero" << unreadable << unreadable << 0;
    QTest::newRow("zeros") << "zeros" << RecordReadStatus::Empty << RecordReadStatus::Empty << 0;
    QTest::newRow("empty frame") << "empty frame" << read << read << 3;
    // Read as far as the bound; the rest is left out, not the whole record.
    QTest::newRow("record and 256 MiB of zeros") << "huge" << read << read << 2;
    QTest::newRow("link to a record") << "link" << read << read << 2;
}

void tst_RecordFile::specialAndHugeFilesAreUnreadable()
{
    QFETCH(QString, sKind);
    QFETCH(RecordReadStatus, stream);
    QFETCH(RecordReadStatus, report);
    QFETCH(int, nFrames);
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

    DataStreamRecord streamRecord;
    streamRecord.bHasContent = true; // untouched when the file is unreadable
    ReportRecord reportRecord;
    reportRecord.sTitle = "before";
    QCOMPARE(RecordFile::ReadDataStream(sPath, streamRecord), stream);
    QCOMPARE(RecordFile::ReadReport(sPath, reportRecord), report);
    QVERIFY2(!(pFifo && pFifo->Opened()), "the FIFO was opened");
    QCOMPARE(streamRecord.lstFrames.size(), nFrames);
    if (stream == RecordReadStatus::Unreadable)
        QVERIFY(streamRecord.bHasContent);
    QCOMPARE(reportRecord.sTitle, report == RecordReadStatus::Read    ? QString("Engine")
                                  : report == RecordReadStatus::Empty ? QString()
                                                                      : QString("before"));
    // The huge one: 64 MiB read of it, and said so.
    QCOMPARE(streamRecord.bCut, sKind == "huge");
    if (sKind == "huge")
        QCOMPARE(streamRecord.nFileSize - streamRecord.nBytesTaken,
                 qint64(256 - 64) * 1024 * 1024 + 1);
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
    QCOMPARE(RecordFile::ReadDataStream(sPath, ds), RecordReadStatus::Read);
    const QJsonObject joItem =
        ds.joContent.value("DATA").toObject().value("IS").toArray().at(0).toObject();
    QCOMPARE(joItem.value("LB").toString(), QString("Timing °"));
    QCOMPARE(ds.lstFrames.size(), 2);
    QCOMPARE(ds.lstFrames.at(1).at(0).toString(), QString("2"));

    ReportRecord rr;
    QCOMPARE(RecordFile::ReadReport(sPath, rr), RecordReadStatus::Read);
    QCOMPARE(rr.jaItems.at(0).toObject().value("UNT").toString(), QString("℃"));
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_RecordFile.moc"
