// The sample records the demo and the report pictures are made from.
#include "dataviewer/DataCategory.h"
#include "dataviewer/RecordFile.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_RecordGen : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyKindIsWritten();
    void dataStreamsHaveFramesForEveryItem();
    void degreeBytesAsTheDeviceWritesThem();
    void reportKindsRead();
    void renderedReports();
    void longStreamIsBounded_data();
    void longStreamIsBounded();

private:
    QByteArray ReadFile(const QString &sRelative) const;
    QTemporaryDir dir;
};

void tst_RecordGen::initTestCase()
{
    QProcess process;
    process.start(QString(UA_BIN_DIR) + "/record-gen", {dir.filePath("SaveData")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
}

QByteArray tst_RecordGen::ReadFile(const QString &sRelative) const
{
    QFile file(dir.filePath("SaveData/" + sRelative));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void tst_RecordGen::everyKindIsWritten()
{
    for (const DataCategory &category : DataCategories(dir.filePath("SaveData")))
        QCOMPARE(QDir(category.sFolder).entryList(QDir::Files).size(), 2);
}

void tst_RecordGen::dataStreamsHaveFramesForEveryItem()
{
    for (const char *szName : {"DS_ENGINE_1.dat", "DS_ENGINE_2.dat"}) {
        const DataStreamRecord record =
            RecordFile::ParseDataStream(ReadFile(QString("DataStreams/") + szName));
        QVERIFY(record.bHasContent);
        const QJsonArray jaItems = record.joContent["DATA"].toObject()["IS"].toArray();
        QVERIFY(jaItems.size() >= 4);
        QVERIFY(record.lstFrames.size() >= 5);
        for (const QJsonArray &jaFrame : record.lstFrames)
            QCOMPARE(jaFrame.size(), jaItems.size());
    }
}

void tst_RecordGen::degreeBytesAsTheDeviceWritesThem()
{
    const QByteArray baStream = ReadFile("DataStreams/DS_ENGINE_1.dat");
    QVERIFY(baStream.contains("advance \xB0\""));
    QVERIFY(!baStream.contains("\xC2\xB0"));
    const DataStreamRecord record = RecordFile::ParseDataStream(baStream);
    const QJsonArray jaItems = record.joContent["DATA"].toObject()["IS"].toArray();
    QCOMPARE(jaItems.at(2).toObject()["LB"].toString(), QString("Ignition timing advance °"));

    const QByteArray baFreeze = ReadFile("FreezeFrame/FF_ENGINE_1.dat");
    QVERIFY(baFreeze.contains("\"\xB0\x43\""));
    const ReportRecord report = RecordFile::ParseReport(baFreeze);
    QCOMPARE(report.jaItems.at(2).toObject()["UNT"].toString(), QString("℃"));
}

void tst_RecordGen::reportKindsRead()
{
    const ReportRecord codes = RecordFile::ParseReport(ReadFile("DTC/DTC_ENGINE_1.dat"));
    QCOMPARE(codes.jaItems.size(), 3);
    QVERIFY(!codes.joHeader["VehicleName"].toString().isEmpty());
    const ReportRecord scan = RecordFile::ParseReport(ReadFile("SystemData/SCAN_1.dat"));
    QVERIFY(scan.jaItems.at(0).toObject().contains("IES"));
    const ReportRecord version =
        RecordFile::ParseReport(ReadFile("VehicleVersion/VER_ENGINE_1.dat"));
    QVERIFY(version.jaItems.at(0).toObject()["VA"].isArray());
}

void tst_RecordGen::renderedReports()
{
    QTemporaryDir out;
    QProcess process;
    process.start(QString(UA_BIN_DIR) + "/record-gen",
                  {"--pdf", out.filePath("pdf"), out.filePath("SaveData")});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    for (int n = 2; n <= 5; ++n) {
        QProcess text;
        text.start("pdftotext", {out.filePath(QString("pdf/report-%1.pdf").arg(n)), "-"});
        QVERIFY(text.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains("车辆诊断报告"));
    }
}

void tst_RecordGen::longStreamIsBounded_data()
{
    QTest::addColumn<int>("nFrames");
    QTest::addColumn<qint64>("nMaxBytes");
    QTest::addColumn<int>("nKept");
    const qint64 nDefault = RecordLimits().nMaxBytes;
    const int nBound = RecordLimits().nMaxFrames;
    QTest::newRow("below the frame bound") << nBound - 1 << nDefault << nBound - 1;
    QTest::newRow("at the frame bound") << nBound << nDefault << nBound;
    QTest::newRow("one frame past it") << nBound + 1 << nDefault << nBound;
    QTest::newRow("past the byte bound") << 200000 << qint64(1024 * 1024) << -1;
}

// A long recording costs no more than the bounds allow, and the reader says
// where it stopped.
void tst_RecordGen::longStreamIsBounded()
{
    QFETCH(int, nFrames);
    QFETCH(qint64, nMaxBytes);
    QFETCH(int, nKept);
    QTemporaryDir out;
    const QString sPath = out.filePath("long.dat");
    QProcess process;
    process.start(QString(UA_BIN_DIR) + "/record-gen",
                  {"--stream", sPath, "--frames", QString::number(nFrames)});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray baAll = file.readAll();

    // The generator's frames, read without bounds.
    RecordLimits unbounded;
    unbounded.nMaxBytes = baAll.size();
    unbounded.nMaxFrames = nFrames + 1;
    const DataStreamRecord whole = RecordFile::ParseDataStream(baAll, unbounded);
    QCOMPARE(whole.lstFrames.size(), nFrames);
    QVERIFY(!whole.bCut);

    RecordLimits limits;
    limits.nMaxBytes = nMaxBytes;
    DataStreamRecord record;
    QCOMPARE(RecordFile::ReadDataStream(sPath, record, limits), RecordReadStatus::Read);
    QCOMPARE(record.nFileSize, qint64(baAll.size()));
    if (nKept < 0) {
        // Every whole frame within the bytes read, and no more.
        QCOMPARE(record.nBytesTaken, nMaxBytes);
        QVERIFY(record.lstFrames.size() > 0 && record.lstFrames.size() < nFrames);
        const DataStreamRecord head = RecordFile::ParseDataStream(baAll.left(int(nMaxBytes)));
        QCOMPARE(record.lstFrames.size(), head.lstFrames.size());
    } else {
        QCOMPARE(record.lstFrames.size(), nKept);
    }
    for (int i : {0, record.lstFrames.size() - 1})
        QCOMPARE(record.lstFrames.at(i), whole.lstFrames.at(i));
    QCOMPARE(record.bCut, record.lstFrames.size() < nFrames);
    if (record.bCut && nKept >= 0) {
        // Reading stopped at the first frame left out.
        const qint64 nOffset = record.nBytesTaken;
        const QByteArray baNext = baAll.mid(int(nOffset) + 4, 32);
        QVERIFY2(baNext.startsWith(
                     QJsonDocument(whole.lstFrames.at(nKept)).toJson(QJsonDocument::Compact)),
                 baNext.constData());
    }
}

QTEST_GUILESS_MAIN(tst_RecordGen)
#include "tst_RecordGen.moc"
