// Device disks on Windows: drive types from the system and "/sn.txt" on the
// removable ones. Under Wine, scripts/windows/test maps folders as drive letters
// of the removable kind and names them in UA_TEST_REMOVABLE_DRIVE (with a serial
// number file) and UA_TEST_REMOVABLE_EMPTY_DRIVE (without).
#include "device/DeviceDisks.h"
#include "platform/RemovableVolume.h"

#include <QtTest>

class tst_WinDeviceDisks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void diskFoldersAreSemicolonSeparated();
    void fixedDriveIsNotRemovable();
    void removableDriveWithSerialNumberIsDeviceDisk();
    void driveLettersIgnoreCase();

private:
    QTemporaryDir dir;
    QStringList slFolders;
};

void tst_WinDeviceDisks::initTestCase()
{
    QVERIFY(dir.isValid());
    // Folders standing in for disks, named as on Windows: drive letters contain
    // colons, so the list is separated by semicolons (as PATH is).
    for (const QString &sName : {QStringLiteral("KX1"), QStringLiteral("KX2")}) {
        const QString sFolder = dir.filePath(sName);
        QVERIFY(QDir().mkpath(sFolder));
        QFile serial(sFolder + QStringLiteral("/sn.txt"));
        QVERIFY(serial.open(QIODevice::WriteOnly));
        serial.write("D52000000000" + sName.right(1).toLatin1());
        slFolders << QDir::toNativeSeparators(sFolder);
    }
    qputenv("UPDATEASSIST_DISKS", slFolders.join(QLatin1Char(';')).toLocal8Bit());
}

void tst_WinDeviceDisks::diskFoldersAreSemicolonSeparated()
{
    const QStringList slExpected = {QDir::fromNativeSeparators(slFolders.at(0)),
                                    QDir::fromNativeSeparators(slFolders.at(1))};
    QCOMPARE(DeviceDiskFolders(), slExpected);
    const QStringList slDisks = ListDeviceDisks();
    QVERIFY2(slDisks.contains(slExpected.at(0)) && slDisks.contains(slExpected.at(1)),
             qPrintable(slDisks.join(' ')));
}

void tst_WinDeviceDisks::fixedDriveIsNotRemovable()
{
    const QString sSystem = QDir::rootPath(); // the system drive, "C:/"
    QVERIFY(!IsRemovableVolume(sSystem.toStdString(), std::string()));
    QVERIFY(!IsRemovableVolume("", std::string()));
    QVERIFY(!IsRemovableVolume("/media/kx", std::string()));
    QVERIFY(!ListDeviceDisks().contains(sSystem.left(2), Qt::CaseInsensitive));
}

void tst_WinDeviceDisks::removableDriveWithSerialNumberIsDeviceDisk()
{
    const QString sDrive = qEnvironmentVariable("UA_TEST_REMOVABLE_DRIVE");
    const QString sEmpty = qEnvironmentVariable("UA_TEST_REMOVABLE_EMPTY_DRIVE");
    if (sDrive.isEmpty() || sEmpty.isEmpty())
        QSKIP("no removable drives prepared (scripts/windows/test maps them under Wine)");
    QVERIFY(IsRemovableVolume((sDrive + "/").toStdString(), std::string()));
    QVERIFY(IsRemovableVolume((sEmpty + "/").toStdString(), std::string()));
    const QStringList slDisks = ListDeviceDisks();
    QVERIFY2(slDisks.contains(sDrive), qPrintable(slDisks.join(' ')));
    QVERIFY2(!slDisks.contains(sEmpty), qPrintable(slDisks.join(' ')));
    // Drives come first, in the order of their letters, then the folders.
    QCOMPARE(slDisks.first(), sDrive);
    bool bOk = false;
    QCOMPARE(ReadSerialNumber(sDrive, &bOk), QStringLiteral("D520000000001"));
    QVERIFY(bOk);
    QCOMPARE(DiskDisplayName(sDrive), sDrive.left(1));
    QVERIFY(DiskAvailableBytes(sDrive) > 0);
    const QStorageInfo volume(sDrive);
    QVERIFY(DiskTipHtml(sDrive).contains(FormatSize(quint64(volume.bytesTotal()))));
}

void tst_WinDeviceDisks::driveLettersIgnoreCase()
{
    QVERIFY(IsSameDisk(QStringLiteral("e:"), QStringLiteral("E:")));
    QVERIFY(!IsSameDisk(QStringLiteral("E:"), QStringLiteral("F:")));
}

QTEST_GUILESS_MAIN(tst_WinDeviceDisks)
#include "tst_WinDeviceDisks.moc"
