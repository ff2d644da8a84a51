// Noticing device disks that come and go, and mount-table changes.

#include "TestTools.h"
#include "device/DeviceDiskWatcher.h"
#include "device/DeviceDisks.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestTools;

class tst_DeviceDiskWatcher : public QObject
{
    Q_OBJECT

private:
    static bool WriteSerial(const QString &sDisk, const QByteArray &baSerial)
    {
        QFile file(sDisk + QStringLiteral("/sn.txt"));
        return file.open(QIODevice::WriteOnly) && file.write(baSerial) == baSerial.size();
    }

private slots:
    void cleanup() { SetDeviceDiskFolders(QStringList()); }

    void folderComesAndGoes()
    {
        QTemporaryDir root;
        const QString sDisk = root.filePath(QStringLiteral("KX"));
        SetDeviceDiskFolders({sDisk});
        DeviceDiskWatcher watcher;
        QSignalSpy spy(&watcher, &DeviceDiskWatcher::VolumesChanged);

        // Filled elsewhere and moved in, as a mount would present it at once.
        const QString sStaging = root.filePath(QStringLiteral("staging"));
        QVERIFY(QDir().mkpath(sStaging));
        QVERIFY(WriteSerial(sStaging, "D000000000001"));
        QVERIFY(QDir().rename(sStaging, sDisk));
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.count(), 1);

        QVERIFY(QDir(sDisk).removeRecursively());
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.count(), 2);
    }

    void folderCountsOnceItHoldsItsSerial()
    {
        QTemporaryDir root;
        const QString sDisk = root.filePath(QStringLiteral("KX"));
        SetDeviceDiskFolders({sDisk});
        DeviceDiskWatcher watcher;
        QSignalSpy spy(&watcher, &DeviceDiskWatcher::VolumesChanged);

        QVERIFY(QDir().mkpath(sDisk));
        QVERIFY(WriteSerial(sDisk, "T000000000001"));
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.count(), 1);
    }

    void unrelatedChangesAreQuiet()
    {
        QTemporaryDir root;
        const QString sDisk = root.filePath(QStringLiteral("KX"));
        QVERIFY(QDir().mkpath(sDisk));
        QVERIFY(WriteSerial(sDisk, "D000000000001"));
        SetDeviceDiskFolders({sDisk});
        DeviceDiskWatcher watcher;
        QSignalSpy spy(&watcher, &DeviceDiskWatcher::VolumesChanged);

        // Files beside the disk and inside it change nothing about the disk...
        QVERIFY(QDir(root.path()).mkdir(QStringLiteral("other")));
        QVERIFY(QDir(sDisk).mkdir(QStringLiteral("Home")));
        QFile note(sDisk + QStringLiteral("/note.txt"));
        QVERIFY(note.open(QIODevice::WriteOnly));
        note.close();
        QVERIFY(!spy.wait(500));
        // ...while its removal does.
        QVERIFY(QDir(sDisk).removeRecursively());
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.count(), 1);
    }

    void mountTableChangeIsReported()
    {
        DeviceDiskWatcher watcher;
        if (!watcher.WatchesMountTable())
            QSKIP("this platform reports volume changes to the window, not through a mount table");
        QTemporaryDir root;
        const QString sMount = root.filePath(QStringLiteral("tmpfs"));
        QVERIFY(QDir().mkpath(sMount));
        QSignalSpy spy(&watcher, &DeviceDiskWatcher::MountTableChanged);

        const QString sError = MountTmpfs(sMount);
        if (!sError.isEmpty())
            QSKIP(qPrintable(QStringLiteral("mounting a tmpfs is not permitted here: ") + sError));
        const bool bMounted = spy.count() > 0 || spy.wait(10000);
        const QString sUnmountError = Unmount(sMount);
        QVERIFY2(sUnmountError.isEmpty(), qPrintable(sUnmountError));
        QVERIFY2(bMounted, "mounting was not reported");
        const int nAfterMount = spy.count();
        QVERIFY2(spy.count() > nAfterMount || spy.wait(10000), "unmounting was not reported");
    }
};

QTEST_GUILESS_MAIN(tst_DeviceDiskWatcher)
#include "tst_DeviceDiskWatcher.moc"
