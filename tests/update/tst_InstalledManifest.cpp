// "Update.json": what is written into a package folder and where.

#include "FifoWatch.h"
#include "TestTools.h"
#include "update/InstalledManifest.h"
#include "update/InstalledPackages.h"
#include "update/UpdateCatalogue.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{

QJsonObject Package(const QString &sDir)
{
    return QJsonObject{
        {"root", "http://127.0.6.9/files/"},
        {"lang", "EN"},
        {"dir", sDir},
        {"rev", "2.1"},
        {"EN_name", "Engine"},
        {"branch", "DASH"},
        {"files",
         QJsonArray{QJsonObject{{"Path", "en/Diag/Engine/a.bin"}, {"Hash", "AB"}, {"Size", 3}},
                    QJsonObject{{"Path", "Diag/Engine/b.bin"}, {"Hash", "cd"}, {"Size", 4}}}}};
}

QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_InstalledManifest : public QObject
{
    Q_OBJECT

private slots:
    void installedFormDropsTransferDetails();
    void saveWritesIntoPackageFolder();
    void saveReplacesManifestOfAnyCase();
    void unsafeFoldersAreNotWritten_data();
    void unsafeFoldersAreNotWritten();
    void linkedManifestIsReplacedNotFollowed();
    void readFindsAnyCase();
    void readRejectsNonObjects();
    void specialManifestIsNotRead_data();
    void specialManifestIsNotRead();
};

void tst_InstalledManifest::installedFormDropsTransferDetails()
{
    const QJsonObject joInstalled = InstalledManifest::FromPackage(Package("EN/Diag/Engine"), "EN");
    QVERIFY(!joInstalled.contains("root"));
    QVERIFY(!joInstalled.contains("lang"));
    QCOMPARE(joInstalled.value("dir").toString(), QStringLiteral("EN/Diag/Engine"));
    QCOMPARE(joInstalled.value("EN_name").toString(), QStringLiteral("Engine"));
    QCOMPARE(joInstalled.value("branch").toString(), QStringLiteral("DASH"));
    const QJsonArray jaFiles = joInstalled.value("files").toArray();
    QCOMPARE(jaFiles.size(), 2);
    QCOMPARE(jaFiles.at(0).toObject(),
             (QJsonObject{{"Path", "Diag/Engine/a.bin"}, {"Hash", "AB"}, {"Size", 3}}));
    QCOMPARE(jaFiles.at(1).toObject().value("Path").toString(),
             QStringLiteral("Diag/Engine/b.bin"));
}

void tst_InstalledManifest::saveWritesIntoPackageFolder()
{
    QTemporaryDir disk;
    QVERIFY(QDir().mkpath(disk.path() + "/Diag/Engine"));
    QVERIFY(InstalledManifest::Save(disk.path(), Package("en/Diag/Engine"), "EN"));
    const QByteArray baWritten = ReadFile(disk.path() + "/Diag/Engine/Update.json");
    QVERIFY(baWritten.contains("\n    \"")); // indented
    QCOMPARE(QJsonDocument::fromJson(baWritten).object(),
             InstalledManifest::FromPackage(Package("en/Diag/Engine"), "EN"));
}

void tst_InstalledManifest::saveReplacesManifestOfAnyCase()
{
    QTemporaryDir disk;
    const QString sFolder = disk.path() + "/Diag";
    QVERIFY(QDir().mkpath(sFolder));
    {
        QFile old(sFolder + "/update.json");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("{\"rev\": \"1.0\"}");
    }
    QJsonObject joPackage = Package("/Diag");
    QVERIFY(InstalledManifest::Save(disk.path(), joPackage, ""));
    QCOMPARE(QDir(sFolder).entryList(QDir::Files), QStringList{"update.json"});
    QCOMPARE(QJsonDocument::fromJson(ReadFile(sFolder + "/update.json")).object().value("rev"),
             QJsonValue("2.1"));
}

void tst_InstalledManifest::unsafeFoldersAreNotWritten_data()
{
    QTest::addColumn<QString>("sDir");
    QTest::newRow("parent") << "../Diag";
    QTest::newRow("deep parent") << "Diag/../../Diag";
    QTest::newRow("absolute") << "//Diag";
    QTest::newRow("the disk itself") << "/";
    QTest::newRow("missing folder") << "Nowhere";
}

void tst_InstalledManifest::unsafeFoldersAreNotWritten()
{
    QFETCH(QString, sDir);
    QTemporaryDir root;
    const QString sDisk = root.path() + "/disk";
    QVERIFY(QDir().mkpath(sDisk));
    QVERIFY(QDir().mkpath(root.path() + "/Diag"));
    QVERIFY(!InstalledManifest::Save(sDisk, Package(sDir), ""));
    QVERIFY(!QFile::exists(root.path() + "/Diag/Update.json"));
    QVERIFY(!QFile::exists(sDisk + "/Update.json"));
}

void tst_InstalledManifest::linkedManifestIsReplacedNotFollowed()
{
    QTemporaryDir root;
    const QString sDisk = root.path() + "/disk";
    QVERIFY(QDir().mkpath(sDisk + "/Diag"));
    QFile outside(root.path() + "/outside.json");
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write("untouched");
    outside.close();
    QVERIFY(QFile::link(outside.fileName(), sDisk + "/Diag/Update.json"));
    QVERIFY(InstalledManifest::Save(sDisk, Package("Diag"), "EN"));
    QCOMPARE(ReadFile(outside.fileName()), QByteArray("untouched"));
    QVERIFY(!QFileInfo(sDisk + "/Diag/Update.json").isSymLink());
    QCOMPARE(QJsonDocument::fromJson(ReadFile(sDisk + "/Diag/Update.json")).object().value("rev"),
             QJsonValue("2.1"));
}

void tst_InstalledManifest::readFindsAnyCase()
{
    QTemporaryDir disk;
    QFile file(disk.path() + "/UPDATE.JSON");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"rev\": \"3\"}");
    file.close();
    bool bOk = false;
    QCOMPARE(InstalledManifest::Read(disk.path(), &bOk).value("rev").toString(),
             QStringLiteral("3"));
    QVERIFY(bOk);
    QCOMPARE(InstalledManifest::FindIn(disk.path() + "/missing"), QString());
}

void tst_InstalledManifest::readRejectsNonObjects()
{
    QTemporaryDir disk;
    QFile file(disk.path() + "/Update.json");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[1, 2]");
    file.close();
    bool bOk = true;
    QVERIFY(InstalledManifest::Read(disk.path(), &bOk).isEmpty());
    QVERIFY(!bOk);
}

void tst_InstalledManifest::specialManifestIsNotRead_data()
{
    // What stands in the place of a package's manifest on a mounted disk.
    QTest::addColumn<QString>("sKind");
    QTest::addColumn<QString>("sName");
    QTest::addColumn<bool>("bRead");
    QTest::newRow("FIFO") << "fifo"
                          << "Update.json" << false;
    QTest::newRow("FIFO in lower case") << "fifo"
                                        << "update.json" << false;
    QTest::newRow("link to a FIFO") << "fifo link"
                                    << "Update.json" << false;
    QTest::newRow("link to /dev/zero") << "zero"
                                       << "Update.json" << false;
    QTest::newRow("link to a manifest of 16 MiB") << "16 MiB"
                                                  << "Update.json" << true;
    QTest::newRow("link to a manifest of 16 MiB and a byte") << "16 MiB + 1"
                                                             << "Update.json" << false;
}

void tst_InstalledManifest::specialManifestIsNotRead()
{
    QFETCH(QString, sKind);
    QFETCH(QString, sName);
    QFETCH(bool, bRead);
    QTemporaryDir root;
    const QString sDisk = root.filePath("KX");
    QVERIFY(QDir().mkpath(sDisk));
    const QString sError = TestTools::MountTmpfs(sDisk);
    if (!sError.isEmpty())
        QSKIP(qPrintable("mounting a tmpfs is not permitted here: " + sError));
    const QString sFolder = sDisk + "/Diag/Engine";
    QVERIFY(QDir().mkpath(sFolder));
    const QString sFile = sFolder + "/" + sName;
    std::unique_ptr<FifoWatch> pFifo;
    if (sKind == "fifo") {
        pFifo = std::make_unique<FifoWatch>(sFile);
        if (!pFifo->IsValid())
            QSKIP("no FIFOs here");
    } else if (sKind == "fifo link") {
        pFifo = std::make_unique<FifoWatch>(root.filePath("pipe"));
        if (!pFifo->IsValid())
            QSKIP("no FIFOs here");
        QVERIFY(QFile::link(root.filePath("pipe"), sFile));
    } else if (sKind == "zero") {
        QVERIFY(QFile::link("/dev/zero", sFile));
        // On Windows QFile::link makes shell shortcuts, which lead nowhere.
        if (!QFileInfo(sFile).isSymLink())
            QSKIP("no symbolic links here");
    } else {
        // Too big for the mounted disk: the manifest lies elsewhere, reached through a link.
        const qint64 nSize = 16 * 1024 * 1024 + (sKind.endsWith("+ 1") ? 1 : 0);
        QByteArray baJson("{\"rev\": \"7\"}");
        baJson.append(int(nSize - baJson.size()), ' ');
        QFile big(root.filePath("big.json"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QCOMPARE(big.write(baJson), nSize);
        big.close();
        QVERIFY(QFile::link(big.fileName(), sFile));
    }

    bool bOk = !bRead;
    const QJsonObject joManifest = InstalledManifest::Read(sFolder, &bOk);
    const InstalledPackage package = ReadInstalledPackage(sFolder, "EN_name");
    const QString sLocal = LocalVersionOf(sDisk, QString(), QJsonObject{{"dir", "Diag/Engine"}});
    // The uninstall page's search looks at names only.
    QVERIFY(ScanInstalledPackages(sDisk, [](const QString &) {}));
    const bool bOpened = pFifo && pFifo->Opened();
    pFifo.reset();
    TestTools::Unmount(sDisk);

    QVERIFY2(!bOpened, "the FIFO was opened");
    QCOMPARE(bOk, bRead);
    QCOMPARE(joManifest.value("rev").toString(), bRead ? QString("7") : QString());
    QCOMPARE(package.bRead, bRead);
    QCOMPARE(sLocal, bRead ? QString("7") : QString());
}

QTEST_GUILESS_MAIN(tst_InstalledManifest)
#include "tst_InstalledManifest.moc"
