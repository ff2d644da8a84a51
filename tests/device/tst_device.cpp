#include "DeviceSimProcess.h"
#include "device/device.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <mbedtls/aes.h>

namespace
{

// Independent ECB decryption of one block, to check the frames against the cipher itself.
QByteArray DecryptBlockRaw(const QByteArray &baBlock)
{
    mbedtls_aes_context ctx;
    mbedtls_aes_init(&ctx);
    mbedtls_aes_setkey_dec(&ctx, reinterpret_cast<const unsigned char *>(device::FrameKey().data()),
                           128);
    QByteArray baOut(16, '\0');
    mbedtls_aes_crypt_ecb(&ctx, MBEDTLS_AES_DECRYPT,
                          reinterpret_cast<const unsigned char *>(baBlock.constData()),
                          reinterpret_cast<unsigned char *>(baOut.data()));
    mbedtls_aes_free(&ctx);
    return baOut;
}

quint32 Le32(const QByteArray &ba, int nOffset)
{
    return qFromLittleEndian<quint32>(ba.constData() + nOffset);
}

// Signals of one device in the order they came.
struct SignalLog {
    QStringList slEvents;
    void Attach(device &dev)
    {
        QObject::connect(&dev, &device::feedback,
                         [this](const QString &s) { slEvents << QStringLiteral("feedback:") + s; });
        QObject::connect(&dev, &device::sendprogress, [this](int n, int m) {
            slEvents << QStringLiteral("progress:%1/%2").arg(n).arg(m);
        });
        QObject::connect(&dev, &device::Finish, [this] { slEvents << QStringLiteral("Finish"); });
    }
};

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void buildFramePlainExample();
    void buildFrameEncrypted_data();
    void buildFrameEncrypted();
    void decryptPayloadEdges_data();
    void decryptPayloadEdges();
    void frameLengthFromHeader_data();
    void frameLengthFromHeader();
    void trimFirmwareVersion_data();
    void trimFirmwareVersion();

    void readsIdentifierAndVersion_data();
    void readsIdentifierAndVersion();
    void plainFramesAreUnderstood();
    void failedStatusReportsMessageThenFinish_data();
    void failedStatusReportsMessageThenFinish();
    void errorTextFollowsLanguageAtFailure();
    void errorStatusOnDigestReadIsAFailure();
    void digestReadReplies_data();
    void digestReadReplies();
    void identifierComesWithErrorStatus();
    void noReplyGivesFinishAndFalse();
    void sendFileInBlocks();
    void sendFileWithoutBlocks_data();
    void sendFileWithoutBlocks();
    void replyLongerThanBufferIsHandled();
    void framedRepliesNeedNoSilence();
    void replyInPiecesIsWaitedFor_data();
    void replyInPiecesIsWaitedFor();
    void unreadableHeaderEndsAtSilence();
    void repliesAsTheDeviceMaySendThem_data();
    void repliesAsTheDeviceMaySendThem();
    void openPortFailsWithoutDevice();
    void commandOnClosedPortFinishes();
};

void TestDevice::cleanup()
{
    device::SetSerialOverride(QString());
}

void TestDevice::buildFramePlainExample()
{
    device dev;
    QCOMPARE(dev.BuildFrame("0108", false).toHex(' ').toUpper(),
             QByteArray("AA 55 00 00 02 00 00 00 01 08 09 00 00 00"));
    QCOMPARE(dev.BuildFrame("0121", false).toHex().toUpper(),
             QByteArray(device::EnterUpgradeFrame));
}

void TestDevice::buildFrameEncrypted_data()
{
    QTest::addColumn<int>("nPayload");
    QTest::addColumn<int>("nCipher");
    QTest::newRow("3 bytes") << 3 << 16;
    QTest::newRow("multiple of 16") << 32 << 48;
    QTest::newRow("block with head") << 4100 << 4112;
}

void TestDevice::buildFrameEncrypted()
{
    QFETCH(int, nPayload);
    QFETCH(int, nCipher);
    QByteArray baPayload(nPayload, '\0');
    for (int i = 0; i < nPayload; ++i)
        baPayload[i] = char(i * 7 + 1);
    device dev;
    const QByteArray baFrame = dev.BuildFrame(QString::fromLatin1(baPayload.toHex()), true);
    QCOMPARE(baFrame.size(), nCipher + 12);
    QCOMPARE(qFromLittleEndian<quint16>(baFrame.constData() + 2), quint16(1));
    QCOMPARE(Le32(baFrame, 4), quint32(nCipher));
    quint32 nSum = 0;
    for (int i = 8; i < 8 + nCipher; ++i)
        nSum += quint8(baFrame[i]);
    QCOMPARE(Le32(baFrame, 8 + nCipher), nSum);

    // The first block is the payload's head, the last ends with the padding.
    const QByteArray baFirst = DecryptBlockRaw(baFrame.mid(8, 16));
    QCOMPARE(baFirst.left(qMin(16, nPayload)), baPayload.left(16));
    const QByteArray baLast = DecryptBlockRaw(baFrame.mid(8 + nCipher - 16, 16));
    const int nPad = nCipher - nPayload;
    QCOMPARE(baLast.right(nPad), QByteArray(nPad, char(nPad)));
    QCOMPARE(device::DecryptPayload(baFrame.mid(8, nCipher)), baPayload);
}

void TestDevice::decryptPayloadEdges_data()
{
    QTest::addColumn<QByteArray>("baCipher");
    QTest::addColumn<QByteArray>("baPlain");
    const QByteArray baHello = device::EncryptPayload("hello");
    QTest::newRow("shorter than a block") << baHello.left(15) << QByteArray();
    QTest::newRow("trailing bytes ignored") << baHello + "xyz" << QByteArray("hello");
    // A full block whose last byte is no valid padding stays as it is.
    const QByteArray baSixteen("0123456789abcdeZ");
    const QByteArray baRaw = device::EncryptPayload(baSixteen).left(16);
    QTest::newRow("no padding to strip") << baRaw << baSixteen;
}

void TestDevice::decryptPayloadEdges()
{
    QFETCH(QByteArray, baCipher);
    QFETCH(QByteArray, baPlain);
    QCOMPARE(device::DecryptPayload(baCipher), baPlain);
}

void TestDevice::frameLengthFromHeader_data()
{
    QTest::addColumn<QByteArray>("baHead");
    QTest::addColumn<qint64>("nLength");
    QTest::newRow("plain frame") << QByteArray::fromHex("AA55000002000000") << qint64(14);
    QTest::newRow("too short") << QByteArray::fromHex("AA550000020000") << qint64(-1);
    QTest::newRow("wrong magic") << QByteArray::fromHex("55AA000002000000") << qint64(-1);
    QTest::newRow("implausible") << QByteArray::fromHex("AA550100FFFFFFFF") << qint64(-1);
}

void TestDevice::frameLengthFromHeader()
{
    QFETCH(QByteArray, baHead);
    QFETCH(qint64, nLength);
    QCOMPARE(device::FrameLengthFromHeader(baHead), nLength);
}

void TestDevice::trimFirmwareVersion_data()
{
    QTest::addColumn<QString>("sIn");
    QTest::addColumn<QString>("sOut");
    QTest::newRow("V01.2") << "V01.2"
                           << "V1.2";
    QTest::newRow("V01") << "V01"
                         << "V1";
    QTest::newRow("V0") << "V0"
                        << "V0";
    QTest::newRow("V2.10") << "V2.10"
                           << "V2.10";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDevice::trimFirmwareVersion()
{
    QFETCH(QString, sIn);
    QFETCH(QString, sOut);
    QCOMPARE(device::TrimFirmwareVersion(sIn), sOut);
}

void TestDevice::readsIdentifierAndVersion_data()
{
    QTest::addColumn<QString>("sId");
    QTest::addColumn<QString>("sVersion");
    QTest::addColumn<QString>("sShown");
    QTest::newRow("V01.2") << "0a1b2c3d4e5f"
                           << "V01.2"
                           << "V1.2";
    QTest::newRow("V0") << "00FF"
                        << "V0"
                        << "V0";
}

void TestDevice::readsIdentifierAndVersion()
{
    QFETCH(QString, sId);
    QFETCH(QString, sVersion);
    QFETCH(QString, sShown);
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--id", sId, "--version", sVersion}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    QCOMPARE(device::ReadDeviceId(), sId.toUpper());
    QCOMPARE(device::ReadFirmwareVersion(), sShown);
}

void TestDevice::plainFramesAreUnderstood()
{
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--id", "ABCD", "--version", "V3.1"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    device dev;
    dev.Init(false);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QCOMPARE(dev.QueryVersion(), QString("V3.1"));
    QString sId;
    QVERIFY(dev.QueryDeviceId(sId));
    QCOMPARE(sId, QString("ABCD"));
}

void TestDevice::failedStatusReportsMessageThenFinish_data()
{
    QTest::addColumn<QString>("sCode");
    QTest::addColumn<QString>("sMessage");
    QTest::newRow("0x1C") << "1C" << QString::fromUtf8("传输块序号出错");
    QTest::newRow("0x99") << "99" << QString::fromUtf8("未知错误");
}

void TestDevice::failedStatusReportsMessageThenFinish()
{
    QFETCH(QString, sCode);
    QFETCH(QString, sMessage);
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--fail", "id=" + sCode}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    SignalLog log; // outlives the device, whose destruction still reports
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sId;
    QVERIFY(!dev.QueryDeviceId(sId));
    QCOMPARE(log.slEvents, QStringList({"feedback:" + sMessage, "Finish"}));
}

void TestDevice::errorTextFollowsLanguageAtFailure()
{
    // The table is built before any translation is loaded; the message must still follow the
    // language chosen later.
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/other/en.qm")));
    QCoreApplication::installTranslator(&translator);
    const QString sBlock = device::ErrorText(0x1C);
    const QString sUnknown = device::ErrorText(0x99);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(sBlock, QString("Transport block sequence number error"));
    QCOMPARE(sUnknown, QString("Unknown error"));
    QCOMPARE(device::ErrorText(0x1C), QString::fromUtf8("传输块序号出错"));
}

void TestDevice::errorStatusOnDigestReadIsAFailure()
{
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--fail", "hash=22"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    SignalLog log; // outlives the device, whose destruction still reports
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sHash;
    QVERIFY(!dev.ReadFirmwareHash(sHash));
    QCOMPARE(log.slEvents, QStringList({QString::fromUtf8("feedback:读FLASH失败"), "Finish"}));
}

void TestDevice::digestReadReplies_data()
{
    QTest::addColumn<QStringList>("slSimArgs");
    QTest::addColumn<bool>("bResult");
    QTest::addColumn<QString>("sHash"); // what the caller's text holds afterwards
    QTest::addColumn<QStringList>("slEvents");
    const QString sUnchanged = QStringLiteral("unchanged");
    // The simulated device starts with an empty image.
    QTest::newRow("whole digest") << QStringList() << true
                                  << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e")
                                  << QStringList();
    QTest::newRow("error with digest")
        << QStringList({"--fail", "hash=22"}) << false << QString(32, QLatin1Char('0'))
        << QStringList({QString::fromUtf8("feedback:读FLASH失败"), "Finish"});
    // Too short to carry a digest: its status is not judged and the digest stays as it was.
    QTest::newRow("short error reply")
        << QStringList({"--short", "hash=22"}) << true << sUnchanged << QStringList();
    QTest::newRow("short unknown status")
        << QStringList({"--short", "hash=99"}) << true << sUnchanged << QStringList();
}

void TestDevice::digestReadReplies()
{
    QFETCH(QStringList, slSimArgs);
    QFETCH(bool, bResult);
    QFETCH(QString, sHash);
    QFETCH(QStringList, slEvents);
    DeviceSimProcess sim;
    QVERIFY2(sim.Start(slSimArgs), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    SignalLog log; // outlives the device, whose destruction still reports
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sRead = QStringLiteral("unchanged");
    QCOMPARE(dev.ReadFirmwareHash(sRead), bResult);
    QCOMPARE(sRead, sHash);
    QCOMPARE(log.slEvents, slEvents);
}

void TestDevice::identifierComesWithErrorStatus()
{
    // The identifier is kept even when its reply reports an error, so the catalogue still
    // names the device to the server.
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--id", "0A0B0C", "--fail", "id=26"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    {
        SignalLog log;
        device dev;
        log.Attach(dev);
        dev.Init(true);
        QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
        QString sId;
        QVERIFY(!dev.QueryDeviceId(sId));
        QCOMPARE(sId, QString("0A0B0C"));
        QCOMPARE(log.slEvents, QStringList({QString::fromUtf8("feedback:获取SN失败"), "Finish"}));
    }
    QCOMPARE(device::ReadDeviceId(), QString("0A0B0C"));
}

void TestDevice::noReplyGivesFinishAndFalse()
{
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--silent", "hash"}), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    SignalLog log; // outlives the device, whose destruction still reports
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sHash = "unchanged";
    QVERIFY(!dev.ReadFirmwareHash(sHash));
    QCOMPARE(sHash, QString("unchanged"));
    QCOMPARE(log.slEvents, QStringList({"Finish"}));
    // The port is still usable after the silence.
    QVERIFY(dev.BeginUpgrade(0));
}

void TestDevice::sendFileInBlocks()
{
    QTemporaryDir dir;
    const QString sPath = dir.filePath("image.bin");
    QByteArray baImage(4097, '\0');
    for (int i = 0; i < baImage.size(); ++i)
        baImage[i] = char((i * 31) ^ (i >> 8));
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baImage);
    file.close();

    DeviceSimProcess sim;
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    SignalLog log; // outlives the device, whose destruction still reports
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QVERIFY(dev.BeginUpgrade(quint32(baImage.size())));
    QVERIFY(dev.SendFile(sPath));
    QCOMPARE(log.slEvents, QStringList({"progress:1/2", "progress:2/2", "Finish"}));
    QVERIFY(dev.FinishUpgrade());
    QCOMPARE(sim.FlashedImage(), baImage);

    QString sHash;
    QVERIFY(dev.ReadFirmwareHash(sHash));
    QCOMPARE(sHash, QString::fromLatin1(
                        QCryptographicHash::hash(baImage, QCryptographicHash::Md5).toHex()));
}

void TestDevice::sendFileWithoutBlocks_data()
{
    QTest::addColumn<qint64>("nSize"); // -1: no file
    QTest::addColumn<bool>("bResult");
    QTest::newRow("missing file") << qint64(-1) << false;
    QTest::newRow("empty file") << qint64(0) << true;
    // Block numbers are 16 bits: one byte more than 65536 blocks must not wrap onto block 0.
    QTest::newRow("too many blocks") << qint64(65536) * 4096 + 1 << false;
}

void TestDevice::sendFileWithoutBlocks()
{
    QFETCH(qint64, nSize);
    QFETCH(bool, bResult);
    QTemporaryDir dir;
    const QString sPath = dir.filePath("image.bin");
    if (nSize >= 0) {
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(nSize)); // sparse: costs no disk space
    }
    SignalLog log;
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QCOMPARE(dev.SendFile(sPath), bResult);
    QCOMPARE(log.slEvents, QStringList({"Finish"}));
}

void TestDevice::replyLongerThanBufferIsHandled()
{
    QByteArray baId(1100, '\0');
    for (int i = 0; i < baId.size(); ++i)
        baId[i] = char(i);
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--id", QString::fromLatin1(baId.toHex()), "--version", "V7"}),
             qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    device dev;
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sId;
    QVERIFY(dev.QueryDeviceId(sId));
    // What fits the reply buffer is kept; the rest of the frame is read and dropped, so the
    // next exchange gets its own reply.
    QVERIFY(!sId.isEmpty());
    QVERIFY(QString::fromLatin1(baId.toHex().toUpper()).startsWith(sId.left(1000)));
    QCOMPARE(dev.QueryVersion(), QString("V7"));
}

void TestDevice::framedRepliesNeedNoSilence()
{
    DeviceSimProcess sim;
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    device dev;
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QVERIFY(dev.BeginUpgrade(0));
    QVERIFY(!dev.QueryVersion().isEmpty());
    QCOMPARE(dev.LastTiming().nExchanges, qint64(2));
    QCOMPARE(dev.LastTiming().nSilenceWaitNs, qint64(0));
}

void TestDevice::replyInPiecesIsWaitedFor_data()
{
    QTest::addColumn<QString>("sSplitAt");
    QTest::newRow("after the header") << "8";
    // Header, one cipher block and 4 bytes: as long as a whole one-block reply, but neither
    // its checksum nor its padding fits.
    QTest::newRow("after a whole block") << "28";
}

void TestDevice::replyInPiecesIsWaitedFor()
{
    // A pause inside a reply (longer than the 10 ms silence) must not cut it short while its
    // length field announces the rest.
    QFETCH(QString, sSplitAt);
    QTemporaryDir dir;
    const QByteArray baImage("firmware image");
    QFile file(dir.filePath("image.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baImage);
    file.close();
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--split", "60", "--split-at", sSplitAt, "--image", file.fileName()}),
             qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    device dev;
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sHash;
    QVERIFY(dev.ReadFirmwareHash(sHash));
    QCOMPARE(sHash, QString::fromLatin1(
                        QCryptographicHash::hash(baImage, QCryptographicHash::Md5).toHex()));
    QCOMPARE(dev.QueryVersion(), QString("V01.2"));
}

void TestDevice::unreadableHeaderEndsAtSilence()
{
    // Replies are read at fixed positions, so a broken header still carries the answer; its
    // end is then found by the silence after it.
    DeviceSimProcess sim;
    QVERIFY2(sim.Start({"--bad-magic", "--id", "0102", "--fail", "begin=1C"}),
             qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    SignalLog log;
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));
    QString sId;
    QVERIFY(dev.QueryDeviceId(sId));
    QCOMPARE(sId, QString("0102"));
    QVERIFY(!dev.BeginUpgrade(16));
    QCOMPARE(log.slEvents, QStringList({QString::fromUtf8("feedback:传输块序号出错"), "Finish"}));
    QVERIFY(dev.LastTiming().nSilenceWaitNs > 0);
}

void TestDevice::repliesAsTheDeviceMaySendThem_data()
{
    // The host reads a reply at fixed positions and ends it at 10 ms of silence; every field
    // it does not judge may differ from the frame it sent.
    QTest::addColumn<QStringList>("slSimArgs");
    QTest::addColumn<QString>("sId");
    QTest::addColumn<QString>("sVersion");
    QTest::addColumn<QString>("sFlashedVersion");
    // Replies whose length field is wrong may end at a silence; the others by their field.
    QTest::addColumn<bool>("bSilence");
    const QString sId = QStringLiteral("4B58353230000000000001");
    QTest::newRow("as sent") << QStringList() << sId << "V1.2"
                             << "V1.3" << false;
    QTest::newRow("magic broken") << QStringList({"--bad-magic"}) << sId << "V1.2"
                                  << "V1.3" << true;
    QTest::newRow("flag says plain") << QStringList({"--reply-flag", "0"}) << sId << "V1.2"
                                     << "V1.3" << false;
    QTest::newRow("checksum wrong") << QStringList({"--bad-checksum"}) << sId << "V1.2"
                                    << "V1.3" << false;
    QTest::newRow("length of the plain payload")
        << QStringList({"--reply-length", "plain"}) << sId << "V1.2"
        << "V1.3" << true;
    QTest::newRow("length with the checksum")
        << QStringList({"--reply-length", "checksum"}) << sId << "V1.2"
        << "V1.3" << true;
    QTest::newRow("length a block too long")
        << QStringList({"--reply-length", "block"}) << sId << "V1.2"
        << "V1.3" << true;
    // Then only the padding of the last block shows that the reply is whole.
    QTest::newRow("length a block too long, checksum wrong")
        << QStringList({"--reply-length", "block", "--bad-checksum"}) << sId << "V1.2"
        << "V1.3" << true;
    QTest::newRow("length zero") << QStringList({"--reply-length", "zero"}) << sId << "V1.2"
                                 << "V1.3" << true;
    // A 16-byte plain payload: the length field of the plain payload is a whole block short.
    QTest::newRow("length of a block-sized plain payload")
        << QStringList({"--reply-length", "plain", "--id", "00112233445566778899AABBCC",
                        "--version", "V01.23456789A", "--flashed-version", "V01.3456789AB"})
        << "00112233445566778899AABBCC"
        << "V1.23456789A"
        << "V1.3456789AB" << true;
    QTest::newRow("pieces 2 ms apart") << QStringList({"--pieces", "2"}) << sId << "V1.2"
                                       << "V1.3" << false;
    QTest::newRow("header 60 ms ahead") << QStringList({"--split", "60"}) << sId << "V1.2"
                                        << "V1.3" << false;
    QTest::newRow("version padded with NULs")
        << QStringList({"--version-nuls", "3"}) << sId << "V1.2"
        << "V1.3" << false;
    // A version padded to a whole block with NULs carries no padding to strip.
    QTest::newRow("version padded to the block")
        << QStringList({"--version-nuls", "8"}) << sId << "V1.2"
        << "V1.3" << false;
    QTest::newRow("version with an error status")
        << QStringList({"--fail", "version=14"}) << sId << "V1.2"
        << "V1.3" << false;
    QTest::newRow("upgrade mode with an error status")
        << QStringList({"--fail", "enter=14"}) << sId << "V1.2"
        << "V1.3" << false;
}

void TestDevice::repliesAsTheDeviceMaySendThem()
{
    QFETCH(QStringList, slSimArgs);
    QFETCH(QString, sId);
    QFETCH(QString, sVersion);
    QFETCH(QString, sFlashedVersion);
    QFETCH(bool, bSilence);
    QTemporaryDir dir;
    const QByteArray baOld = DeviceSimProcess::SampleImage(3000, 1);
    const QByteArray baNew = DeviceSimProcess::SampleImage(5000, 2);
    QFile old(dir.filePath("old.bin"));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write(baOld) == baOld.size());
    old.close();
    QFile image(dir.filePath("MAIN.bin"));
    QVERIFY(image.open(QIODevice::WriteOnly) && image.write(baNew) == baNew.size());
    image.close();

    DeviceSimProcess sim;
    QVERIFY2(sim.Start(QStringList({"--version", "V01.2", "--flashed-version", "V01.3", "--image",
                                    old.fileName()}) +
                       slSimArgs),
             qPrintable(sim.ErrorString()));
    device::SetSerialOverride(sim.PtyPath());
    device dev;
    dev.Init(true);
    QVERIFY(dev.OpenPort(device::VendorId, device::ProductId));

    // What the catalogue asks, then a whole installation of a two-block image.
    QString sRead;
    QVERIFY(dev.QueryDeviceId(sRead));
    QCOMPARE(sRead, sId);
    QCOMPARE(device::TrimFirmwareVersion(dev.QueryVersion()), sVersion);
    QVERIFY(dev.SendRaw(QByteArray::fromHex(device::EnterUpgradeFrame)));
    QString sHash;
    QVERIFY(dev.ReadFirmwareHash(sHash));
    QCOMPARE(sHash,
             QString::fromLatin1(QCryptographicHash::hash(baOld, QCryptographicHash::Md5).toHex()));
    QVERIFY(dev.BeginUpgrade(quint32(baNew.size())));
    QVERIFY(dev.SendFile(image.fileName()));
    QVERIFY(dev.FinishUpgrade());
    QCOMPARE(sim.FlashedImage(), baNew);
    QCOMPARE(device::TrimFirmwareVersion(dev.QueryVersion()), sFlashedVersion);

    // Bounded: no exchange waited for its time-out, and a silence ended a reply only where
    // the reply's length field could not.
    const device::Timing timing = dev.LastTiming();
    QCOMPARE(timing.nExchanges, qint64(11));
    QCOMPARE(timing.nTimeouts, qint64(0));
    if (bSilence)
        QVERIFY(timing.nSilenceEnds <= timing.nExchanges);
    else
        QCOMPARE(timing.nSilenceEnds, qint64(0));
}

void TestDevice::openPortFailsWithoutDevice()
{
    device dev;
    QVERIFY(!dev.OpenPort(device::VendorId, device::ProductId)); // before Init
    dev.Init(true);
    // No port of this machine carries these identifiers.
    QVERIFY(!dev.OpenPort(0x1FC9, 0x7777));
    device::SetSerialOverride(QStringLiteral("/nonexistent/tty"));
    QVERIFY(!dev.OpenPort(device::VendorId, device::ProductId));
    QCOMPARE(device::ReadDeviceId(), QString());
    QCOMPARE(device::ReadFirmwareVersion(), QString());
}

void TestDevice::commandOnClosedPortFinishes()
{
    SignalLog log; // outlives the device, whose destruction still reports
    device dev;
    log.Attach(dev);
    dev.Init(true);
    QVERIFY(!dev.EndBlock());
    QCOMPARE(dev.QueryVersion(), QString());
    QVERIFY(!dev.SendRaw(QByteArray::fromHex(device::EnterUpgradeFrame)));
    QCOMPARE(log.slEvents, QStringList({"Finish", "Finish", "Finish"}));
}

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
