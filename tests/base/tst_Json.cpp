#include "base/Json.h"

#include <QtTest>

// ok tells whether the text is JSON at all; the result is empty when the top
// level is of the other kind.
class tst_Json : public QObject
{
    Q_OBJECT
private slots:
    void parseJson_data();
    void parseJson();
};

void tst_Json::parseJson_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("arraySize");
    QTest::addColumn<int>("objectSize");
    QTest::newRow("array") << QByteArray("[1,{\"a\":2},\"x\"]") << true << 3 << 0;
    QTest::newRow("object") << QByteArray("{\"a\":1,\"b\":2}") << true << 0 << 2;
    QTest::newRow("empty array") << QByteArray("[]") << true << 0 << 0;
    QTest::newRow("broken") << QByteArray("[1,") << false << 0 << 0;
    QTest::newRow("empty text") << QByteArray() << false << 0 << 0;
    QTest::newRow("trailing garbage") << QByteArray("[1] x") << false << 0 << 0;
}

void tst_Json::parseJson()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(int, arraySize);
    QFETCH(int, objectSize);
    bool bOk = !ok;
    QCOMPARE(ParseJsonArray(json, &bOk).size(), arraySize);
    QCOMPARE(bOk, ok);
    bOk = !ok;
    QCOMPARE(ParseJsonObject(json, &bOk).size(), objectSize);
    QCOMPARE(bOk, ok);
    QCOMPARE(ParseJsonArray(json).size(), arraySize);
}

QTEST_GUILESS_MAIN(tst_Json)
#include "tst_Json.moc"
