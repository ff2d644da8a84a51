// What the debug output shows of the server's JSON: everything but the secrets.

#include "net/SecretMask.h"

#include <QtTest>

class tst_SecretMask : public QObject
{
    Q_OBJECT
private slots:
    void masks_data();
    void masks();
};

void tst_SecretMask::masks_data()
{
    QTest::addColumn<QByteArray>("baIn");
    QTest::addColumn<QByteArray>("baOut");
    QTest::newRow("login reply")
        << QByteArray(R"({"code":"000000","username":"demo","token":"5f0c9a","realname":""})")
        << QByteArray(R"({"code":"000000","username":"demo","token":"***","realname":""})");
    QTest::newRow("digest, indented")
        << QByteArray("{\n    \"password\": \"E10ADC3949BA59ABBE56E057F20F883E\",\n    "
                      "\"auto\": true\n}")
        << QByteArray("{\n    \"password\": \"***\",\n    \"auto\": true\n}");
    QTest::newRow("names in any case and nested")
        << QByteArray(R"({"data":{"ProxyPassword":"p\"w","SessionId":"s1","x":["token"]}})")
        << QByteArray(R"({"data":{"ProxyPassword":"***","SessionId":"***","x":["token"]}})");
    QTest::newRow("empty and null values stay")
        << QByteArray(R"({"pwd":"","token":null,"devid":"0A0B"})")
        << QByteArray(R"({"pwd":"","token":null,"devid":"0A0B"})");
    QTest::newRow("number") << QByteArray(R"({"token":12345,"n":1})")
                            << QByteArray(R"({"token":***,"n":1})");
    QTest::newRow("cut off") << QByteArray(R"({"code":"0","token":"abcd)")
                             << QByteArray(R"({"code":"0","token":"***)");
    QTest::newRow("object value: its members decide")
        << QByteArray(R"({"session":{"id":"1","token":"t"}})")
        << QByteArray(R"({"session":{"id":"1","token":"***"}})");
    QTest::newRow("a value that names a secret is no name")
        << QByteArray(R"({"msg":"password","code":"10002"})")
        << QByteArray(R"({"msg":"password","code":"10002"})");
    QTest::newRow("not JSON") << QByteArray("\x01\x02password\xff")
                              << QByteArray("\x01\x02password\xff");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void tst_SecretMask::masks()
{
    QFETCH(QByteArray, baIn);
    QFETCH(QByteArray, baOut);
    QCOMPARE(MaskSecrets(baIn), baOut);
}

QTEST_GUILESS_MAIN(tst_SecretMask)
#include "tst_SecretMask.moc"
