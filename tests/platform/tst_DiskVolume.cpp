// Facts about the volume of a device disk, on real mounts: a tmpfs for the
// volume's identity, a FAT file system (through FUSE) for names that ignore
// letter case.

#include "FatDisk.h"
#include "TestTools.h"
#include "platform/DiskVolume.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
std::uint64_t IdOf(const QString &sPath, bool *pOk)
{
    std::uint64_t nId = 0;
    *pOk = VolumeIdOf(sPath.toStdString(), &nId);
    return nId;
}

void Touch(const QString &sPath)
{
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
}
} // namespace

class tst_DiskVolume : public QObject
{
    Q_OBJECT

private slots:
    void volumeOfAMountedDisk();
    void namesIgnoreCase();
    void flushFolder();
};

void tst_DiskVolume::volumeOfAMountedDisk()
{
    QTemporaryDir dir;
    const QString sMount = dir.filePath("disk");
    QVERIFY(QDir().mkpath(sMount));
    bool bOk = false;
    const std::uint64_t nHost = IdOf(sMount, &bOk);
    QVERIFY(bOk);
    const QString sError = TestTools::MountTmpfs(sMount);
    if (!sError.isEmpty())
        QSKIP(qPrintable("cannot mount a tmpfs: " + sError));
    const std::uint64_t nDisk = IdOf(sMount, &bOk);
    QVERIFY(bOk);
    QVERIFY(nDisk != nHost);
    QVERIFY(QDir().mkpath(sMount + "/Diag"));
    QCOMPARE(IdOf(sMount + "/Diag", &bOk), nDisk);
    // Pulled out: the folder left behind belongs to the computer's disk.
    QCOMPARE(TestTools::Unmount(sMount), QString());
    QCOMPARE(IdOf(sMount, &bOk), nHost);
    QVERIFY(QDir(sMount).removeRecursively());
    IdOf(sMount, &bOk);
    QVERIFY(!bOk);
}

void tst_DiskVolume::namesIgnoreCase()
{
    QTemporaryDir dir;
    const QString sPlain = dir.filePath("plain");
    QVERIFY(QDir().mkpath(sPlain));
    QVERIFY(!NamesIgnoreCase(sPlain.toStdString())); // nothing to tell by: case counts
    Touch(sPlain + "/sn.txt");
    QVERIFY(!NamesIgnoreCase(sPlain.toStdString()));
    Touch(sPlain + "/SN.TXT");
    QVERIFY(!NamesIgnoreCase(sPlain.toStdString()));

    const QString sFat = dir.filePath("fat");
    QVERIFY(QDir().mkpath(sFat));
    const FatDisk fat(dir.filePath("fat.img"), sFat);
    if (!fat.IsMounted())
        QSKIP(qPrintable("no FAT disk: " + fat.Error()));
    // A device disk's root always holds its serial number.
    Touch(sFat + "/sn.txt");
    QVERIFY(NamesIgnoreCase(sFat.toStdString()));
    QVERIFY(QDir().mkpath(sFat + "/Diag"));
    Touch(sFat + "/Diag/a.bin");
    QVERIFY(NamesIgnoreCase((sFat + "/Diag").toStdString()));
}

void tst_DiskVolume::flushFolder()
{
    QTemporaryDir dir;
    QVERIFY(FlushFolder(dir.path().toStdString()));
    QVERIFY(!FlushFolder(dir.filePath("missing").toStdString()));
}

QTEST_GUILESS_MAIN(tst_DiskVolume)
#include "tst_DiskVolume.moc"
