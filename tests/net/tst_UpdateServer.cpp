// The stand-in update server (tools/update-server) on 127.0.2.60, as the
// update manager and the demo use it: catalogue, download lists, package files,
// registrations, and connection reuse through the shared libcurl store.

#include "UpdateServerProcess.h"
#include "base/FileUtils.h"
#include "net/HttpPost.h"
#include "net/ServerProtocol.h"
#include "update/DiffDownload.h"

#include <QtTest>

class tst_UpdateServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void catalogueByDeviceType_data();
    void catalogueByDeviceType();
    void downloadListManifests();
    void downloadListByTypeAndBranch_data();
    void downloadListByTypeAndBranch();
    void filesAreServed_data();
    void filesAreServed();
    void changedFileGetsNewDigest();
    void reusedHandleKeepsConnection();
    void commandsNeverReuseConnections();
    void registrationsArePersisted();
    void wrongEndpointAndUnknownCommand();
    void faultsWearOff();
    void badFaultIsRefused();
    void unknownModeIsRefused();

private:
    void WriteFile(const QString &sPath, const QByteArray &baContent);
    QByteArray Get(const QString &sUrl, long *pStatus, CURL *pShared = nullptr);

    QTemporaryDir m_dir;
    QString m_sPackages;
    UpdateServerProcess m_server{QStringLiteral("127.0.2.60")};
};

void tst_UpdateServer::WriteFile(const QString &sPath, const QByteArray &baContent)
{
    QVERIFY(QDir().mkpath(QFileInfo(sPath).absolutePath()));
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baContent);
}

void tst_UpdateServer::initTestCase()
{
    curl_global_init(CURL_GLOBAL_ALL);
    QVERIFY(m_dir.isValid());
    m_sPackages = m_dir.filePath(QStringLiteral("packages"));
    WriteFile(m_sPackages + "/10-home/package.json",
              R"({"dir":"Home","rev":"V1.3","mandatory":true,"branch":"ignored",
                  "CN_name":"主程序","EN_name":"main","lang_name":"main"})");
    WriteFile(m_sPackages + "/10-home/files/MAIN.bin", QByteArray(5000, 'F'));
    WriteFile(m_sPackages + "/10-home/files/config.json", "{}");
    WriteFile(m_sPackages + "/20-vw/package.json",
              R"({"dir":"Diag/VW/","rev":"2.0","branch":"dash","devtypes":["kx520"],
                  "CN_name":"大众","EN_name":"VW","lang_name":"VW","extra":7})");
    WriteFile(m_sPackages + "/20-vw/files/sub/x y.bin", "x y");
    WriteFile(m_sPackages + "/20-vw/files/设备.bin", "device");
    WriteFile(m_sPackages + "/20-vw/disk/Diag/Common/shared.bin", "shared");
    WriteFile(m_sPackages + "/30-vw-immo/package.json",
              R"({"dir":"Immo/VW","rev":"1.1","branch":"immo","EN_name":"VW immo"})");
    WriteFile(m_sPackages + "/30-vw-immo/files/i.bin", "immo");
    WriteFile(m_sPackages + "/40-broken/package.json", "not json");
    m_server.SetPackagesFolder(m_sPackages);
    m_server.SetAccountsFile(m_dir.filePath(QStringLiteral("accounts.json")));
    QVERIFY2(m_server.Start(), qPrintable(m_server.Output()));
    SetServerAddress(m_server.Address());
}

void tst_UpdateServer::init()
{
    QVERIFY(m_server.ClearFaults());
    QVERIFY(m_server.SetModes({}));
    QVERIFY(m_server.ClearRequests());
}

void tst_UpdateServer::catalogueByDeviceType_data()
{
    QTest::addColumn<QString>("sDevType");
    QTest::addColumn<QStringList>("slDirs");
    QTest::newRow("kx520") << "kx520" << QStringList{"Home", "Diag/VW", "Immo/VW"};
    QTest::newRow("KX520 any case") << "KX520" << QStringList{"Home", "Diag/VW", "Immo/VW"};
    QTest::newRow("kx410") << "kx410" << QStringList{"Home", "Immo/VW"};
}

void tst_UpdateServer::catalogueByDeviceType()
{
    QFETCH(QString, sDevType);
    QFETCH(QStringList, slDirs);
    const CommandReply reply = SendSealedCommand(
        CommandCatalogue,
        {{"devid", "ID"}, {"sn", "D1"}, {"pwd", ""}, {"devtype", sDevType}, {"test", false}});
    QCOMPARE(reply.nStatus, 200);
    QVERIFY(reply.IsSuccess());
    QCOMPARE(reply.joReply.value("root").toString(),
             QStringLiteral("http://127.0.2.60:19320/files/"));
    QStringList slListed;
    for (const QJsonValue &jvPackage : reply.joReply.value("list").toArray()) {
        const QJsonObject joPackage = jvPackage.toObject();
        slListed << joPackage.value("dir").toString();
        QVERIFY(!joPackage.contains("files"));
        QVERIFY(!joPackage.contains("devtypes"));
        QVERIFY(!joPackage.contains("mandatory"));
    }
    QCOMPARE(slListed, slDirs);
    const QJsonObject joHome = reply.joReply.value("list").toArray().at(0).toObject();
    QCOMPARE(joHome.value("CN_name").toString(), QStringLiteral("主程序"));
    QCOMPARE(joHome.value("rev").toString(), QStringLiteral("V1.3"));
    QCOMPARE(joHome.value("branch").toString(), QString()); // mandatory
    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaRequests.size(), 1);
    QCOMPARE(jaRequests.at(0).toObject().value("data").toObject().value("devtype").toString(),
             sDevType);
}

void tst_UpdateServer::downloadListManifests()
{
    const CommandReply reply =
        SendSealedCommand(CommandDownloadList,
                          {{"type", QJsonArray{"vw"}}, {"branch", "dash"}, {"devtype", "kx520"}});
    QVERIFY(reply.bParsed);
    const QJsonArray jaList = reply.joReply.value("list").toArray();
    QCOMPARE(jaList.size(), 1);
    const QJsonObject joManifest = jaList.at(0).toObject();
    QCOMPARE(joManifest.value("dir").toString(), QStringLiteral("Diag/VW"));
    QCOMPARE(joManifest.value("rev").toString(), QStringLiteral("2.0"));
    QCOMPARE(joManifest.value("extra").toInt(), 7);
    QCOMPARE(joManifest.value("branch").toString(), QStringLiteral("dash"));
    const QJsonArray jaFiles = joManifest.value("files").toArray();
    QCOMPARE(jaFiles.size(), 3);
    // A file the package shares, outside its folder.
    QCOMPARE(jaFiles.at(0).toObject().value("Path").toString(),
             QStringLiteral("Diag/Common/shared.bin"));
    QCOMPARE(jaFiles.at(0).toObject().value("Size").toInt(), 6);
    const QJsonObject joFile = jaFiles.at(1).toObject();
    QCOMPARE(joFile.value("Path").toString(), QStringLiteral("Diag/VW/sub/x y.bin"));
    QCOMPARE(joFile.value("Hash").toString(),
             QString::fromLatin1(QCryptographicHash::hash("x y", QCryptographicHash::Md5).toHex()));
    QCOMPARE(joFile.value("Size").toInt(), 3);
    QCOMPARE(jaFiles.at(2).toObject().value("Path").toString(), QStringLiteral("Diag/VW/设备.bin"));
}

void tst_UpdateServer::downloadListByTypeAndBranch_data()
{
    QTest::addColumn<QJsonValue>("jvType");
    QTest::addColumn<QString>("sBranch");
    QTest::addColumn<QString>("sDevType");
    QTest::addColumn<QStringList>("slDirs");
    QTest::newRow("mandatory, branch empty") << QJsonValue(QJsonArray{"HOME"}) << ""
                                             << "kx410" << QStringList{"Home"};
    QTest::newRow("one folder name, two branches") << QJsonValue(QJsonArray{"VW"}) << ""
                                                   << "kx520" << QStringList{"Diag/VW", "Immo/VW"};
    QTest::newRow("branch picks one") << QJsonValue(QJsonArray{"VW"}) << "IMMO"
                                      << "kx520" << QStringList{"Immo/VW"};
    QTest::newRow("not for this device") << QJsonValue(QJsonArray{"VW"}) << "dash"
                                         << "kx410" << QStringList();
    QTest::newRow("unknown folder") << QJsonValue(QJsonArray{"BMW"}) << ""
                                    << "kx520" << QStringList();
    QTest::newRow("type as plain text") << QJsonValue("home") << ""
                                        << "kx520" << QStringList{"Home"};
}

void tst_UpdateServer::downloadListByTypeAndBranch()
{
    QFETCH(QJsonValue, jvType);
    QFETCH(QString, sBranch);
    QFETCH(QString, sDevType);
    QFETCH(QStringList, slDirs);
    const CommandReply reply = SendSealedCommand(
        CommandDownloadList, {{"type", jvType}, {"branch", sBranch}, {"devtype", sDevType}});
    QStringList slListed;
    for (const QJsonValue &jvManifest : reply.joReply.value("list").toArray())
        slListed << jvManifest.toObject().value("dir").toString();
    QCOMPARE(slListed, slDirs);
}

QByteArray tst_UpdateServer::Get(const QString &sUrl, long *pStatus, CURL *pShared)
{
    CURL *pCurl = pShared != nullptr ? pShared : curl_easy_init();
    QByteArray baBody;
    const QByteArray baUrl = EncodedUrl(sUrl);
    curl_easy_setopt(pCurl, CURLOPT_URL, baUrl.constData());
    curl_easy_setopt(
        pCurl, CURLOPT_WRITEFUNCTION, +[](char *pData, size_t nSize, size_t nCount, void *pUser) {
            static_cast<QByteArray *>(pUser)->append(pData, static_cast<int>(nSize * nCount));
            return nSize * nCount;
        });
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &baBody);
    // Dot segments go to the server as they are: it must refuse them itself.
    curl_easy_setopt(pCurl, CURLOPT_PATH_AS_IS, 1L);
    ApplyProxy(pCurl, nullptr);
    const CURLcode nResult = curl_easy_perform(pCurl);
    *pStatus = 0;
    curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, pStatus);
    if (pShared == nullptr)
        curl_easy_cleanup(pCurl);
    return nResult == CURLE_OK ? baBody : QByteArray("<transfer failed>");
}

void tst_UpdateServer::filesAreServed_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::addColumn<long>("nStatus");
    QTest::addColumn<QByteArray>("baBody");
    QTest::newRow("space") << "Diag/VW/sub/x y.bin" << 200L << QByteArray("x y");
    QTest::newRow("non-ASCII") << "Diag/VW/设备.bin" << 200L << QByteArray("device");
    QTest::newRow("folder letter case") << "diag/vw/sub/x y.bin" << 200L << QByteArray("x y");
    QTest::newRow("large") << "Home/MAIN.bin" << 200L << QByteArray(5000, 'F');
    QTest::newRow("shared, outside the package")
        << "Diag/Common/shared.bin" << 200L << QByteArray("shared");
    QTest::newRow("missing") << "Home/none.bin" << 404L
                             << QByteArray("update-server: no such file\n");
    QTest::newRow("outside the package") << "Home/%2E%2E/%2E%2E/20-vw/package.json" << 404L
                                         << QByteArray("update-server: no such file\n");
    QTest::newRow("description is no file")
        << "Home/../package.json" << 404L << QByteArray("update-server: no such file\n");
}

void tst_UpdateServer::filesAreServed()
{
    QFETCH(QString, sPath);
    QFETCH(long, nStatus);
    QFETCH(QByteArray, baBody);
    long nGot = 0;
    QCOMPARE(Get(m_server.BaseUrl() + QStringLiteral("/files/") + sPath, &nGot), baBody);
    QCOMPARE(nGot, nStatus);
}

void tst_UpdateServer::changedFileGetsNewDigest()
{
    const QString sFile = m_sPackages + "/30-vw-immo/files/i.bin";
    WriteFile(sFile, "changed content");
    const CommandReply reply =
        SendSealedCommand(CommandDownloadList, {{"type", QJsonArray{"vw"}}, {"branch", "immo"}});
    const QJsonObject joFile = reply.joReply.value("list")
                                   .toArray()
                                   .at(0)
                                   .toObject()
                                   .value("files")
                                   .toArray()
                                   .at(0)
                                   .toObject();
    QCOMPARE(joFile.value("Hash").toString(), FileMd5(sFile));
    QCOMPARE(joFile.value("Size").toInt(), 15);
}

void tst_UpdateServer::reusedHandleKeepsConnection()
{
    // The package downloader's handle, used for one file after the other,
    // keeps its connection and sends the shared store's cookies every time.
    const auto pHandle = DiffDownload::NewTransferHandle();
    CURL *pCurl = pHandle.get();
    const QByteArray baCookie =
        m_server.Address().toLatin1() + "\tFALSE\t/\tFALSE\t0\tUASESSION\treused";
    curl_easy_setopt(pCurl, CURLOPT_COOKIELIST, baCookie.constData());
    for (int i = 0; i < 3; ++i) {
        long nStatus = 0;
        Get(m_server.BaseUrl() + QStringLiteral("/files/Immo/VW/i.bin"), &nStatus, pCurl);
        QCOMPARE(nStatus, 200L);
    }
    const QJsonArray jaFiles = m_server.Requests(QStringLiteral("files"));
    QCOMPARE(jaFiles.size(), 3);
    const int nPort = jaFiles.at(0).toObject().value("remote_port").toInt();
    QCOMPARE(jaFiles.at(1).toObject().value("remote_port").toInt(), nPort);
    QCOMPARE(jaFiles.at(2).toObject().value("remote_port").toInt(), nPort);
    for (const QJsonValue &jvFile : jaFiles)
        QVERIFY(jvFile.toObject().value("cookie").toString().contains("UASESSION=reused"));
}

void tst_UpdateServer::commandsNeverReuseConnections()
{
    for (int i = 0; i < 2; ++i)
        SendSealedCommand(CommandCatalogue, {{"devtype", "kx520"}});
    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("catalogue"));
    QCOMPARE(jaRequests.size(), 2);
    QVERIFY(jaRequests.at(0).toObject().value("remote_port").toInt() !=
            jaRequests.at(1).toObject().value("remote_port").toInt());
}

void tst_UpdateServer::registrationsArePersisted()
{
    const QString sDigest = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
    const CommandReply reply = SendCompressedCommand(RegisterUrl(), CommandRegister,
                                                     {{"name", "erin_1"},
                                                      {"realname", "Erin"},
                                                      {"phone", ""},
                                                      {"email", "e@x"},
                                                      {"password", sDigest},
                                                      {"sn", "T1"}});
    QVERIFY(reply.IsSuccess());
    QFile accounts(m_dir.filePath(QStringLiteral("accounts.json")));
    QVERIFY(accounts.open(QIODevice::ReadOnly));
    const QJsonArray jaAccounts =
        QJsonDocument::fromJson(accounts.readAll()).object().value("accounts").toArray();
    QCOMPARE(jaAccounts.size(), 1);
    QCOMPARE(jaAccounts.at(0).toObject().value("email").toString(), QStringLiteral("e@x"));
    QCOMPARE(jaAccounts.at(0).toObject().value("sn").toString(), QStringLiteral("T1"));

    // It survives a restart of the server and can sign in.
    m_server.Stop();
    QVERIFY2(m_server.Start(), qPrintable(m_server.Output()));
    const CommandReply login = SendCompressedCommand(
        LoginUrl(), CommandLogin, {{"username", "ERIN_1"}, {"password", sDigest}});
    QVERIFY(login.IsSuccess());
    QCOMPARE(login.joReply.value("username").toString(), QStringLiteral("erin_1"));
    const CommandReply again = SendCompressedCommand(RegisterUrl(), CommandRegister,
                                                     {{"name", "Erin_1"}, {"password", sDigest}});
    QCOMPARE(again.Code(), QStringLiteral("10004"));
}

void tst_UpdateServer::wrongEndpointAndUnknownCommand()
{
    const CommandReply login = SendCompressedCommand(RegisterUrl(), CommandLogin, {});
    QCOMPARE(login.Code(), QStringLiteral("10001"));
    const CommandReply unknown = SendSealedCommand(1099, {});
    QCOMPARE(unknown.Code(), QStringLiteral("10001"));
}

void tst_UpdateServer::faultsWearOff()
{
    QVERIFY(m_server.SetFaults({QJsonObject{{"on", "catalogue"}, {"code", "10009"}, {"times", 2}},
                                QJsonObject{{"on", "files"}, {"match", "x y"}, {"status", 503}}}));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(SendSealedCommand(CommandCatalogue, {}).Code(), QStringLiteral("10009"));
    QCOMPARE(SendSealedCommand(CommandCatalogue, {}).Code(), QStringLiteral("000000"));
    long nStatus = 0;
    Get(m_server.BaseUrl() + QStringLiteral("/files/Diag/VW/sub/x y.bin"), &nStatus);
    QCOMPARE(nStatus, 503L);
    QCOMPARE(Get(m_server.BaseUrl() + QStringLiteral("/files/Immo/VW/i.bin"), &nStatus),
             QByteArray("changed content"));
}

void tst_UpdateServer::badFaultIsRefused()
{
    QVERIFY(!m_server.SetFault({{"on", "everything"}}));
    QVERIFY(!m_server.SetFault({{"stauts", 500}}));
}

void tst_UpdateServer::unknownModeIsRefused()
{
    // A misspelt mode would run the test without its variant.
    QVERIFY(m_server.SetModes({"chunked", "zero-size"}));
    QVERIFY(!m_server.SetModes({"chunked", "zero-sizes"}));
    UpdateServerProcess other(QStringLiteral("127.0.2.61"));
    other.AddArguments({"--mode", "stale-size,no-such-mode"});
    QVERIFY(!other.Start(5000));
    QVERIFY2(other.Output().contains("unknown mode \"no-such-mode\""), qPrintable(other.Output()));
}

QTEST_GUILESS_MAIN(tst_UpdateServer)
#include "tst_UpdateServer.moc"
