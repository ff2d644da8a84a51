// HttpPost against the stand-in server on 127.0.2.10 (and a listener that
// never accepts on 127.0.2.11).

#include "UpdateServerProcess.h"
#include "net/HttpPost.h"
#include "net/ServerProtocol.h"

#include <QJsonDocument>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class tst_HttpPost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void receiveErrorsAreTriedElevenTimes();
    void receiveErrorThenAnswer();
    void errorStatusBodyIsReturned();
    void loginCookieGoesWithNextCommand();
    void forgottenCookiesStayBehind();
    void concurrentTransfersShareCookies();
    void urlIsPercentEncoded_data();
    void urlIsPercentEncoded();
    void refusedConnectionFails();
    void connectTimeOut();
    void silentServerIsAbandoned_data();
    void silentServerIsAbandoned();
    void steadyReplyOutlastsTheBaseLimit_data();
    void steadyReplyOutlastsTheBaseLimit();
    void onlyHttpIsSpoken_data();
    void onlyHttpIsSpoken();
    void compressionBombIsRefused();

private:
    QByteArray LoginBody(const QString &sUser, const QString &sPassword) const;
    // alice's login, whose session cookie the shared store keeps.
    static CommandReply SignIn();

    UpdateServerProcess m_server{QStringLiteral("127.0.2.10")};
};

namespace
{
// Owns a socket file descriptor.
struct Socket {
    int fd = -1;
    explicit Socket(int nFd) : fd(nFd) {}
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
};

sockaddr_in LoopbackAddress(const char *pAddress, quint16 nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(QHostAddress(QLatin1String(pAddress)).toIPv4Address());
    return address;
}
} // namespace

void tst_HttpPost::initTestCase()
{
    curl_global_init(CURL_GLOBAL_ALL);
    m_server.AddAccount(QStringLiteral("alice"), QStringLiteral("secret123"));
    QVERIFY2(m_server.Start(), qPrintable(m_server.Output()));
    SetServerAddress(m_server.Address());
}

void tst_HttpPost::init()
{
    QVERIFY(m_server.ClearFaults());
    QVERIFY(m_server.ClearRequests());
}

void tst_HttpPost::cleanup()
{
    SetTransferTimeouts(TransferTimeouts());
}

QByteArray tst_HttpPost::LoginBody(const QString &sUser, const QString &sPassword) const
{
    QJsonObject joData;
    joData.insert(QStringLiteral("username"), sUser);
    joData.insert(QStringLiteral("password"), sPassword);
    return CompressBody(CompressedEnvelope(CommandLogin, joData));
}

void tst_HttpPost::receiveErrorsAreTriedElevenTimes()
{
    QVERIFY(m_server.SetFault({{"on", "login"}, {"reset", true}}));
    int nStatus = -1;
    const QByteArray baReply = HttpPost(LoginUrl(), LoginBody("alice", "x"), nullptr, nStatus);
    QVERIFY(baReply.isEmpty());
    QCOMPARE(m_server.Requests(QStringLiteral("login")).size(), 11);
    // The status is that of the last attempt, whose headers had arrived.
    QCOMPARE(nStatus, 200);
}

void tst_HttpPost::receiveErrorThenAnswer()
{
    QVERIFY(m_server.SetFault({{"on", "login"}, {"reset", true}, {"times", 2}}));
    int nStatus = 0;
    const QByteArray baReply = HttpPost(LoginUrl(), LoginBody("alice", "x"), nullptr, nStatus);
    QCOMPARE(nStatus, 200);
    QCOMPARE(m_server.Requests(QStringLiteral("login")).size(), 3);
    // Only the answer of the last attempt, nothing of the broken ones.
    const QJsonObject joReply = QJsonDocument::fromJson(DecompressBody(baReply)).object();
    QCOMPARE(joReply.value(QStringLiteral("code")).toString(), QStringLiteral("10002"));
}

void tst_HttpPost::errorStatusBodyIsReturned()
{
    QVERIFY(m_server.SetFault({{"status", 500}}));
    int nStatus = 0;
    const QByteArray baReply = HttpPost(LoginUrl(), LoginBody("alice", "x"), nullptr, nStatus);
    QCOMPARE(nStatus, 500);
    QCOMPARE(baReply, QByteArray("update-server: status 500\n"));
    QCOMPARE(m_server.Requests().size(), 1);
}

CommandReply tst_HttpPost::SignIn()
{
    QJsonObject joLogin;
    joLogin.insert(QStringLiteral("username"), QStringLiteral("alice"));
    joLogin.insert(
        QStringLiteral("password"),
        QString::fromLatin1(
            QCryptographicHash::hash("secret123", QCryptographicHash::Md5).toHex().toUpper()));
    return SendCompressedCommand(LoginUrl(), CommandLogin, joLogin);
}

void tst_HttpPost::loginCookieGoesWithNextCommand()
{
    const CommandReply login = SignIn();
    QVERIFY(login.IsSuccess());

    QJsonObject joCatalogue;
    joCatalogue.insert(QStringLiteral("devtype"), QStringLiteral("kx520"));
    const CommandReply catalogue = SendSealedCommand(CommandCatalogue, joCatalogue);
    QVERIFY(catalogue.IsSuccess());

    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaRequests.size(), 1);
    const QJsonObject joRequest = jaRequests.at(0).toObject();
    QVERIFY(joRequest.value(QStringLiteral("cookie"))
                .toString()
                .contains(QStringLiteral("UASESSION=") +
                          login.joReply.value(QStringLiteral("token")).toString()));
    QCOMPARE(joRequest.value(QStringLiteral("session")).toString(), QStringLiteral("alice"));
}

void tst_HttpPost::forgottenCookiesStayBehind()
{
    QVERIFY(SignIn().IsSuccess());
    ForgetSharedCookies();
    QVERIFY(SendSealedCommand(CommandCatalogue, QJsonObject()).IsSuccess());

    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaRequests.size(), 1);
    const QJsonObject joRequest = jaRequests.at(0).toObject();
    QCOMPARE(joRequest.value(QStringLiteral("cookie")).toString(), QString());
    QCOMPARE(joRequest.value(QStringLiteral("session")).toString(), QString());
}

void tst_HttpPost::concurrentTransfersShareCookies()
{
    // Many threads at once on the one shared store (its locks keep it whole);
    // every request carries the session cookie set by the first login.
    QVERIFY(SignIn().IsSuccess());
    QVERIFY(m_server.ClearRequests());

    const int nThreads = 8;
    const int nEach = 6;
    std::atomic<int> nGood{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < nThreads; ++t) {
        threads.emplace_back([&nGood] {
            for (int i = 0; i < nEach; ++i) {
                if (SendSealedCommand(CommandCatalogue, QJsonObject()).IsSuccess())
                    ++nGood;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(nGood.load(), nThreads * nEach);
    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaRequests.size(), nThreads * nEach);
    for (const QJsonValue &jvRequest : jaRequests)
        QCOMPARE(jvRequest.toObject().value(QStringLiteral("session")).toString(),
                 QStringLiteral("alice"));
}

void tst_HttpPost::urlIsPercentEncoded_data()
{
    QTest::addColumn<QString>("sQuery");
    QTest::addColumn<QString>("sSent");
    QTest::newRow("space") << QStringLiteral("a b") << QStringLiteral("a%20b");
    QTest::newRow("non-ASCII") << QStringLiteral("设备") << QStringLiteral("%E8%AE%BE%E5%A4%87");
    QTest::newRow("already encoded") << QStringLiteral("a%20b") << QStringLiteral("a%20b");
}

void tst_HttpPost::urlIsPercentEncoded()
{
    QFETCH(QString, sQuery);
    QFETCH(QString, sSent);
    int nStatus = 0;
    HttpPost(CatalogueUrl() + QStringLiteral("?q=") + sQuery, "x", nullptr, nStatus);
    QCOMPARE(nStatus, 400); // not an envelope, but it arrived
    const QJsonArray jaRequests = m_server.Requests();
    QCOMPARE(jaRequests.size(), 1);
    QCOMPARE(jaRequests.at(0).toObject().value(QStringLiteral("target")).toString(),
             QStringLiteral("/universal.kxa?q=") + sSent);
}

void tst_HttpPost::refusedConnectionFails()
{
    int nStatus = -1;
    const QByteArray baReply =
        HttpPost(QStringLiteral("http://127.0.2.11:19329/universal.kxa"), "x", nullptr, nStatus);
    QVERIFY(baReply.isEmpty());
    QCOMPARE(nStatus, 0);
}

void tst_HttpPost::connectTimeOut()
{
    // A listener whose accept queue is full drops further connection
    // attempts, so a connect never completes.
    const quint16 nPort = 19328;
    Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
    QVERIFY(listener.fd >= 0);
    const int nOne = 1;
    ::setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof(nOne));
    sockaddr_in address = LoopbackAddress("127.0.2.11", nPort);
    QVERIFY(::bind(listener.fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0);
    QVERIFY(::listen(listener.fd, 0) == 0);
    std::vector<std::unique_ptr<Socket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(
            std::make_unique<Socket>(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)));
        ::connect(fillers.back()->fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    }
    // Once the first filler is connected, the queue is full.
    pollfd first{fillers.front()->fd, POLLOUT, 0};
    QCOMPARE(::poll(&first, 1, 10000), 1);

    TransferTimeouts timeouts;
    timeouts.nConnectMs = 700;
    SetTransferTimeouts(timeouts);
    QElapsedTimer timer;
    timer.start();
    int nStatus = -1;
    const QByteArray baReply = HttpPost(
        QStringLiteral("http://127.0.2.11:%1/universalex.kxa").arg(nPort), "x", nullptr, nStatus);
    QVERIFY(baReply.isEmpty());
    QCOMPARE(nStatus, 0);
    // It gave up on its own, long before the test's time limit.
    QVERIFY(timer.elapsed() < 60000);
}

void tst_HttpPost::silentServerIsAbandoned_data()
{
    QTest::addColumn<QJsonObject>("joFault");
    QTest::newRow("accepts and never answers") << QJsonObject{{"delay", 60000}};
    QTest::newRow("answers slower than 1 byte/s") << QJsonObject{{"trickle", 2500}};
    // Fast enough for the low-speed test, far too slow to finish: the command's
    // own time limit (120 s in the program, 4 s here) ends it.
    QTest::newRow("answers a few bytes a second") << QJsonObject{{"trickle", 300}};
    QTest::newRow("cut off again and again") << QJsonObject{{"reset", true}, {"delay", 1000}};
}

void tst_HttpPost::silentServerIsAbandoned()
{
    QFETCH(QJsonObject, joFault);
    QVERIFY(m_server.SetFault(joFault));
    TransferTimeouts timeouts;
    timeouts.nLowSpeedSeconds = 2;
    timeouts.nCommandMs = 4000;
    SetTransferTimeouts(timeouts);
    int nStatus = -1;
    const QByteArray baReply = HttpPost(LoginUrl(), LoginBody("alice", "x"), nullptr, nStatus);
    QVERIFY(baReply.isEmpty());
    // Retries of receive errors stay within the limit too.
    QVERIFY(m_server.Requests().size() >= 1);
    QVERIFY2(m_server.Requests().size() <= 5,
             qPrintable(QString::number(m_server.Requests().size())));
}

void tst_HttpPost::steadyReplyOutlastsTheBaseLimit_data()
{
    // A successful login's reply (about a hundred bytes) one byte at a time. The limits are
    // the program's scaled down: 1 s before the first byte, and 40 ms more for
    // every byte that came, so a reply must average 25 bytes a second.
    QTest::addColumn<int>("nMsPerByte");
    QTest::addColumn<bool>("bWhole");
    QTest::newRow("50 bytes a second: slow, but honest") << 20 << true;
    QTest::newRow("10 bytes a second: never silent, never done") << 100 << false;
}

void tst_HttpPost::steadyReplyOutlastsTheBaseLimit()
{
    QFETCH(int, nMsPerByte);
    QFETCH(bool, bWhole);
    QVERIFY(m_server.SetFault({{"on", "login"}, {"trickle", nMsPerByte}}));
    TransferTimeouts timeouts;
    timeouts.nLowSpeedSeconds = 1;
    timeouts.nCommandMs = 1000;
    timeouts.nCommandMsPerKiB = 40 * 1024;
    SetTransferTimeouts(timeouts);
    int nStatus = -1;
    const QString sDigest = QString::fromLatin1(
        QCryptographicHash::hash("secret123", QCryptographicHash::Md5).toHex().toUpper());
    const QByteArray baReply = HttpPost(LoginUrl(), LoginBody("alice", sDigest), nullptr, nStatus);
    QCOMPARE(m_server.Requests(QStringLiteral("login")).size(), 1);
    if (!bWhole) {
        QVERIFY(baReply.isEmpty());
        return;
    }
    QCOMPARE(nStatus, 200);
    // Long enough to outlast the 1 s a reply gets before its first byte.
    QVERIFY2(baReply.size() > 70, qPrintable(QString::number(baReply.size())));
    const QJsonObject joReply = QJsonDocument::fromJson(DecompressBody(baReply)).object();
    QCOMPARE(joReply.value(QStringLiteral("code")).toString(), QStringLiteral("000000"));
}

void tst_HttpPost::onlyHttpIsSpoken_data()
{
    QTest::addColumn<QString>("sScheme");
    QTest::newRow("gopher") << "gopher";
    QTest::newRow("dict") << "dict";
    QTest::newRow("telnet") << "telnet";
    QTest::newRow("smtp") << "smtp";
}

void tst_HttpPost::onlyHttpIsSpoken()
{
    // No URL makes libcurl talk another protocol to a local service.
    QFETCH(QString, sScheme);
    const quint16 nPort = 19327;
    Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
    QVERIFY(listener.fd >= 0);
    const int nOne = 1;
    ::setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof(nOne));
    sockaddr_in address = LoopbackAddress("127.0.2.12", nPort);
    QVERIFY(::bind(listener.fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0);
    QVERIFY(::listen(listener.fd, 4) == 0);
    TransferTimeouts timeouts;
    timeouts.nLowSpeedSeconds = 2;
    timeouts.nCommandMs = 4000;
    SetTransferTimeouts(timeouts);
    int nStatus = -1;
    const QByteArray baReply =
        HttpPost(QStringLiteral("%1://127.0.2.12:%2/_FLUSHALL").arg(sScheme).arg(nPort),
                 "x\r\nQUIT\r\n", nullptr, nStatus);
    QVERIFY(baReply.isEmpty());
    QCOMPARE(nStatus, 0);
    // Nothing connected.
    const int nFlags = ::fcntl(listener.fd, F_GETFL);
    ::fcntl(listener.fd, F_SETFL, nFlags | O_NONBLOCK);
    const int nAccepted = ::accept(listener.fd, nullptr, nullptr);
    if (nAccepted >= 0)
        ::close(nAccepted);
    QVERIFY(nAccepted < 0);
}

void tst_HttpPost::compressionBombIsRefused()
{
    // A login reply of about half a megabyte that unpacks to 512 MiB more than
    // it claims: refused without the memory ever being taken.
    QVERIFY(m_server.SetFault({{"on", "login"}, {"bomb", 512}}));
    rusage before = {};
    ::getrusage(RUSAGE_SELF, &before);
    const CommandReply reply = SendCompressedCommand(LoginUrl(), CommandLogin, QJsonObject());
    rusage after = {};
    ::getrusage(RUSAGE_SELF, &after);
    QCOMPARE(reply.nStatus, 200);
    QVERIFY(!reply.bParsed);
    QVERIFY(reply.baPlain.isEmpty());
    const long nGrownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' allocators keep freed blocks (AddressSanitizer's
    // quarantine), so the growing buffer's earlier sizes stay counted; still
    // far below the bomb.
    const long nLimitMiB = 400;
#else
    const long nLimitMiB = 100;
#endif
    QVERIFY2(nGrownMiB < nLimitMiB, qPrintable(QStringLiteral("%1 MiB").arg(nGrownMiB)));
}

QTEST_GUILESS_MAIN(tst_HttpPost)
#include "tst_HttpPost.moc"
