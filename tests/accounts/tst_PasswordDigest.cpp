// The password digest: MD5 of the trimmed password in the code page of the
// Windows client (GBK on a Chinese Windows), upper-case hexadecimal. The
// digests below are those that existing accounts carry.

#include "accounts/PasswordDigest.h"

#include <QtTest>

class tst_PasswordDigest : public QObject
{
    Q_OBJECT

private slots:
    void digest_data();
    void digest();
};

void tst_PasswordDigest::digest_data()
{
    QTest::addColumn<QString>("sPassword");
    QTest::addColumn<QString>("sDigest");
    QTest::newRow("ascii") << "secret123"
                           << "5D7845AC6EE7CFFFAFC5FE5F35CF666D";
    QTest::newRow("empty") << ""
                           << "D41D8CD98F00B204E9800998ECF8427E";
    QTest::newRow("simplified Chinese")
        << QStringLiteral("密码abcd1234") << "BA56B9D955F9FFFDA9365270FFAAF459";
    QTest::newRow("trimmed") << QStringLiteral(" \t密码abcd1234 \n")
                             << "BA56B9D955F9FFFDA9365270FFAAF459";
    QTest::newRow("traditional Chinese")
        << QStringLiteral("密碼Ab") << "A2437D3032A4A5A91D9F62D5FFEC0E07";
}

void tst_PasswordDigest::digest()
{
    QFETCH(QString, sPassword);
    QFETCH(QString, sDigest);
    QCOMPARE(PasswordDigest(sPassword), sDigest);
}

QTEST_GUILESS_MAIN(tst_PasswordDigest)
#include "tst_PasswordDigest.moc"
