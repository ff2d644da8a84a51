// Checking an installed package against its "Update.json": what counts as
// intact, damaged, missing or refused, and what a missing or broken manifest
// gives.

#include "PosixFiles.h"
#include "TestWidgets.h"
#include "update/PackageCheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <functional>

using TestWidgets::WriteFile;

Q_DECLARE_METATYPE(FileFault::Kind)

namespace
{

QString Md5(const QByteArray &baData)
{
    return QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
}

QJsonObject Entry(const QString &sPath, const QByteArray &baContent)
{
    return QJsonObject{{"Path", sPath}, {"Hash", Md5(baContent)}, {"Size", baContent.size()}};
}

const QByteArray kA("first file of the package");
const QByteArray kB(300 * 1024, 'b');
const QByteArray kShared("shared by several packages");

} // namespace

class tst_PackageCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void judgesEachFile_data();
    void judgesEachFile();
    void manifestMissingOrUnreadable_data();
    void manifestMissingOrUnreadable();
    void unsafePathsAreRefusedNotRead_data();
    void unsafePathsAreRefusedNotRead();
    void devicesOwnPlacesAreNoPackages_data();
    void devicesOwnPlacesAreNoPackages();
    void entriesWithoutDigestOrSize();
    void reportsProgressInBytes();
    void cancelEndsTheCheck();

private:
    QTemporaryDir root;
    QString sDisk;
    QString sFolder;
    QJsonArray jaFiles;

    void WriteManifest(const QJsonObject &joManifest);
    QJsonObject Manifest() const;
};

void tst_PackageCheck::init()
{
    QVERIFY(root.isValid());
    sDisk = root.filePath("disk");
    QDir(sDisk).removeRecursively();
    sFolder = sDisk + "/Diag/Engine";
    QVERIFY(WriteFile(sDisk + "/sn.txt", "D000000000001"));
    QVERIFY(WriteFile(sFolder + "/a.bin", kA));
    QVERIFY(WriteFile(sFolder + "/sub/b.bin", kB));
    QVERIFY(WriteFile(sDisk + "/Diag/Common/shared.bin", kShared));
    jaFiles = QJsonArray{Entry("Diag/Engine/a.bin", kA), Entry("Diag/Engine/sub/b.bin", kB),
                         Entry("Diag/Common/shared.bin", kShared),
                         // never fetched, so never judged
                         Entry("Diag/Engine/config.json", "{}"),
                         // on the disk it is the installed form, not the server's file
                         Entry("Diag/Engine/update.json", "the server's own file")};
}

QJsonObject tst_PackageCheck::Manifest() const
{
    return QJsonObject{{"dir", "Diag/Engine"}, {"rev", "2.0"}, {"files", jaFiles}};
}

void tst_PackageCheck::WriteManifest(const QJsonObject &joManifest)
{
    QVERIFY(WriteFile(sFolder + "/Update.json", QJsonDocument(joManifest).toJson()));
}

void tst_PackageCheck::judgesEachFile_data()
{
    QTest::addColumn<QString>("sFile"); // below the disk; empty: nothing is changed
    QTest::addColumn<QByteArray>("baContent");
    QTest::addColumn<bool>("bRemove");
    QTest::addColumn<int>("nKind"); // -1: intact

    QTest::newRow("intact") << "" << QByteArray() << false << -1;
    QByteArray baFlipped = kB;
    baFlipped[200000] = 'c';
    QTest::newRow("one byte changed")
        << "Diag/Engine/sub/b.bin" << baFlipped << false << int(FileFault::DigestDiffers);
    QTest::newRow("missing") << "Diag/Engine/a.bin" << QByteArray() << true
                             << int(FileFault::Missing);
    QTest::newRow("shared file missing")
        << "Diag/Common/shared.bin" << QByteArray() << true << int(FileFault::Missing);
    QTest::newRow("one byte longer")
        << "Diag/Engine/a.bin" << QByteArray(kA + "x") << false << int(FileFault::SizeDiffers);
    QTest::newRow("cut short") << "Diag/Engine/sub/b.bin" << kB.left(4096) << false
                               << int(FileFault::SizeDiffers);
    QTest::newRow("emptied") << "Diag/Engine/a.bin" << QByteArray() << false
                             << int(FileFault::SizeDiffers);
}

void tst_PackageCheck::judgesEachFile()
{
    QFETCH(QString, sFile);
    QFETCH(QByteArray, baContent);
    QFETCH(bool, bRemove);
    QFETCH(int, nKind);
    WriteManifest(Manifest());
    if (bRemove)
        QVERIFY(QFile::remove(sDisk + "/" + sFile));
    else if (!sFile.isEmpty())
        QVERIFY(WriteFile(sDisk + "/" + sFile, baContent));

    const PackageCheckResult result = PackageCheck(sDisk).Check(sFolder);
    QCOMPARE(result.sFolder, sFolder);
    QCOMPARE(result.nFiles, 3);
    QCOMPARE(result.joManifest.value("rev").toString(), QStringLiteral("2.0"));
    if (nKind < 0) {
        QCOMPARE(result.state, PackageCheckResult::Intact);
        QVERIFY(result.faults.isEmpty());
        return;
    }
    QCOMPARE(result.state, PackageCheckResult::Damaged);
    QCOMPARE(result.faults.size(), 1);
    QCOMPARE(result.faults.at(0).sPath, sFile);
    QCOMPARE(QDir::cleanPath(result.faults.at(0).sLocal), sDisk + "/" + sFile);
    QCOMPARE(int(result.faults.at(0).kind), nKind);
}

void tst_PackageCheck::manifestMissingOrUnreadable_data()
{
    QTest::addColumn<QString>("sName"); // empty: no manifest
    QTest::addColumn<QByteArray>("baManifest");
    QTest::addColumn<int>("nState");

    QTest::newRow("none") << "" << QByteArray() << int(PackageCheckResult::ManifestMissing);
    QTest::newRow("empty file") << "Update.json" << QByteArray()
                                << int(PackageCheckResult::ManifestUnreadable);
    QTest::newRow("cut off") << "Update.json" << QByteArray(R"({"rev": "2.0", "files": [)")
                             << int(PackageCheckResult::ManifestUnreadable);
    QTest::newRow("an array") << "Update.json" << QByteArray("[]")
                              << int(PackageCheckResult::ManifestUnreadable);
    QTest::newRow("no file list") << "Update.json" << QByteArray(R"({"rev": "2.0"})")
                                  << int(PackageCheckResult::ManifestUnreadable);
    QTest::newRow("file list not a list")
        << "Update.json" << QByteArray(R"({"rev": "2.0", "files": {}})")
        << int(PackageCheckResult::ManifestUnreadable);
    QTest::newRow("a folder of that name")
        << "Update.json/" << QByteArray() << int(PackageCheckResult::ManifestMissing);
    QTest::newRow("other letter case, empty list")
        << "UPDATE.JSON" << QByteArray(R"({"dir": "Diag/Engine", "files": []})")
        << int(PackageCheckResult::Intact);
}

void tst_PackageCheck::manifestMissingOrUnreadable()
{
    QFETCH(QString, sName);
    QFETCH(QByteArray, baManifest);
    QFETCH(int, nState);
    if (sName.endsWith('/'))
        QVERIFY(QDir().mkpath(sFolder + "/" + sName));
    else if (!sName.isEmpty())
        QVERIFY(WriteFile(sFolder + "/" + sName, baManifest));

    const PackageCheckResult result = PackageCheck(sDisk).Check(sFolder);
    QCOMPARE(int(result.state), nState);
    QVERIFY(result.faults.isEmpty());
    if (nState != PackageCheckResult::Intact)
        QVERIFY(result.joManifest.isEmpty());
}

void tst_PackageCheck::unsafePathsAreRefusedNotRead_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::addColumn<QString>("sDir");
    QTest::newRow("parent") << "../outside.bin"
                            << "Diag/Engine";
    QTest::newRow("deep parent") << "Diag/../../outside.bin"
                                 << "Diag/Engine";
    QTest::newRow("absolute") << ("//" + root.path() + "/outside.bin") << "Diag/Engine";
    QTest::newRow("device records") << "savedata/record.bin"
                                    << "Diag/Engine";
    QTest::newRow("serial number") << "SN.TXT"
                                   << "Diag/Engine";
    QTest::newRow("package folder above the disk") << "Diag/Engine/a.bin"
                                                   << "../Diag/Engine";
    QTest::newRow("link out of the disk") << "Diag/Link/outside.bin"
                                          << "Diag/Engine";
}

void tst_PackageCheck::unsafePathsAreRefusedNotRead()
{
    QFETCH(QString, sPath);
    QFETCH(QString, sDir);
    if (sPath.startsWith("Diag/Link/") && !CanMakePosixSpecialFiles())
        QSKIP("no symbolic links here");
    const QByteArray baOutside("outside the disk");
    QVERIFY(WriteFile(root.filePath("outside.bin"), baOutside));
    QVERIFY(WriteFile(sDisk + "/SaveData/record.bin", baOutside));
    QVERIFY(QFile::link(root.path(), sDisk + "/Diag/Link"));
    // Each of these matches what it names: only the refusal makes it a fault.
    jaFiles = QJsonArray{Entry("Diag/Engine/a.bin", kA), Entry(sPath, baOutside)};
    if (sPath.endsWith("SN.TXT"))
        jaFiles[1] = Entry(sPath, "D000000000001");
    QJsonObject joManifest = Manifest();
    joManifest.insert("dir", sDir);
    WriteManifest(joManifest);

    const PackageCheckResult result = PackageCheck(sDisk).Check(sFolder);
    QCOMPARE(result.state, PackageCheckResult::Damaged);
    // An unsafe package folder refuses every entry, as the downloader does.
    QCOMPARE(result.faults.size(), sDir.startsWith("..") ? 2 : 1);
    for (const FileFault &fault : result.faults) {
        QCOMPARE(fault.kind, FileFault::Refused);
        QVERIFY(fault.sLocal.isEmpty());
    }
    QCOMPARE(result.faults.constLast().sPath, sPath);
}

void tst_PackageCheck::devicesOwnPlacesAreNoPackages_data()
{
    // A manifest left (or planted) in the device's own places: such a folder
    // is never judged, whatever the manifest says.
    QTest::addColumn<QString>("sFolder"); // below the disk
    QTest::newRow("SaveData") << "SaveData";
    QTest::newRow("SaveData in another case") << "SAVEDATA";
    QTest::newRow("a records folder") << "SaveData/DTC";
    QTest::newRow("a link to SaveData") << "Diag/Records";
    QTest::newRow("the disk's root") << "";
}

void tst_PackageCheck::devicesOwnPlacesAreNoPackages()
{
    QFETCH(QString, sFolder);
    if (sFolder == "Diag/Records") {
        if (!CanMakePosixSpecialFiles())
            QSKIP("no symbolic links here");
        QVERIFY(QDir().mkpath(sDisk + "/SaveData"));
        QVERIFY(QFile::link(sDisk + "/SaveData", sDisk + "/Diag/Records"));
    }
    const QString sPath = sFolder.isEmpty() ? sDisk : sDisk + "/" + sFolder;
    // Its files are where it says, so that it would be intact if it were a package.
    QVERIFY(WriteFile(sPath + "/Update.json",
                      QJsonDocument(QJsonObject{{"dir", sFolder},
                                                {"rev", "1"},
                                                {"files", QJsonArray{Entry("sn.txt", "D")}}})
                          .toJson()));
    const PackageCheckResult result = PackageCheck(sDisk).Check(sPath);
    QCOMPARE(result.state, PackageCheckResult::NotAPackage);
    QCOMPARE(result.nFiles, 0);
    QVERIFY(result.faults.isEmpty());
    QVERIFY(result.joManifest.isEmpty());
}

void tst_PackageCheck::entriesWithoutDigestOrSize()
{
    QJsonObject joNoDigest = Entry("Diag/Engine/a.bin", kA);
    joNoDigest.remove("Hash");
    QJsonObject joNoSize = Entry("Diag/Engine/sub/b.bin", kB);
    joNoSize.remove("Size");
    QJsonObject joUpper = Entry("Diag/Common/shared.bin", kShared);
    joUpper.insert("Hash", joUpper.value("Hash").toString().toUpper());
    jaFiles = QJsonArray{joNoDigest, joNoSize, joUpper};
    WriteManifest(Manifest());
    QCOMPARE(PackageCheck(sDisk).Check(sFolder).state, PackageCheckResult::Intact);

    // Without a size, the digest still finds a change; without a digest, the size does.
    QByteArray baFlipped = kB;
    baFlipped[0] = 'x';
    QVERIFY(WriteFile(sFolder + "/sub/b.bin", baFlipped + "tail"));
    QVERIFY(WriteFile(sFolder + "/a.bin", kA + "tail"));
    const PackageCheckResult result = PackageCheck(sDisk).Check(sFolder);
    QCOMPARE(result.state, PackageCheckResult::Damaged);
    QCOMPARE(result.faults.size(), 2);
    QCOMPARE(result.faults.at(0).sPath, QStringLiteral("Diag/Engine/a.bin"));
    QCOMPARE(result.faults.at(0).kind, FileFault::SizeDiffers);
    QCOMPARE(result.faults.at(1).sPath, QStringLiteral("Diag/Engine/sub/b.bin"));
    QCOMPARE(result.faults.at(1).kind, FileFault::DigestDiffers);
}

void tst_PackageCheck::reportsProgressInBytes()
{
    WriteManifest(Manifest());
    QList<QPair<quint64, quint64>> calls;
    PackageCheck check(sDisk);
    check.SetProgress([&](quint64 nDone, quint64 nTotal) { calls.append({nDone, nTotal}); });
    QCOMPARE(check.Check(sFolder).state, PackageCheckResult::Intact);
    const quint64 nBytes = quint64(kA.size() + kB.size() + kShared.size());
    QCOMPARE(calls.size(), 4);
    QCOMPARE(calls.first(), qMakePair(quint64(0), nBytes));
    QCOMPARE(calls.last(), qMakePair(nBytes, nBytes));
}

void tst_PackageCheck::cancelEndsTheCheck()
{
    // Many files, so that the cancel lands before the last one.
    jaFiles = QJsonArray();
    for (int i = 0; i < 64; ++i) {
        const QByteArray baContent = QByteArray::number(i).repeated(100);
        QVERIFY(WriteFile(sFolder + QStringLiteral("/many/%1.bin").arg(i), baContent));
        jaFiles.append(Entry(QStringLiteral("Diag/Engine/many/%1.bin").arg(i), baContent));
    }
    WriteManifest(Manifest());
    std::atomic<bool> bCancel{false};
    PackageCheck check(sDisk);
    check.SetCancelFlag(&bCancel);
    std::atomic<int> nCalls{0};
    check.SetProgress([&](quint64 nDone, quint64) {
        ++nCalls;
        if (nDone > 0)
            bCancel = true;
    });
    QCOMPARE(check.Check(sFolder).state, PackageCheckResult::Cancelled);
    QVERIFY(nCalls < 64);

    // Raised before the start, nothing is read.
    nCalls = 0;
    QCOMPARE(check.Check(sFolder).state, PackageCheckResult::Cancelled);
    QCOMPARE(nCalls.load(), 0);
}

QTEST_GUILESS_MAIN(tst_PackageCheck)
#include "tst_PackageCheck.moc"
