#include "dataviewer/ReportData.h"

#include <QtTest>

Q_DECLARE_METATYPE(DtcRow)

namespace
{

QJsonObject Code(const QString &sId)
{
    return QJsonObject{{"DID", sId}, {"STAT", "st " + sId}, {"DDE", "de " + sId}};
}

ReportRecord Record(const QJsonArray &jaItems)
{
    ReportRecord record;
    record.bHasHeader = true;
    record.joHeader = QJsonObject{{"VehicleName", "Golf"}};
    record.bHasContent = true;
    record.sTitle = "Engine";
    record.jaItems = jaItems;
    return record;
}

} // namespace

class tst_ReportData : public QObject
{
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void versionText_data();
    void versionText();
    void scanFlatList();
    void scanWithoutCodesMemberHasNoFlatList();
    void unreadRecordKeepsHeaderAndTitle();
};

void tst_ReportData::values_data()
{
    QTest::addColumn<QJsonArray>("jaItems");
    QTest::addColumn<int>("nRecNo");
    QTest::addColumn<QString>("sName");
    QTest::addColumn<QString>("sValue");

    const QJsonArray jaCodes{Code("P0301"), Code("P0420")};
    const QJsonArray jaFrame{QJsonObject{{"LB", "Speed"}, {"VA", "56"}, {"UNT", "km/h"}},
                             QJsonObject{{"LB", "Load"}, {"VA", 41}}};
    QTest::newRow("title") << jaCodes << 0 << "ReportTitle"
                           << "车辆诊断报告";
    QTest::newRow("car info") << jaCodes << 0 << "CarInfo"
                              << "车辆信息";
    QTest::newRow("header name") << jaCodes << 0 << "HeaderName"
                                 << "名称";
    QTest::newRow("header value") << jaCodes << 0 << "HeaderValue"
                                  << "数值";
    QTest::newRow("header unit") << jaCodes << 0 << "HeaderUnit"
                                 << "单位";
    QTest::newRow("header code") << jaCodes << 0 << "HeaderErrCode"
                                 << "故障码";
    QTest::newRow("header state") << jaCodes << 0 << "HeaderState"
                                  << "状态";
    QTest::newRow("header description") << jaCodes << 0 << "HeaderDescription"
                                        << "描述";
    QTest::newRow("vehicle") << jaCodes << 5 << "VehicleName"
                             << "Golf";
    QTest::newRow("record title") << jaCodes << 5 << "TT"
                                  << "Engine";
    QTest::newRow("code") << jaCodes << 1 << "DID"
                          << "P0420";
    QTest::newRow("status") << jaCodes << 0 << "STAT"
                            << "st P0301";
    QTest::newRow("description") << jaCodes << 1 << "DDE"
                                 << "de P0420";
    QTest::newRow("code out of range") << jaCodes << 2 << "DID"
                                       << "DID";
    QTest::newRow("negative row") << jaCodes << -1 << "DDE"
                                  << "DDE";
    QTest::newRow("name") << jaFrame << 0 << "LB"
                          << "Speed";
    QTest::newRow("value") << jaFrame << 0 << "VA"
                           << "56";
    QTest::newRow("unit") << jaFrame << 0 << "UNT"
                          << "km/h";
    QTest::newRow("missing member") << jaFrame << 1 << "UNT"
                                    << "";
    QTest::newRow("value out of range") << jaFrame << 2 << "VA"
                                        << "VA";
    QTest::newRow("scan member without flat list") << jaFrame << 0 << "MYDID"
                                                   << "MYDID";
    QTest::newRow("unknown") << jaFrame << 0 << "Mileage"
                             << "Mileage";
}

void tst_ReportData::values()
{
    QFETCH(QJsonArray, jaItems);
    QFETCH(int, nRecNo);
    QFETCH(QString, sName);
    QFETCH(QString, sValue);
    ReportData data;
    data.Apply(Record(jaItems));
    QCOMPARE(data.Value(nRecNo, sName), sValue);
    QCOMPARE(data.RecordCount(), jaItems.size());
}

void tst_ReportData::versionText_data()
{
    QTest::addColumn<QJsonArray>("jaValues");
    QTest::addColumn<QString>("sText");
    QTest::newRow("one with trailing blank") << QJsonArray{"03C906056DP "} << "03C906056DP ";
    QTest::newRow("two, first with leading blank") << QJsonArray{" 5161", "H08"} << "[5161][H08]";
    QTest::newRow("three") << QJsonArray{"a", " b ", "c"} << "[a][b][c]";
    QTest::newRow("none") << QJsonArray{} << "";
}

void tst_ReportData::versionText()
{
    QFETCH(QJsonArray, jaValues);
    QFETCH(QString, sText);
    QCOMPARE(ReportData::VersionText(jaValues), sText);
    ReportData data;
    data.Apply(Record({QJsonObject{{"LB", "Software"}, {"VA", jaValues}}}));
    QCOMPARE(data.Value(0, "VAarray"), sText);
    QCOMPARE(data.Value(1, "VAarray"), QString("VAarray"));
}

void tst_ReportData::scanFlatList()
{
    const QJsonArray jaItems{
        QJsonObject{{"LB", "Engine"}, {"VA", "none"}, {"IES", QJsonArray{Code("P1"), Code("P2")}}},
        QJsonObject{{"LB", "ABS"}, {"VA", "No fault code"}, {"IES", QJsonArray{}}},
    };
    ReportData data;
    data.Apply(Record(jaItems));
    const QList<DtcRow> lstExpected{
        {"Engine", "", "2"},      {"ABS", "", "No fault code"}, {}, {"Engine", "", "2"},
        {"P1", "st P1", "de P1"}, {"P2", "st P2", "de P2"},     {}, {"ABS", "", "No fault code"},
    };
    QCOMPARE(data.Flat(), lstExpected);
    QCOMPARE(data.RecordCount(), 8);
    QCOMPARE(data.Value(4, "MYDID"), QString("P1"));
    QCOMPARE(data.Value(4, "MYSTAT"), QString("st P1"));
    QCOMPARE(data.Value(4, "MYDDE"), QString("de P1"));
    QCOMPARE(data.Value(2, "MYDID"), QString());
    QCOMPARE(data.Value(8, "MYDID"), QString("MYDID"));
}

void tst_ReportData::scanWithoutCodesMemberHasNoFlatList()
{
    ReportData data;
    data.Apply(Record({QJsonObject{{"LB", "Engine"}},
                       QJsonObject{{"LB", "ABS"}, {"IES", QJsonArray{Code("P1")}}}}));
    QVERIFY(data.Flat().isEmpty());
    QCOMPARE(data.RecordCount(), 2);
    QCOMPARE(data.Value(0, "MYDID"), QString("MYDID"));
}

void tst_ReportData::unreadRecordKeepsHeaderAndTitle()
{
    ReportData data;
    data.Apply(Record({Code("P1")}));
    ReportRecord headerOnly;
    headerOnly.bHasHeader = true;
    headerOnly.joHeader = QJsonObject{{"VehicleName", "Polo"}};
    data.Apply(headerOnly);
    QCOMPARE(data.Value(0, "VehicleName"), QString("Polo"));
    QCOMPARE(data.Value(0, "TT"), QString("Engine"));
    QCOMPARE(data.RecordCount(), 0);

    data.ClearItems();
    data.Apply(ReportRecord());
    QCOMPARE(data.Value(0, "VehicleName"), QString("Polo"));
}

QTEST_GUILESS_MAIN(tst_ReportData)
#include "tst_ReportData.moc"
