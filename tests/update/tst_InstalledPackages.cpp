// Finding installed packages on a device disk, their sizes and removal.

#include "PosixFiles.h"
#include "TestTools.h"
#include "update/InstalledPackages.h"
#include "update/PackageNames.h"
#include "update/TransferStopFlag.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

void WriteFile(const QString &sPath, const QByteArray &baData)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baData);
}

QStringList Scan(const QString &sDisk, bool *pComplete = nullptr)
{
    QStringList slFound;
    const bool bComplete = ScanInstalledPackages(
        sDisk, [&](const QString &sDir) { slFound << QDir::cleanPath(sDir); });
    if (pComplete)
        *pComplete = bComplete;
    slFound.sort();
    return slFound;
}

} // namespace

class tst_InstalledPackages : public QObject
{
    Q_OBJECT

private slots:
    void scanFindsPackagesBreadthFirst();
    void scanLeavesTheDevicesOwnPlaces_data();
    void scanLeavesTheDevicesOwnPlaces();
    void scanStopsWhenDeviceGoes();
    void noDiskNoPackages();
    void homeFolders_data();
    void homeFolders();
    void readsNameRevisionAndBranch();
    void directorySize();
    void removeDeletesOnlyInsideTheDisk();
    void removeLeavesTheDevicesOwnPlaces_data();
    void removeLeavesTheDevicesOwnPlaces();
    void cutShortUninstall_data();
    void cutShortUninstall();
};

void tst_InstalledPackages::scanFindsPackagesBreadthFirst()
{
    QTemporaryDir root;
    const QString sDisk = root.path();
    WriteFile(sDisk + "/Diag/Engine/Update.json", "{}");
    WriteFile(sDisk + "/Diag/Engine/Inner/update.json", "{}"); // inside a package: never found
    WriteFile(sDisk + "/Diag/Keys/UPDATE.JSON", "{}");
    WriteFile(sDisk + "/Home/Update.json", "{}");
    WriteFile(sDisk + "/.hidden/Update.json", "{}");
    WriteFile(sDisk + "/Diag/NotAPackage/data.bin", "x");
    QVERIFY(QDir().mkpath(sDisk + "/Diag/Update.json.d")); // a folder of that name is no manifest
    bool bComplete = false;
    QCOMPARE(Scan(sDisk, &bComplete),
             (QStringList{sDisk + "/Diag/Engine", sDisk + "/Diag/Keys", sDisk + "/Home"}));
    QVERIFY(bComplete);
}

void tst_InstalledPackages::scanLeavesTheDevicesOwnPlaces_data()
{
    // Manifests in places that belong to the device (an older build's, or a
    // crafted disk's): the disk's root and its records folder are never
    // packages, whatever they hold, and the packages beside them are found.
    QTest::addColumn<QStringList>("slManifests"); // folders below the disk given an Update.json
    QTest::addColumn<QStringList>("slFound");
    QTest::newRow("the disk's root")
        << QStringList{"", "Diag/Engine"} << QStringList{"Diag/Engine"};
    QTest::newRow("SaveData") << QStringList{"SaveData", "Diag/Engine"}
                              << QStringList{"Diag/Engine"};
    QTest::newRow("SaveData in another case")
        << QStringList{"SAVEDATA", "savedata2"} << QStringList{"savedata2"};
    QTest::newRow("a records folder") << QStringList{"SaveData/DTC"} << QStringList();
    QTest::newRow("a folder named SaveData elsewhere")
        << QStringList{"Diag/SaveData"} << QStringList{"Diag/SaveData"};
}

void tst_InstalledPackages::scanLeavesTheDevicesOwnPlaces()
{
    QFETCH(QStringList, slManifests);
    QFETCH(QStringList, slFound);
    QTemporaryDir root;
    const QString sDisk = root.path() + "/disk";
    WriteFile(sDisk + "/sn.txt", "D000000000001");
    WriteFile(sDisk + "/SaveData/DTC/record.bin", "a record");
    for (const QString &sFolder : qAsConst(slManifests))
        WriteFile(sDisk + "/" + sFolder + "/Update.json", R"({"lang_name": "Engine"})");
    QStringList slExpected;
    for (const QString &sFolder : qAsConst(slFound))
        slExpected << sDisk + "/" + sFolder;
    bool bComplete = false;
    QCOMPARE(Scan(sDisk, &bComplete), slExpected);
    QVERIFY(bComplete);
}

void tst_InstalledPackages::scanStopsWhenDeviceGoes()
{
    QTemporaryDir root;
    WriteFile(root.path() + "/Diag/Engine/Update.json", "{}");
    TransferStopFlag = 1;
    bool bComplete = true;
    const QStringList slFound = Scan(root.path(), &bComplete);
    TransferStopFlag = 0;
    QVERIFY(slFound.isEmpty());
    QVERIFY(!bComplete);
}

void tst_InstalledPackages::noDiskNoPackages()
{
    QVERIFY(Scan(QString()).isEmpty());
}

void tst_InstalledPackages::homeFolders_data()
{
    QTest::addColumn<QString>("sDir");
    QTest::addColumn<bool>("bHome");
    QTest::newRow("E:/Diag/Home") << "E:/Diag/Home" << true;
    QTest::newRow("/disk/HOME") << "/disk/HOME" << true;
    QTest::newRow("/disk/Homepage") << "/disk/Homepage" << false;
}

void tst_InstalledPackages::homeFolders()
{
    QFETCH(QString, sDir);
    QFETCH(bool, bHome);
    QCOMPARE(IsUninstallProtectedDir(sDir), bHome);
}

void tst_InstalledPackages::readsNameRevisionAndBranch()
{
    QTemporaryDir root;
    WriteFile(root.path() + "/Keys/update.json",
              R"({"EN_name": "Keys", "rev": "1.2", "branch": "IMMO"})");
    const InstalledPackage package = ReadInstalledPackage(root.path() + "/Keys", "EN_name");
    QVERIFY(package.bRead);
    QCOMPARE(package.sName, QStringLiteral("Keys"));
    QCOMPARE(package.sRev, QStringLiteral("1.2"));
    QCOMPARE(package.sBranch, QStringLiteral("immo"));

    WriteFile(root.path() + "/Broken/Update.json", "not json");
    const InstalledPackage broken = ReadInstalledPackage(root.path() + "/Broken", "EN_name");
    QVERIFY(!broken.bRead);
    QCOMPARE(broken.sName, QString());
}

void tst_InstalledPackages::directorySize()
{
    QTemporaryDir root;
    QCOMPARE(DirectorySize(root.path() + "/missing"), quint64(0));
    QCOMPARE(DirectorySize(root.path()), quint64(0));
    WriteFile(root.path() + "/a.bin", QByteArray(1000, 'a'));
    WriteFile(root.path() + "/sub/deeper/b.bin", QByteArray(24, 'b'));
    WriteFile(root.path() + "/.hidden", QByteArray(500, 'h'));
    if (!CanMakePosixSpecialFiles())
        QSKIP("no symbolic links here");
    QVERIFY(QFile::link(root.path() + "/a.bin", root.path() + "/sub/link.bin"));
    QCOMPARE(DirectorySize(root.path()), quint64(1024));
}

void tst_InstalledPackages::removeDeletesOnlyInsideTheDisk()
{
    QTemporaryDir root;
    const QString sDisk = root.path() + "/disk";
    WriteFile(sDisk + "/Diag/Engine/Update.json", "{}");
    WriteFile(sDisk + "/Diag/Keys/Update.json", "{}");
    WriteFile(root.path() + "/outside/keep.bin", "x");
    QVERIFY(QFile::link(root.path() + "/outside", sDisk + "/Diag/Link"));
    RemovePackages(sDisk, {sDisk + "/Diag/Engine", sDisk + "/Diag/Missing", sDisk,
                           root.path() + "/outside", sDisk + "/Diag/Link"});
    QVERIFY(!QFileInfo::exists(sDisk + "/Diag/Engine"));
    QVERIFY(QFileInfo::exists(sDisk + "/Diag/Keys/Update.json"));
    QVERIFY(QFileInfo::exists(root.path() + "/outside/keep.bin"));
}

void tst_InstalledPackages::removeLeavesTheDevicesOwnPlaces_data()
{
    // One click on the uninstall button must never take the device's records.
    QTest::addColumn<QString>("sFolder"); // below the disk
    QTest::newRow("SaveData") << "SaveData";
    QTest::newRow("SaveData in another case") << "savedata";
    QTest::newRow("a records folder") << "SaveData/DTC";
    QTest::newRow("a link to SaveData") << "Diag/Records";
    QTest::newRow("the disk's root") << "";
}

void tst_InstalledPackages::removeLeavesTheDevicesOwnPlaces()
{
    QFETCH(QString, sFolder);
    QTemporaryDir root;
    const QString sDisk = root.path() + "/disk";
    WriteFile(sDisk + "/sn.txt", "D000000000001");
    WriteFile(sDisk + "/SaveData/Update.json", R"({"lang_name": "Engine"})");
    WriteFile(sDisk + "/SaveData/DTC/Update.json", R"({"lang_name": "Engine"})");
    WriteFile(sDisk + "/SaveData/DTC/record.bin", "a record");
    WriteFile(sDisk + "/Update.json", R"({"lang_name": "Engine"})");
    if (sFolder == "Diag/Records") {
        if (!CanMakePosixSpecialFiles())
            QSKIP("no symbolic links here");
        QVERIFY(QDir().mkpath(sDisk + "/Diag"));
        QVERIFY(QFile::link(sDisk + "/SaveData", sDisk + "/Diag/Records"));
    }
    const QString sPath = sFolder.isEmpty() ? sDisk : sDisk + "/" + sFolder;
    QCOMPARE(RemovePackages(sDisk, {sPath}), QStringList());
    QVERIFY(QFileInfo::exists(sDisk + "/SaveData/DTC/record.bin"));
    QVERIFY(QFileInfo::exists(sDisk + "/SaveData/Update.json"));
    QVERIFY(QFileInfo::exists(sDisk + "/SaveData/DTC/Update.json"));
    QVERIFY(QFileInfo::exists(sDisk + "/Update.json"));
    QVERIFY(QFileInfo::exists(sDisk + "/sn.txt"));
}

void tst_InstalledPackages::cutShortUninstall_data()
{
    QTest::addColumn<QString>("sStuck");
    QTest::addColumn<bool>("bStaysInstalled");
    QTest::newRow("the manifest cannot go") << "Update.json" << true;
    QTest::newRow("a file cannot go") << "sub/b.bin" << false;
}

void tst_InstalledPackages::cutShortUninstall()
{
    // An uninstall that stops half-way (killed, disk pulled, a file that
    // cannot be removed) leaves either the whole package or one that is no
    // longer installed and is offered again, never an installed package with
    // files missing. A file with a mount on it stands for the point where it
    // stops.
    QFETCH(QString, sStuck);
    QFETCH(bool, bStaysInstalled);
    QTemporaryDir root;
    const QString sDisk = root.path() + "/disk";
    const QString sPackage = sDisk + "/Diag/Engine";
    const QStringList slFiles{"Update.json", "a.bin", "sub/b.bin", "z.bin"};
    for (const QString &sFile : slFiles)
        WriteFile(sPackage + "/" + sFile, "{}");
    WriteFile(root.path() + "/pin", "pin");
    const QString sError = TestTools::RunTool(
        QStringLiteral("mount"), {"--bind", root.path() + "/pin", sPackage + "/" + sStuck});
    if (!sError.isEmpty())
        QSKIP(qPrintable("cannot bind-mount: " + sError));
    RemovePackages(sDisk, {sPackage});
    QStringList slLeft;
    for (const QString &sFile : slFiles) {
        if (QFileInfo::exists(sPackage + "/" + sFile))
            slLeft << sFile;
    }
    QCOMPARE(TestTools::Unmount(sPackage + "/" + sStuck), QString());
    const bool bInstalled = Scan(sDisk).contains(sPackage);
    QCOMPARE(bInstalled, bStaysInstalled);
    if (bInstalled)
        QCOMPARE(slLeft, slFiles);
    else
        QVERIFY(!slLeft.contains("Update.json"));
}

QTEST_GUILESS_MAIN(tst_InstalledPackages)
#include "tst_InstalledPackages.moc"
