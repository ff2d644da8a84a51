// Device disk detection through folders standing in for removable volumes.

#include "FifoWatch.h"
#include "TestTools.h"
#include "device/DeviceDisks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TestTools;

class tst_DeviceDisks : public QObject
{
    Q_OBJECT

private:
    // A folder with "/sn.txt" holding baSerial (no file when baSerial is null).
    static QString MakeDisk(const QTemporaryDir &root, const QString &sName,
                            const QByteArray &baSerial)
    {
        const QString sDisk = root.filePath(sName);
        QDir().mkpath(sDisk);
        if (!baSerial.isNull()) {
            QFile file(sDisk + QStringLiteral("/sn.txt"));
            if (!file.open(QIODevice::WriteOnly))
                return QString();
            file.write(baSerial);
        }
        return sDisk;
    }

private slots:
    void cleanup() { SetDeviceDiskFolders(QStringList()); }

    void formatSize_data()
    {
        QTest::addColumn<quint64>("nBytes");
        QTest::addColumn<QString>("sText");
        QTest::newRow("zero") << quint64(0) << "0 Bytes";
        QTest::newRow("one") << quint64(1) << "1 Bytes";
        QTest::newRow("below a KB") << quint64(1023) << "1023 Bytes";
        QTest::newRow("exactly a KB") << quint64(1024) << "1.00 KB";
        QTest::newRow("KB and a half") << quint64(1536) << "1.50 KB";
        QTest::newRow("exactly a MB") << quint64(1048576) << "1.00 MB";
        QTest::newRow("GB and a half") << quint64(1610612736) << "1.50 GB";
        QTest::newRow("exactly a TB") << (quint64(1) << 40) << "1.00 TB";
        QTest::newRow("largest") << std::numeric_limits<quint64>::max() << "16.00 EB";
    }

    void formatSize()
    {
        QFETCH(quint64, nBytes);
        QFETCH(QString, sText);
        QCOMPARE(FormatSize(nBytes), sText);
    }

    void serialFileDecidesDevice_data()
    {
        QTest::addColumn<QByteArray>("baSerial");
        QTest::addColumn<bool>("bDevice");
        QTest::addColumn<QString>("sSerial");
        QTest::newRow("17 bytes") << QByteArray("D12345678901234\r\n") << true << "D123456789012";
        QTest::newRow("short") << QByteArray("A123") << true << "A123";
        QTest::newRow("1023 bytes") << QByteArray(1023, 'T') << true << QString(13, 'T');
        QTest::newRow("1024 bytes") << QByteArray(1024, 'T') << false << QString(13, 'T');
        // As a device or an editor may write the file: the number alone is the serial number.
        QTest::newRow("short, CR LF") << QByteArray("A123\r\n") << true << "A123";
        QTest::newRow("short, LF, more lines") << QByteArray("A123\nmodel X\n") << true << "A123";
        QTest::newRow("blanks around")
            << QByteArray("  T123456789012  \r\n") << true << "T123456789012";
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF"
                                                 "D123456789012")
                                   << true << "D123456789012";
        QTest::newRow("UTF-8 BOM, short, CR LF") << QByteArray("\xEF\xBB\xBF"
                                                               "A123\r\n")
                                                 << true << "A123";
        QTest::newRow("line break only") << QByteArray("\r\n") << true << QString();
        QTest::newRow("empty") << QByteArray("") << false << QString();
        QTest::newRow("missing") << QByteArray() << false << QString();
    }

    void serialFileDecidesDevice()
    {
        QFETCH(QByteArray, baSerial);
        QFETCH(bool, bDevice);
        QFETCH(QString, sSerial);
        QTemporaryDir root;
        const QString sDisk = MakeDisk(root, QStringLiteral("KX"), baSerial);
        SetDeviceDiskFolders({sDisk});
        QCOMPARE(HasSerialNumberFile(sDisk), bDevice);
        QCOMPARE(ListDeviceDisks().contains(sDisk), bDevice);
        bool bOk = false;
        QCOMPARE(ReadSerialNumber(sDisk, &bOk), sSerial);
        QCOMPARE(bOk, !baSerial.isNull());
    }

    void specialSerialFileIsNotRead_data()
    {
        // What stands in the place of "sn.txt" on a mounted disk.
        QTest::addColumn<QString>("sKind");
        QTest::addColumn<bool>("bDevice");
        QTest::addColumn<QString>("sSerial");
        QTest::newRow("FIFO") << "fifo" << false << QString();
        QTest::newRow("link to /dev/zero") << "zero" << false << QString();
        QTest::newRow("folder") << "folder" << false << QString();
        // A link is followed; what counts is what it leads to.
        QTest::newRow("link to a regular file") << "link" << true << "D123456789012";
    }

    void specialSerialFileIsNotRead()
    {
        QFETCH(QString, sKind);
        QFETCH(bool, bDevice);
        QFETCH(QString, sSerial);
        QTemporaryDir root;
        const QString sDisk = MakeDisk(root, QStringLiteral("KX"), QByteArray());
        const QString sError = MountTmpfs(sDisk);
        if (!sError.isEmpty())
            QSKIP(qPrintable(QStringLiteral("mounting a tmpfs is not permitted here: ") + sError));
        const QString sFile = sDisk + QStringLiteral("/sn.txt");
        std::unique_ptr<FifoWatch> pFifo;
        if (sKind == "fifo") {
            pFifo = std::make_unique<FifoWatch>(sFile);
            QVERIFY(pFifo->IsValid());
        } else if (sKind == "zero") {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), sFile));
        } else if (sKind == "folder") {
            QVERIFY(QDir().mkpath(sFile));
        } else {
            QFile target(sDisk + QStringLiteral("/serial"));
            QVERIFY(target.open(QIODevice::WriteOnly));
            target.write("D1234567890123\n");
            target.close();
            QVERIFY(QFile::link(QStringLiteral("serial"), sFile));
        }
        SetDeviceDiskFolders({sDisk});
        const bool bHas = HasSerialNumberFile(sDisk);
        const QStringList slDisks = ListDeviceDisks();
        bool bOk = false;
        const QString sRead = ReadSerialNumber(sDisk, &bOk);
        const bool bOpened = pFifo && pFifo->Opened();
        pFifo.reset();
        Unmount(sDisk);
        QVERIFY2(!bOpened, "the FIFO was opened");
        QCOMPARE(bHas, bDevice);
        QCOMPARE(slDisks.contains(sDisk), bDevice);
        QCOMPARE(bOk, bDevice);
        QCOMPARE(sRead, sSerial);
    }

    void listKeepsFolderOrderAndSkipsOthers()
    {
        QTemporaryDir root;
        const QString sF = MakeDisk(root, QStringLiteral("F"), "T000000000002");
        const QString sE = MakeDisk(root, QStringLiteral("E"), "D000000000001");
        const QString sPlain = MakeDisk(root, QStringLiteral("stick"), QByteArray());
        const QString sMissing = root.filePath(QStringLiteral("gone"));
        // Trailing separators and a doubled folder do not make a second disk.
        SetDeviceDiskFolders({sE + QStringLiteral("/"), sPlain, sMissing, sF, sE});
        QCOMPARE(ListDeviceDisks(), QStringList({sE, sF}));
    }

    void readOnlyFolderIsNoDevice()
    {
        // A read-only file system, since permissions do not stop root.
        QTemporaryDir root;
        const QString sDisk = MakeDisk(root, QStringLiteral("RO"), QByteArray());
        const QString sError = MountTmpfs(sDisk);
        if (!sError.isEmpty())
            QSKIP(qPrintable(QStringLiteral("mounting a tmpfs is not permitted here: ") + sError));
        QFile serial(sDisk + QStringLiteral("/sn.txt"));
        const bool bWritten = serial.open(QIODevice::WriteOnly) && serial.write("D1") == 2;
        serial.close();
        SetDeviceDiskFolders({sDisk});
        const QStringList slWritable = ListDeviceDisks();
        const QString sRemountError = RunTool(
            QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), sDisk});
        const QStringList slReadOnly = ListDeviceDisks();
        Unmount(sDisk);
        QVERIFY(bWritten);
        QCOMPARE(slWritable, QStringList{sDisk});
        QVERIFY2(sRemountError.isEmpty(), qPrintable(sRemountError));
        QVERIFY(slReadOnly.isEmpty());
    }

    void sameDisk_data()
    {
        QTest::addColumn<QString>("sDisk");
        QTest::addColumn<QString>("sOther");
        QTest::addColumn<bool>("bSame");
        QTest::newRow("equal") << "/media/kx/KX"
                               << "/media/kx/KX" << true;
#ifdef Q_OS_WIN
        QTest::newRow("drive letters in other case") << "e:"
                                                     << "E:" << true;
#else
        QTest::newRow("paths in other case") << "/media/kx/kx"
                                             << "/media/kx/KX" << false;
#endif
        QTest::newRow("other disk") << "/media/kx/KX"
                                    << "/media/kx/KY" << false;
        QTest::newRow("none") << ""
                              << "/media/kx/KX" << false;
    }

    void sameDisk()
    {
        QFETCH(QString, sDisk);
        QFETCH(QString, sOther);
        QFETCH(bool, bSame);
        QCOMPARE(IsSameDisk(sDisk, sOther), bSame);
    }

    void folderShowsItsOwnName()
    {
        QTemporaryDir root;
        const QString sDisk = MakeDisk(root, QStringLiteral("KX520"), "D000000000001");
        QCOMPARE(DiskDisplayName(sDisk), QStringLiteral("KX520"));
        QCOMPARE(DiskDisplayName(sDisk + QStringLiteral("/")), QStringLiteral("KX520"));
    }

    void mountedVolumeShowsItsSpace()
    {
        // A real file system of known size: a tmpfs mounted on the disk's folder.
        QTemporaryDir root;
        const QString sDisk = root.filePath(QStringLiteral("KXDISK"));
        QVERIFY(QDir().mkpath(sDisk));
        const QString sError = MountTmpfs(sDisk);
        if (!sError.isEmpty())
            QSKIP(qPrintable(QStringLiteral("mounting a tmpfs is not permitted here: ") + sError));
        const quint64 nAvailable = DiskAvailableBytes(sDisk);
        const QString sName = DiskDisplayName(sDisk);
        const QString sTip = DiskTipHtml(sDisk);
        Unmount(sDisk);
        QCOMPARE(nAvailable, quint64(65536));
        // tmpfs has no label: the folder's name stands in.
        QCOMPARE(sName, QStringLiteral("KXDISK"));
        QVERIFY2(sTip.contains(QStringLiteral("<div>文件系统:tmpfs</div>")), qPrintable(sTip));
        QVERIFY(sTip.contains(QStringLiteral("<div>总空间:64.00 KB</div>")));
        QVERIFY(sTip.contains(QStringLiteral("<b>可用空间:64.00 KB</b>")));
    }

    void tipNamesTheDiskAndItsSpace()
    {
        QTemporaryDir root;
        const QString sDisk = MakeDisk(root, QStringLiteral("KX<1>"), "D000000000001");
        const QString sTip = DiskTipHtml(sDisk);
        QVERIFY2(sTip.startsWith(QStringLiteral("<div style=\"color:red;\">KX&lt;1&gt;</div>")),
                 qPrintable(sTip));
        QVERIFY(sTip.contains(QStringLiteral("<div>文件系统:")));
        QVERIFY(sTip.contains(QStringLiteral("<div>总空间:")));
        QVERIFY(sTip.contains(QStringLiteral("<div style=\"color:black;\"><b>可用空间:")));
    }
};

QTEST_GUILESS_MAIN(tst_DeviceDisks)
#include "tst_DeviceDisks.moc"
