// The removable test against small copies of the sysfs and udev trees.

#include "platform/linux/BlockDevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_BlockDevice : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tree;
    QString sSys;
    QString sUdev;

    static void Write(const QString &sPath, const QByteArray &baText)
    {
        QDir().mkpath(QFileInfo(sPath).path());
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(baText);
    }

    // A disk with partitions the way the kernel lays them out: the class entry
    // links into the device tree, partitions sit inside their disk's folder.
    void AddDisk(const QString &sName, const QByteArray &baRemovable, int nMajor, int nMinor,
                 int nPartitions)
    {
        const QString sDiskDir = sSys + QStringLiteral("/devices/pci0/host/block/") + sName;
        Write(sDiskDir + QStringLiteral("/removable"), baRemovable + "\n");
        Write(sDiskDir + QStringLiteral("/dev"),
              QByteArray::number(nMajor) + ':' + QByteArray::number(nMinor) + "\n");
        QDir().mkpath(sSys + QStringLiteral("/class/block"));
        QFile::link(sDiskDir, sSys + QStringLiteral("/class/block/") + sName);
        for (int i = 1; i <= nPartitions; ++i) {
            const QString sPart = sName + QString::number(i);
            Write(sDiskDir + QLatin1Char('/') + sPart + QStringLiteral("/partition"),
                  QByteArray::number(i));
            Write(sDiskDir + QLatin1Char('/') + sPart + QStringLiteral("/dev"),
                  QByteArray::number(nMajor) + ':' + QByteArray::number(nMinor + i) + "\n");
            QFile::link(sDiskDir + QLatin1Char('/') + sPart,
                        sSys + QStringLiteral("/class/block/") + sPart);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tree.isValid());
        sSys = tree.filePath(QStringLiteral("sys"));
        sUdev = tree.filePath(QStringLiteral("udev"));
        AddDisk(QStringLiteral("sda"), "0", 8, 0, 2);  // internal disk
        AddDisk(QStringLiteral("sdb"), "1", 8, 16, 1); // card reader, removable flag
        AddDisk(QStringLiteral("sdc"), "0", 8, 32, 1); // USB disk that claims to be fixed
        AddDisk(QStringLiteral("sdd"), "0", 8, 48, 0); // USB disk without partition table
        Write(sUdev + QStringLiteral("/b8:33"),
              "S:disk/by-id/usb-KX\nE:ID_BUS=usb\nE:ID_FS_TYPE=vfat\n");
        Write(sUdev + QStringLiteral("/b8:48"), "E:ID_BUS=usb\n");
        Write(sUdev + QStringLiteral("/b8:1"), "E:ID_BUS=ata\nE:ID_FS_LABEL=usb\n");
    }

    void removable_data()
    {
        QTest::addColumn<QString>("sDevice");
        QTest::addColumn<bool>("bRemovable");
        QTest::newRow("internal partition") << "/dev/sda1" << false;
        QTest::newRow("internal disk") << "/dev/sda" << false;
        QTest::newRow("removable partition") << "/dev/sdb1" << true;
        QTest::newRow("removable disk") << "/dev/sdb" << true;
        QTest::newRow("usb partition") << "/dev/sdc1" << true;
        QTest::newRow("usb whole disk") << "/dev/sdd" << true;
        QTest::newRow("unknown device") << "/dev/sdz1" << false;
        QTest::newRow("tmpfs") << "tmpfs" << false;
        QTest::newRow("empty") << "" << false;
    }

    void removable()
    {
        QFETCH(QString, sDevice);
        QFETCH(bool, bRemovable);
        QCOMPARE(IsRemovableBlockDevice(sDevice, sSys, sUdev), bRemovable);
    }
};

QTEST_GUILESS_MAIN(tst_BlockDevice)
#include "tst_BlockDevice.moc"
