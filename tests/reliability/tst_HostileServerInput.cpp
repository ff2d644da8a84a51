// Catalogue and download-list replies that a broken or hostile server might
// send, through the real command path (sealed reply over HTTP) into the
// catalogue rules, the download-list matching and the downloader. Nothing
// may crash or hang, nothing may be written outside the device disk, and
// each case must end in a clear state: the reply is refused, or the download
// reports its end once.
#include "DownloadHarness.h"
#include "TestHttpServer.h"

#include "net/HttpPost.h"
#include "net/ServerProtocol.h"
#include "update/UpdateCatalogue.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace
{
const char kAddress[] = "127.0.11.2";
const QString kRoot = QStringLiteral("http://127.0.11.2:19320/files/");

QJsonObject Entry(const QJsonValue &path, const QJsonValue &hash = QString(32, 'a'),
                  const QJsonValue &size = 10)
{
    return QJsonObject{{"Path", path}, {"Hash", hash}, {"Size", size}};
}

QJsonObject Package(const QJsonValue &files, const QJsonValue &dir = QStringLiteral("Diag/Dash"))
{
    return QJsonObject{{"dir", dir},      {"rev", "2.0"},    {"branch", "dash"},
                       {"EN_name", "VW"}, {"CN_name", "VW"}, {"lang_name", "VW"},
                       {"files", files}};
}

QByteArray Reply(const QJsonValue &list, const QJsonValue &root = kRoot,
                 const QJsonValue &code = QStringLiteral("000000"))
{
    return QJsonDocument(QJsonObject{{"code", code}, {"root", root}, {"list", list}})
        .toJson(QJsonDocument::Compact);
}

// Every file of the folder tree, except below sSkip.
QStringList FilesOutside(const QString &sBase, const QString &sSkip)
{
    QStringList slFiles;
    QDirIterator it(sBase, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString sPath = it.next();
        if (!sPath.startsWith(sSkip + QLatin1Char('/')))
            slFiles << sPath;
    }
    slFiles.sort();
    return slFiles;
}
} // namespace

class tst_HostileServerInput : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestHttpServer> pServer;

private slots:
    void initTestCase()
    {
        pServer = std::make_unique<TestHttpServer>(QHostAddress(QString::fromLatin1(kAddress)),
                                                   quint16(kCommandPort));
        QVERIFY(pServer->IsListening());
        SetServerAddress(QString::fromLatin1(kAddress));
        TransferTimeouts timeouts;
        timeouts.nConnectMs = 5000;
        timeouts.nLowSpeedSeconds = 5;
        SetTransferTimeouts(timeouts);
    }

    void cleanupTestCase() { pServer.reset(); }

    void reply_data()
    {
        QTest::addColumn<QByteArray>("baPlain");
        const QString sLong = QString(4000, QLatin1Char('d')) + QStringLiteral("/x.bin");
        const QJsonArray jaOk{Entry("Diag/Dash/ok.bin")};

        QTest::newRow("not JSON") << QByteArray("<html>busy</html>");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("top level array") << QByteArray("[1,2,3]");
        QTest::newRow("code is a number") << Reply(QJsonArray{Package(jaOk)}, kRoot, 0);
        QTest::newRow("list is an object") << Reply(Package(jaOk));
        QTest::newRow("list is a string") << Reply("Diag/Dash");
        QTest::newRow("list of scalars") << Reply(QJsonArray{1, "x", QJsonValue(), true});
        QTest::newRow("dir is a number") << Reply(QJsonArray{Package(jaOk, 5)});
        QTest::newRow("dir is an array")
            << Reply(QJsonArray{Package(jaOk, QJsonArray{"Diag", "Dash"})});
        QTest::newRow("files is a string") << Reply(QJsonArray{Package("Diag/Dash/x.bin")});
        QTest::newRow("files is an object") << Reply(QJsonArray{Package(Entry("Diag/Dash/x.bin"))});
        QTest::newRow("entries of every type") << Reply(QJsonArray{Package(
            QJsonArray{1, "Diag/Dash/a", QJsonValue(), QJsonArray{}, Entry(5, QJsonArray{}, "big"),
                       Entry(QJsonObject{}, 7, QJsonObject{})})});
        QTest::newRow("root is a number") << Reply(QJsonArray{Package(jaOk)}, 42);
        QTest::newRow("root is not http") << Reply(QJsonArray{Package(jaOk)}, "file:///etc/");
        QTest::newRow("root is another scheme")
            << Reply(QJsonArray{Package(jaOk)}, "ftp://127.0.11.2/");
        QTest::newRow("parent folder in path") << Reply(QJsonArray{
            Package(QJsonArray{Entry("../../outside.bin"), Entry("Diag/Dash/../../../outside.bin"),
                               Entry("Diag\\..\\..\\outside.bin")})});
        QTest::newRow("absolute paths") << Reply(QJsonArray{
            Package(QJsonArray{Entry("/tmp/ua-hostile.bin"), Entry("//server/share/x.bin"),
                               Entry("\\\\server\\share\\x.bin")})});
        QTest::newRow("drive prefixes") << Reply(QJsonArray{Package(
            QJsonArray{Entry("C:/Windows/x.dll"), Entry("C:x.dll"), Entry("Diag/Dash/C:/x.bin")})});
        QTest::newRow("very long path") << Reply(QJsonArray{Package(QJsonArray{Entry(sLong)})});
        QTest::newRow("NUL in path") << Reply(QJsonArray{
            Package(QJsonArray{Entry(QStringLiteral("Diag/Dash/a") + QChar(0) + "/../../../x")})});
        QTest::newRow("duplicate paths") << Reply(
            QJsonArray{Package(QJsonArray{Entry("Diag/Dash/d.bin", QString(32, 'b'), 5),
                                          Entry("Diag/Dash/d.bin", QString(32, 'c'), 7),
                                          Entry("diag/dash/D.BIN", QString(32, 'e'), 9)})});
        QTest::newRow("huge sizes") << Reply(QJsonArray{
            Package(QJsonArray{Entry("Diag/Dash/h1.bin", QString(32, 'a'), 1e30),
                               Entry("Diag/Dash/h2.bin", QString(32, 'a'), -5),
                               Entry("Diag/Dash/h3.bin", QString(32, 'a'), 2147483648.0),
                               Entry("Diag/Dash/h4.bin", QString(32, 'a'), 2147483647)})});
        QTest::newRow("dir leading out of the disk")
            << Reply(QJsonArray{Package(QJsonArray{Entry("../../Dash/x.bin")}, "../../Dash")});
        QTest::newRow("absolute dir")
            << Reply(QJsonArray{Package(QJsonArray{Entry("/tmp/Dash/x.bin")}, "/tmp/Dash")});
    }

    void reply()
    {
        QFETCH(QByteArray, baPlain);
        pServer->SetPostReply(SealPayload(baPlain, PayloadKey()));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString sDisk = dir.filePath("disk/E");
        QVERIFY(QDir().mkpath(sDisk));
        QVERIFY(QDir().mkpath(dir.filePath("outside")));
        const QStringList slBefore = FilesOutside(dir.path(), sDisk);

        // The catalogue rules read the same kind of reply.
        const CommandReply catalogue = SendSealedCommand(CommandCatalogue, QJsonObject());
        const QList<CatalogueEntry> entries = ListedPackages(
            catalogue.joReply, [] { return QStringLiteral("V1.0"); },
            [&sDisk](const QJsonObject &joPackage) {
                return LocalVersionOf(sDisk, QString(), joPackage);
            });
        for (const CatalogueEntry &entry : entries)
            QVERIFY(!entry.sName.isEmpty());

        const DownloadOutcome outcome = DownloadHarness(sDisk).Run(60000);
        QVERIFY2(outcome.nPackages == 0 || outcome.bUsable, "a refused reply started a download");
        if (outcome.nPackages > 0) {
            QVERIFY2(outcome.bReturned, "the download hung");
            QCOMPARE(outcome.nFinishCount, 1);
            // Nothing hostile can have arrived complete.
            QVERIFY(outcome.nSuccess <= 0);
            QVERIFY(!outcome.bManifestSaved);
        }
        QCOMPARE(FilesOutside(dir.path(), sDisk), slBefore);
        QVERIFY(!QFile::exists("/tmp/ua-hostile.bin"));
        QVERIFY(!QFile::exists("/tmp/Dash/x.bin"));
    }
};

QTEST_MAIN(tst_HostileServerInput)
#include "tst_HostileServerInput.moc"
