// Which server-given paths may be joined under the device disk.

#include "update/PackageManifest.h"
#include "update/SafePath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_PackagePaths : public QObject
{
    Q_OBJECT

private slots:
    void relativeComponents_data();
    void relativeComponents();
    void pathInside();
    void linkLeadingOutIsRefused();
    void folderPresenceIsReported();
    void componentsInside_data();
    void componentsInside();
    void languagePrefix_data();
    void languagePrefix();
    void reservedPlaces_data();
    void reservedPlaces();
    void linkIntoReservedPlaceIsRefused();
    void packageFolder_data();
    void packageFolder();
};

void tst_PackagePaths::relativeComponents_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::addColumn<bool>("bOk");
    QTest::addColumn<QStringList>("slParts");
    QTest::newRow("plain") << "Diag/Car/x.bin" << true << QStringList{"Diag", "Car", "x.bin"};
    QTest::newRow("backslashes") << "Diag\\x.bin" << true << QStringList{"Diag", "x.bin"};
    QTest::newRow("dots and doubled slashes")
        << "./Diag//x.bin" << true << QStringList{"Diag", "x.bin"};
    QTest::newRow("dotdot at the end") << "Diag/.." << false << QStringList();
    QTest::newRow("dotdot inside") << "Diag/../Home/x" << false << QStringList();
    QTest::newRow("leading slash") << "/etc/passwd" << false << QStringList();
    QTest::newRow("leading backslash") << "\\\\server\\share" << false << QStringList();
    QTest::newRow("drive letter") << "C:/Windows" << false << QStringList();
    QTest::newRow("drive-relative") << "C:Windows" << false << QStringList();
    QTest::newRow("name with dots is fine") << "a..b/..c" << true << QStringList{"a..b", "..c"};
    QTest::newRow("empty") << "" << true << QStringList();
    // Names Windows reads as others, or that FAT cannot hold.
    const QStringList slRefused = {"sn.txt.",
                                   "sn.txt ",
                                   "SaveData./x",
                                   "Diag /x",
                                   "...",
                                   "Diag/NUL",
                                   "Diag/nul.txt",
                                   "con/x.bin",
                                   "Diag/COM3.bin",
                                   "lpt1",
                                   "Diag/COM\u00B9",
                                   "aux .db",
                                   "CONIN$",
                                   "Diag/a?b",
                                   "Diag/a*b",
                                   "Diag/a|b",
                                   "Diag/a<b>",
                                   "Diag/a\"b",
                                   "Diag/a\tb",
                                   "Diag/a\x1f"
                                   "b"};
    for (const QString &sPath : slRefused)
        QTest::newRow(qPrintable("refused: " + sPath)) << sPath << false << QStringList();
    // Names that only look like those.
    const QStringList slKept = {"Diag/CONFIG.bin", "Diag/com10.bin",    "Diag/NULL",
                                "Diag/AUX1",       "Diag/COMX",         "Diag/.hidden",
                                "Diag/ lead.bin",  "lib/toyota dtc.db", "Diag/x.nul"};
    for (const QString &sPath : slKept) {
        QTest::newRow(qPrintable("kept: " + sPath))
            << sPath << true << sPath.split('/', Qt::SkipEmptyParts);
    }
}

void tst_PackagePaths::relativeComponents()
{
    QFETCH(QString, sPath);
    QFETCH(bool, bOk);
    QFETCH(QStringList, slParts);
    bool bResult = !bOk;
    QCOMPARE(SafeRelativeComponents(sPath, &bResult), slParts);
    QCOMPARE(bResult, bOk);
}

void tst_PackagePaths::pathInside()
{
    QTemporaryDir dir;
    const QString sDisk = dir.path();
    QCOMPARE(PathInside(sDisk, "Diag/x.bin"), sDisk + "/Diag/x.bin");
    QCOMPARE(PathInside(sDisk, "Diag\\.\\x.bin"), sDisk + "/Diag/x.bin");
    QCOMPARE(PathInside(sDisk, "../x.bin"), QString());
    QCOMPARE(PathInside(sDisk, ""), QString()); // the disk itself is no file or package
    QCOMPARE(PathInside(sDisk, "/"), QString());
}

void tst_PackagePaths::linkLeadingOutIsRefused()
{
    QTemporaryDir dir;
    const QString sDisk = dir.path() + "/disk";
    QVERIFY(QDir().mkpath(sDisk + "/Real"));
    QVERIFY(QDir().mkpath(dir.path() + "/outside"));
    QVERIFY(QFile::link(dir.path() + "/outside", sDisk + "/Out"));
    QVERIFY(QFile::link(sDisk + "/Real", sDisk + "/In"));
    // On Windows QFile::link makes shell shortcuts ("Out.lnk"), which lead nowhere.
    if (!QFileInfo(sDisk + "/Out").isSymLink())
        QSKIP("no symbolic links here");
    // Alone, and twice with one folder cache shared by the calls (the second
    // round answered from it): the same answers.
    QHash<QString, QString> cache;
    for (QHash<QString, QString> *pCache : {(QHash<QString, QString> *)nullptr, &cache, &cache}) {
        QCOMPARE(PathInside(sDisk, "Out/x.bin", pCache), QString());
        QCOMPARE(PathInside(sDisk, "Out", pCache), QString());
        QCOMPARE(PathInside(sDisk, "In/x.bin", pCache), sDisk + "/In/x.bin");
        QCOMPARE(PathInside(sDisk, "Real/new/deeper/x.bin", pCache),
                 sDisk + "/Real/new/deeper/x.bin");
        QCOMPARE(PathInside(sDisk, "Out/y.bin", pCache), QString());
    }
    QVERIFY(!cache.isEmpty());
}

void tst_PackagePaths::folderPresenceIsReported()
{
    QTemporaryDir dir;
    const QString sDisk = dir.path();
    QVERIFY(QDir().mkpath(sDisk + "/Diag/Old"));
    QFile file(sDisk + "/Diag/Old/a.bin");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        const char *pRelative;
        bool bFolderExists;
    };
    const Case cases[] = {
        {"Diag/Old/a.bin", true},  {"Diag/Old/new.bin", true},       {"Diag/New/x.bin", false},
        {"Diag/New/y.bin", false}, {"Diag/New/deeper/z.bin", false}, {"Diag/Old", true},
        {"Top.bin", true},
    };
    // Without a cache, then twice with one: missing folders remembered as
    // missing must not hide the folders that exist.
    QHash<QString, QString> cache;
    for (QHash<QString, QString> *pCache : {(QHash<QString, QString> *)nullptr, &cache, &cache}) {
        for (const Case &c : cases) {
            bool bFolderExists = !c.bFolderExists;
            QCOMPARE(PathInside(sDisk, c.pRelative, pCache, &bFolderExists),
                     sDisk + '/' + c.pRelative);
            QVERIFY2(bFolderExists == c.bFolderExists, c.pRelative);
        }
    }
    // A disk that is not there: nothing exists.
    bool bFolderExists = true;
    QCOMPARE(PathInside(sDisk + "/gone", "a/b.bin", &cache, &bFolderExists),
             sDisk + "/gone/a/b.bin");
    QVERIFY(!bFolderExists);
}

void tst_PackagePaths::componentsInside_data()
{
    QTest::addColumn<QStringList>("slPath");
    QTest::addColumn<QStringList>("slFolder");
    QTest::addColumn<bool>("bInside");
    QTest::newRow("inside") << QStringList{"Diag", "x"} << QStringList{"Diag"} << true;
    QTest::newRow("case ignored") << QStringList{"home", "MAIN.bin"} << QStringList{"Home"} << true;
    QTest::newRow("sibling") << QStringList{"Other", "x"} << QStringList{"Diag"} << false;
    QTest::newRow("prefix of a name")
        << QStringList{"Diagnose", "x"} << QStringList{"Diag"} << false;
    QTest::newRow("disk as folder") << QStringList{"any", "x"} << QStringList() << true;
}

void tst_PackagePaths::componentsInside()
{
    QFETCH(QStringList, slPath);
    QFETCH(QStringList, slFolder);
    QFETCH(bool, bInside);
    QCOMPARE(ComponentsInside(slPath, slFolder), bInside);
}

void tst_PackagePaths::languagePrefix_data()
{
    QTest::addColumn<QString>("sText");
    QTest::addColumn<QString>("sLang");
    QTest::addColumn<QString>("sResult");
    QTest::newRow("prefix in other case") << "en/Diag/x y.bin"
                                          << "EN"
                                          << "Diag/x y.bin";
    QTest::newRow("no prefix") << "Diag/x.bin"
                               << "EN"
                               << "Diag/x.bin";
    QTest::newRow("language as a name start") << "english/x"
                                              << "EN"
                                              << "english/x";
    QTest::newRow("empty language drops one slash") << "//Diag"
                                                    << ""
                                                    << "/Diag";
}

void tst_PackagePaths::languagePrefix()
{
    QFETCH(QString, sText);
    QFETCH(QString, sLang);
    QFETCH(QString, sResult);
    QCOMPARE(PackageManifest::WithoutLanguagePrefix(sText, sLang), sResult);
}

void tst_PackagePaths::reservedPlaces_data()
{
    QTest::addColumn<QString>("sRelative");
    QTest::addColumn<bool>("bReserved");
    QTest::newRow("serial number") << "sn.txt" << true;
    QTest::newRow("serial number, other case") << "SN.TXT" << true;
    QTest::newRow("serial number, spelt oddly") << ".//sn.txt" << true;
    QTest::newRow("records folder") << "SaveData" << true;
    QTest::newRow("a record") << "SaveData/DTC/1.dat" << true;
    QTest::newRow("a record, other case") << "savedata\\x.bin" << true;
    QTest::newRow("sn.txt below the root") << "Diag/sn.txt" << false;
    QTest::newRow("SaveData below the root") << "Diag/SaveData/x.bin" << false;
    QTest::newRow("a name beginning so") << "SaveDataOld/x.bin" << false;
    QTest::newRow("another file at the root") << "sn.txt.bak" << false;
}

void tst_PackagePaths::reservedPlaces()
{
    QFETCH(QString, sRelative);
    QFETCH(bool, bReserved);
    bool bOk = false;
    QCOMPARE(IsReservedOnDisk(SafeRelativeComponents(sRelative, &bOk)), bReserved);
    QVERIFY(bOk);
    QTemporaryDir dir;
    const QString sJoined = PathInside(dir.path(), sRelative);
    QCOMPARE(sJoined.isEmpty(), bReserved);
}

void tst_PackagePaths::linkIntoReservedPlaceIsRefused()
{
    QTemporaryDir dir;
    const QString sDisk = dir.path() + "/disk";
    QVERIFY(QDir().mkpath(sDisk + "/SaveData/DTC"));
    QVERIFY(QDir().mkpath(sDisk + "/Diag"));
    QFile sn(sDisk + "/sn.txt");
    QVERIFY(sn.open(QIODevice::WriteOnly));
    sn.close();
    QVERIFY(QFile::link(sDisk + "/SaveData", sDisk + "/Diag/Records"));
    QVERIFY(QFile::link(sDisk + "/SaveData/DTC", sDisk + "/Diag/Codes"));
    QVERIFY(QFile::link(sDisk + "/sn.txt", sDisk + "/Diag/serial.bin"));
    // On Windows QFile::link makes shell shortcuts, which lead nowhere.
    if (!QFileInfo(sDisk + "/Diag/Records").isSymLink())
        QSKIP("no symbolic links here");
    QHash<QString, QString> cache;
    for (QHash<QString, QString> *pCache : {(QHash<QString, QString> *)nullptr, &cache, &cache}) {
        QCOMPARE(PathInside(sDisk, "Diag/Records/x.bin", pCache), QString());
        QCOMPARE(PathInside(sDisk, "Diag/Codes/new/x.bin", pCache), QString());
        QCOMPARE(PathInside(sDisk, "Diag/serial.bin", pCache), QString());
        QCOMPARE(PathInside(sDisk, "Diag/x.bin", pCache), sDisk + "/Diag/x.bin");
    }
}

void tst_PackagePaths::packageFolder_data()
{
    QTest::addColumn<QString>("sDir");
    QTest::addColumn<QString>("sLang");
    QTest::addColumn<bool>("bOk");
    QTest::newRow("a folder") << "Diag/VW"
                              << "" << true;
    QTest::newRow("with its language folder") << "EN/Diag/VW"
                                              << "en" << true;
    QTest::newRow("empty") << ""
                           << "" << false;
    QTest::newRow("dot") << "."
                         << "" << false;
    QTest::newRow("dot and slashes") << ".//./"
                                     << "" << false;
    QTest::newRow("the root") << "/"
                              << "" << false;
    QTest::newRow("only the language folder") << "EN/"
                                              << "EN" << false;
    QTest::newRow("the records") << "SaveData"
                                 << "" << false;
    QTest::newRow("below the records") << "savedata/DTC"
                                       << "" << false;
    QTest::newRow("the serial number") << "sn.txt"
                                       << "" << false;
}

void tst_PackagePaths::packageFolder()
{
    QFETCH(QString, sDir);
    QFETCH(QString, sLang);
    QFETCH(bool, bOk);
    bool bResult = !bOk;
    const QStringList slFolder =
        PackageManifest(QJsonObject{{"dir", sDir}}).FolderComponents(sLang, &bResult);
    QCOMPARE(bResult, bOk);
    QCOMPARE(slFolder.isEmpty(), !bOk);
}

QTEST_GUILESS_MAIN(tst_PackagePaths)
#include "tst_PackagePaths.moc"
