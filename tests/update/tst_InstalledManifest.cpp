// "Update.json": what is written into a package folder and where.

#include "update/InstalledManifest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

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

QTEST_GUILESS_MAIN(tst_InstalledManifest)
#include "tst_InstalledManifest.moc"
