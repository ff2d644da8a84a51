// The proxy settings in the registry key HKCU\Software\Norvale\proxy, read
// back with the system's own registry tool: value names and types as the
// settings window and other tools expect them.
#include "net/ProxyStore.h"

#include <QtTest>

namespace
{
const char kKey[] = "HKCU\\Software\\Norvale\\proxy";

// Runs reg.exe; its output, or the empty text when it failed.
QString Reg(const QStringList &slArgs, int *pExitCode = nullptr)
{
    QProcess reg;
    reg.start(QStringLiteral("reg.exe"), slArgs);
    if (!reg.waitForFinished(60000))
        return QString();
    if (pExitCode)
        *pExitCode = reg.exitCode();
    return QString::fromLocal8Bit(reg.readAllStandardOutput());
}

// Name -> "TYPE value" from the lines "    name    REG_TYPE    value" of reg query.
QMap<QString, QString> QueryKey()
{
    QMap<QString, QString> values;
    const QString sOut = Reg({QStringLiteral("query"), QString::fromLatin1(kKey)});
    const QStringList slLines = sOut.split(QRegularExpression(QStringLiteral("[\r\n]+")));
    static const QRegularExpression reLine(QStringLiteral("^\\s+(\\S+)\\s+(REG_\\w+)\\s*(.*)$"));
    for (const QString &sLine : slLines) {
        const QRegularExpressionMatch match = reLine.match(sLine);
        if (match.hasMatch())
            values.insert(match.captured(1), match.captured(2) + ' ' + match.captured(3).trimmed());
    }
    return values;
}
} // namespace

class tst_WinProxyStore : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        Reg({QStringLiteral("delete"), QStringLiteral("HKCU\\Software\\Norvale"),
             QStringLiteral("/f")});
    }
    void cleanupTestCase() { init(); }
    void freshUserGetsDefaults();
    void savedValuesAreInTheKey_data();
    void savedValuesAreInTheKey();
    void switchingOffKeepsTheOtherValues();
    void valueStoredByHandIsRead();
};

void tst_WinProxyStore::freshUserGetsDefaults()
{
    const ProxyStore::Values values = ProxyStore::Read();
    QCOMPARE(values.nUseProxy, 0);
    QCOMPARE(values.proxy.sAddress, QString());
    QCOMPARE(values.proxy.nPort, 8080);
    QCOMPARE(values.proxy.sAccount, QString());
    QCOMPARE(values.proxy.sPassword, QString());
}

void tst_WinProxyStore::savedValuesAreInTheKey_data()
{
    QTest::addColumn<QString>("sPort");
    QTest::addColumn<QString>("sPortValue");
    QTest::addColumn<int>("nPort");
    QTest::newRow("port 3128") << " 3128 "
                               << "REG_DWORD 0xc38" << 3128;
    QTest::newRow("port not a number") << "abc"
                                       << "REG_DWORD 0x0" << 0;
}

void tst_WinProxyStore::savedValuesAreInTheKey()
{
    QFETCH(QString, sPort);
    QFETCH(QString, sPortValue);
    QFETCH(int, nPort);
    ProxyStore::Write(true, QStringLiteral(" proxy.example "), sPort, QStringLiteral(" bob "),
                      QStringLiteral(" s3cret "));
    const QMap<QString, QString> values = QueryKey();
    QCOMPARE(values.value("useproxy"), QStringLiteral("REG_DWORD 0x1"));
    QCOMPARE(values.value("address"), QStringLiteral("REG_SZ proxy.example"));
    QCOMPARE(values.value("port"), sPortValue);
    QCOMPARE(values.value("account"), QStringLiteral("REG_SZ bob"));
    QCOMPARE(values.value("password"), QStringLiteral("REG_SZ s3cret"));

    const ProxyStore::Values read = ProxyStore::Read();
    QCOMPARE(read.nUseProxy, 1);
    QCOMPARE(read.proxy.sAddress, QStringLiteral("proxy.example"));
    QCOMPARE(read.proxy.nPort, nPort);
    QCOMPARE(read.proxy.sAccount, QStringLiteral("bob"));
    QCOMPARE(read.proxy.sPassword, QStringLiteral("s3cret"));
}

void tst_WinProxyStore::switchingOffKeepsTheOtherValues()
{
    ProxyStore::Write(true, QStringLiteral("10.0.0.1"), QStringLiteral("8888"), QString(),
                      QString());
    ProxyStore::Write(false, QStringLiteral("ignored"), QStringLiteral("1"), QString(), QString());
    const QMap<QString, QString> values = QueryKey();
    QCOMPARE(values.value("useproxy"), QStringLiteral("REG_DWORD 0x0"));
    QCOMPARE(values.value("address"), QStringLiteral("REG_SZ 10.0.0.1"));
    QCOMPARE(values.value("port"), QStringLiteral("REG_DWORD 0x22b8"));
    QCOMPARE(ProxyStore::Read().nUseProxy, 0);
}

void tst_WinProxyStore::valueStoredByHandIsRead()
{
    int nExit = -1;
    Reg({QStringLiteral("add"), QString::fromLatin1(kKey), QStringLiteral("/v"),
         QStringLiteral("useproxy"), QStringLiteral("/t"), QStringLiteral("REG_DWORD"),
         QStringLiteral("/d"), QStringLiteral("2"), QStringLiteral("/f")},
        &nExit);
    QCOMPARE(nExit, 0);
    Reg({QStringLiteral("add"), QString::fromLatin1(kKey), QStringLiteral("/v"),
         QStringLiteral("address"), QStringLiteral("/t"), QStringLiteral("REG_SZ"),
         QStringLiteral("/d"), QStringLiteral("proxy.lan"), QStringLiteral("/f")},
        &nExit);
    QCOMPARE(nExit, 0);
    const ProxyStore::Values read = ProxyStore::Read();
    QCOMPARE(read.nUseProxy, 2);
    QCOMPARE(read.proxy.sAddress, QStringLiteral("proxy.lan"));
    QCOMPARE(read.proxy.nPort, 8080);
}

QTEST_GUILESS_MAIN(tst_WinProxyStore)
#include "tst_WinProxyStore.moc"
