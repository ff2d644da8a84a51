// Transfers through a real HTTP proxy: tinyproxy with basic authentication on
// 127.0.2.21, in front of the stand-in server on 127.0.2.20.

#include "TestWidgets.h"
#include "UpdateServerProcess.h"
#include "accounts/PasswordDigest.h"
#include "accounts/UserManage.h"
#include "net/HttpPost.h"
#include "net/ProxyInfo.h"
#include "net/ServerProtocol.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpSocket>
#include <QtTest>

class tst_ProxyTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void commandGoesThroughProxy();
    void badCredentialsFail_data();
    void badCredentialsFail();
    void loginWindowReportsRefusedProxy();
    void noProxyMeansDirect();

private:
    QString ProxyLog() const;
    QJsonObject Login();

    UpdateServerProcess m_server{QStringLiteral("127.0.2.20")};
    QTemporaryDir m_dir;
    QProcess m_proxy;
    const QString m_sProxyAddress = QStringLiteral("127.0.2.21");
    const int m_nProxyPort = 19330;
};

void tst_ProxyTransfer::initTestCase()
{
    curl_global_init(CURL_GLOBAL_ALL);
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    {
        QTcpSocket probe;
        probe.connectToHost(m_sProxyAddress, static_cast<quint16>(m_nProxyPort));
        QVERIFY2(
            !probe.waitForConnected(300),
            "something (a proxy left from an earlier run?) already listens on 127.0.2.21:19330");
    }
    m_server.AddAccount(QStringLiteral("alice"), QStringLiteral("secret123"));
    QVERIFY2(m_server.Start(), qPrintable(m_server.Output()));
    SetServerAddress(m_server.Address());

    // tinyproxy may drop to another user: its folder must be open to it.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther);
    QFile config(m_dir.filePath(QStringLiteral("tinyproxy.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("Port %1\nListen %2\nTimeout 30\nLogFile \"%3\"\nLogLevel Info\n"
                                "MaxClients 8\nBasicAuth proxyuser proxypass\n")
                     .arg(m_nProxyPort)
                     .arg(m_sProxyAddress, m_dir.filePath(QStringLiteral("tinyproxy.log")))
                     .toUtf8());
    config.close();
    m_proxy.setProcessChannelMode(QProcess::MergedChannels);
    m_proxy.start(QStringLiteral("tinyproxy"),
                  {QStringLiteral("-d"), QStringLiteral("-c"), config.fileName()});
    QVERIFY2(m_proxy.waitForStarted(), "tinyproxy is not installed");
    QTRY_VERIFY_WITH_TIMEOUT(
        [this] {
            QTcpSocket socket;
            socket.connectToHost(m_sProxyAddress, static_cast<quint16>(m_nProxyPort));
            return socket.waitForConnected(200);
        }(),
        10000);
}

void tst_ProxyTransfer::cleanupTestCase()
{
    m_proxy.terminate();
    if (!m_proxy.waitForFinished(5000))
        m_proxy.kill();
    m_proxy.waitForFinished();
}

void tst_ProxyTransfer::init()
{
    QVERIFY(m_server.ClearRequests());
}

void tst_ProxyTransfer::cleanup()
{
    SetActiveProxy(nullptr);
    qunsetenv("http_proxy");
    TestWidgets::DeleteTopLevelsOf<QMessageBox, UserManage>();
}

QString tst_ProxyTransfer::ProxyLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("tinyproxy.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(log.readAll());
}

void tst_ProxyTransfer::commandGoesThroughProxy()
{
    SetActiveProxy(std::make_shared<const ProxyInfo>(ProxyInfo{
        m_sProxyAddress, m_nProxyPort, QStringLiteral("proxyuser"), QStringLiteral("proxypass")}));
    const CommandReply reply = SendCompressedCommand(
        LoginUrl(), CommandLogin,
        {{"username", "alice"}, {"password", PasswordDigest(QStringLiteral("secret123"))}});
    QVERIFY(reply.IsSuccess());
    QVERIFY2(ProxyLog().contains(QStringLiteral("POST http://127.0.2.20:19321/universalex.kxa")),
             qPrintable(ProxyLog()));
    const QJsonArray jaLogins = m_server.Requests(QStringLiteral("login"));
    QCOMPARE(jaLogins.size(), 1);
    QVERIFY(jaLogins.at(0).toObject().value(QStringLiteral("via_proxy")).toBool());
}

void tst_ProxyTransfer::badCredentialsFail_data()
{
    QTest::addColumn<QString>("sAccount");
    QTest::addColumn<QString>("sPassword");
    QTest::newRow("wrong password") << "proxyuser"
                                    << "wrong";
    QTest::newRow("no credentials") << ""
                                    << "";
}

void tst_ProxyTransfer::badCredentialsFail()
{
    QFETCH(QString, sAccount);
    QFETCH(QString, sPassword);
    SetActiveProxy(std::make_shared<const ProxyInfo>(
        ProxyInfo{m_sProxyAddress, m_nProxyPort, sAccount, sPassword}));
    const CommandReply reply = SendCompressedCommand(LoginUrl(), CommandLogin, {});
    QVERIFY(!reply.IsHttpOk());
    QVERIFY(reply.nStatus == 401 || reply.nStatus == 407);
    QCOMPARE(m_server.Requests().size(), 0);
}

void tst_ProxyTransfer::loginWindowReportsRefusedProxy()
{
    SetActiveProxy(std::make_shared<const ProxyInfo>(ProxyInfo{
        m_sProxyAddress, m_nProxyPort, QStringLiteral("proxyuser"), QStringLiteral("x")}));
    auto *pWindow = new UserManage;
    pWindow->show();
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), QStringLiteral("alice"));
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPassword"), QStringLiteral("secret123"));
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    QMessageBox *pBox = nullptr;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (auto *pCandidate = qobject_cast<QMessageBox *>(pWidget))
            pBox = pCandidate;
    }
    QVERIFY(pBox != nullptr);
    QCOMPARE(pBox->text(), QStringLiteral("网络可能不通,请捡查网络是否正常。"));
    QCOMPARE(m_server.Requests().size(), 0);
}

void tst_ProxyTransfer::noProxyMeansDirect()
{
    // Even a proxy named by the environment is not used.
    qputenv("http_proxy",
            QStringLiteral("http://%1:%2").arg(m_sProxyAddress).arg(m_nProxyPort).toLatin1());
    const int nLogSize = ProxyLog().size();
    int nStatus = 0;
    HttpPost(LoginUrl(), CompressBody(CompressedEnvelope(CommandLogin, {})), nullptr, nStatus);
    QCOMPARE(nStatus, 200);
    const QJsonArray jaLogins = m_server.Requests(QStringLiteral("login"));
    QCOMPARE(jaLogins.size(), 1);
    QVERIFY(!jaLogins.at(0).toObject().value(QStringLiteral("via_proxy")).toBool());
    QCOMPARE(ProxyLog().size(), nLogSize);
}

QTEST_MAIN(tst_ProxyTransfer)
#include "tst_ProxyTransfer.moc"
