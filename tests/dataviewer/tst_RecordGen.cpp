// The sample records the demo and the report pictures are made from.
#include "dataviewer/DataCategory.h"
#include "dataviewer/RecordFile.h"

#include <QDir>
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

QTEST_GUILESS_MAIN(tst_RecordGen)
#include "tst_RecordGen.moc"
