#include "device/device.h"

#include "base/FileUtils.h"
#include "platform/SerialPortAccess.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QtEndian>

#include <mbedtls/aes.h>

#include <cstring>

namespace
{

// Must equal the key built into the device firmware.
const unsigned char kFrameKey[16] = {0x6B, 0x58, 0x31, 0xD4, 0x27, 0x9E, 0x40, 0x5A,
                                     0xC3, 0x11, 0x8F, 0x62, 0x3D, 0xB7, 0x05, 0xE9};

// A header announcing more than this is not trusted and its reply ends at the first silence,
// as does one without a readable header.
constexpr qint64 kMaxPlausiblePayload = 1 << 20;
// Upper bound of what one reply may pour in before we stop reading it.
constexpr qint64 kMaxReplyBytes = 2 * kMaxPlausiblePayload;
constexpr int kSilenceMs = 10;
// Object, command, status and the 16 bytes of the firmware digest.
constexpr int kDigestReplySize = 19;

struct ErrorEntry {
    quint8 nStatus;
    const char *pText;
};

// Source texts only: they are translated when a failure is reported, so the language chosen
// at that moment applies.
const ErrorEntry kDeviceErrorTable[] = {
    {0x00, QT_TRANSLATE_NOOP("QObject", "成功")},
    {0x10, QT_TRANSLATE_NOOP("QObject", "擦除Flash失败")},
    {0x11, QT_TRANSLATE_NOOP("QObject", "写入Flash失败")},
    {0x12, QT_TRANSLATE_NOOP("QObject", "校验文件失败")},
    {0x13, QT_TRANSLATE_NOOP("QObject", "不支持的设备对象")},
    {0x14, QT_TRANSLATE_NOOP("QObject", "不支持的命令")},
    {0x15, QT_TRANSLATE_NOOP("QObject", "参数错误")},
    {0x16, QT_TRANSLATE_NOOP("QObject", "命令执行流程错误")},
    {0x17, QT_TRANSLATE_NOOP("QObject", "参数超出范围")},
    {0x18, QT_TRANSLATE_NOOP("QObject", "分配内存空间失败")},
    {0x19, QT_TRANSLATE_NOOP("QObject", "包格式错误")},
    {0x1A, QT_TRANSLATE_NOOP("QObject", "校验镜像错误")},
    {0x1C, QT_TRANSLATE_NOOP("QObject", "传输块序号出错")},
    {0x1D, QT_TRANSLATE_NOOP("QObject", "不支持的文件类型")},
    {0x1E, QT_TRANSLATE_NOOP("QObject", "写入文件失败")},
    {0x1F, QT_TRANSLATE_NOOP("QObject", "解密文件失败")},
    {0x20, QT_TRANSLATE_NOOP("QObject", "初始化Flash驱动失败")},
    {0x21, QT_TRANSLATE_NOOP("QObject", "读取文件失败")},
    {0x22, QT_TRANSLATE_NOOP("QObject", "读FLASH失败")},
    {0x23, QT_TRANSLATE_NOOP("QObject", "校验数据错误")},
    {0x26, QT_TRANSLATE_NOOP("QObject", "获取SN失败")},
};

// One AES-128 key schedule for one operation; wiped when it goes out of scope.
class AesEcb
{
public:
    explicit AesEcb(bool bEncrypt) : m_nMode(bEncrypt ? MBEDTLS_AES_ENCRYPT : MBEDTLS_AES_DECRYPT)
    {
        mbedtls_aes_init(&m_ctx);
        const int nRc = bEncrypt ? mbedtls_aes_setkey_enc(&m_ctx, kFrameKey, 128)
                                 : mbedtls_aes_setkey_dec(&m_ctx, kFrameKey, 128);
        m_bReady = nRc == 0;
    }
    ~AesEcb() { mbedtls_aes_free(&m_ctx); }
    AesEcb(const AesEcb &) = delete;
    AesEcb &operator=(const AesEcb &) = delete;

    bool Block(const unsigned char *pIn, unsigned char *pOut)
    {
        return m_bReady && mbedtls_aes_crypt_ecb(&m_ctx, m_nMode, pIn, pOut) == 0;
    }

private:
    mbedtls_aes_context m_ctx;
    int m_nMode;
    bool m_bReady = false;
};

QString HexForLog(const QByteArray &baFrame)
{
    // Whole data blocks would flood the log; their head identifies them well enough.
    constexpr int kShown = 48;
    if (baFrame.size() <= kShown)
        return QString::fromLatin1(baFrame.toHex().toUpper());
    return QString::fromLatin1(baFrame.left(kShown).toHex().toUpper()) +
           QStringLiteral("... (%1 bytes)").arg(baFrame.size());
}

QByteArray CommandPayload(quint8 nCommand, const QByteArray &baParams = QByteArray())
{
    QByteArray baPayload;
    baPayload.reserve(2 + baParams.size());
    baPayload.append(char(0x01));
    baPayload.append(char(nCommand));
    baPayload.append(baParams);
    return baPayload;
}

bool IsEncryptedFrame(const QByteArray &baFrame)
{
    return baFrame.size() >= device::HeaderSize &&
           qFromLittleEndian<quint16>(baFrame.constData() + 2) == 1;
}

// The frame length a reply's header announces when it can be that of a reply to a request sent
// so (an encrypted payload is whole cipher blocks, a plain one holds at least object, command
// and status), else -1: a device may count the payload before encryption, or nothing at all.
qint64 AnnouncedReplyLength(const QByteArray &baReply, bool bEncrypted)
{
    const qint64 nFrame = device::FrameLengthFromHeader(baReply);
    if (nFrame < 0)
        return -1;
    const qint64 nPayload = nFrame - device::FrameOverhead;
    if (bEncrypted ? nPayload < 16 || nPayload % 16 != 0 : nPayload < 3)
        return -1;
    return nFrame;
}

// The first bytes of a readable header: the rest of it is on its way.
bool IsHeaderArriving(const QByteArray &baReply)
{
    return baReply.size() >= 1 && baReply.size() < device::HeaderSize &&
           quint8(baReply[0]) == 0xAA && (baReply.size() < 2 || quint8(baReply[1]) == 0x55);
}

// Whether the bytes received so far are a whole reply to baRequest, whatever the length field
// says: a payload (plain, or whole cipher blocks) that echoes the request's object and command,
// followed by the checksum, where the checksum or the padding of the last cipher block shows
// that nothing is missing. A reply paused inside by the device fails one of these. A plain
// reply to a plain request has nothing more to show: its silence ends it.
bool IsWholeReply(const QByteArray &baReply, const QByteArray &baRequest)
{
    const int nPayload = baReply.size() - device::FrameOverhead;
    if (nPayload < 3 || baRequest.size() < device::FrameOverhead + 2)
        return false;
    const bool bEncryptedAsk = IsEncryptedFrame(baRequest);
    QByteArray baAsked = baRequest.mid(device::HeaderSize, 16);
    if (bEncryptedAsk)
        baAsked = device::DecryptPayload(baAsked);
    if (baAsked.size() < 2)
        return false;
    const auto echoes = [&baAsked](const QByteArray &baPlain) {
        return baPlain.size() >= 2 && baPlain[0] == baAsked[0] && baPlain[1] == baAsked[1];
    };

    const QByteArray baPayload = baReply.mid(device::HeaderSize, nPayload);
    const bool bCipher = nPayload % 16 == 0 && echoes(device::DecryptPayload(baPayload.left(16)));
    const bool bPlain = echoes(baPayload);
    if (!bCipher && !bPlain)
        return false;
    if (bPlain && !bEncryptedAsk)
        return true;
    quint32 nSum = 0;
    for (char c : baPayload)
        nSum += quint8(c);
    if (nSum == qFromLittleEndian<quint32>(baReply.constData() + baReply.size() - 4))
        return true;
    // Padding was stripped: the last block ends the payload.
    return bCipher && device::DecryptPayload(baPayload.right(16)).size() < 16;
}

QMutex g_overrideMutex;
QString &OverrideStore()
{
    static QString s_sPort = qEnvironmentVariable("UPDATEASSIST_SERIAL");
    return s_sPort;
}

// Read at start-up so that the seam is fixed before any thread asks for it.
const bool g_bOverrideRead = [] {
    QMutexLocker lock(&g_overrideMutex);
    OverrideStore();
    return true;
}();

} // namespace

device::device(QObject *parent) : QObject(parent) {}

device::~device()
{
    if (!m_pPort)
        return;
    // Closing announces the end of the task (aboutToClose -> Finish) while we are still whole.
    if (m_pPort->isOpen())
        m_pPort->close();
    delete m_pPort;
    m_pPort = nullptr;
}

void device::Init(bool bEncrypt)
{
    delete m_pPort;
    m_pPort = new QSerialPort;
    m_bLost = false;
    connect(
        m_pPort, &QSerialPort::errorOccurred, this,
        [this](QSerialPort::SerialPortError error) {
            if (error == QSerialPort::NoError)
                return;
            qDebug() << "device: port error" << error << m_pPort->errorString();
            if (error != QSerialPort::ResourceError)
                return;
            m_bLost = true;
            emit Finish();
        },
        Qt::DirectConnection);
    connect(
        m_pPort, &QSerialPort::aboutToClose, this, [this] { emit Finish(); }, Qt::DirectConnection);
    m_bEncrypt = bEncrypt;
}

bool device::IsOpen() const
{
    return m_pPort && m_pPort->isOpen();
}

bool device::OpenPort(quint16 vid, quint16 pid)
{
    if (!m_pPort)
        return false;
    if (m_pPort->isOpen())
        m_pPort->close();
    m_bLost = false;

    const QString sOverride = SerialOverride();
    if (!sOverride.isEmpty()) {
        qDebug() << "device: using" << sOverride << "for" << Qt::hex << vid << pid;
        m_pPort->setPortName(sOverride);
    } else {
        bool bFound = false;
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : ports) {
            qDebug() << "device: port" << info.portName() << "vid" << Qt::hex
                     << info.vendorIdentifier() << "pid" << info.productIdentifier();
            if (bFound || !info.hasVendorIdentifier() || !info.hasProductIdentifier())
                continue;
            if (info.vendorIdentifier() == vid && info.productIdentifier() == pid) {
                m_pPort->setPort(info);
                bFound = true;
            }
        }
        if (!bFound)
            return false;
    }

    m_pPort->setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    m_pPort->setDataBits(QSerialPort::Data8);
    m_pPort->setParity(QSerialPort::NoParity);
    m_pPort->setStopBits(QSerialPort::OneStop);
    m_pPort->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_pPort->open(QIODevice::ReadWrite)) {
        qDebug() << "device: cannot open" << m_pPort->portName() << m_pPort->errorString();
        return false;
    }
    // Pseudo-terminals have no modem lines; the device port does.
    m_pPort->setDataTerminalReady(true);
    return true;
}

void device::DropLostPort()
{
    if (m_bLost && m_pPort && m_pPort->isOpen())
        m_pPort->close();
}

bool device::Transact(const QByteArray &baFrame, char *pBuffer, quint16 &nLength, int nTimeoutMs)
{
    nLength = 0;
    if (!m_pPort)
        return false;
    // Bytes left over from an earlier, late reply must not be taken for this one.
    m_pPort->clear(QSerialPort::Input);
    if (m_pPort->bytesAvailable() > 0)
        m_pPort->readAll();

    QElapsedTimer timer;
    timer.start();
    m_pPort->write(baFrame);
    ++m_timing.nExchanges;
    QElapsedTimer wait;
    wait.start();
    // Waiting for the frame to go out also takes in the reply's first bytes.
    const bool bSent = m_pPort->bytesToWrite() == 0 || m_pPort->waitForBytesWritten(nTimeoutMs);
    const bool bArrived =
        bSent && (m_pPort->bytesAvailable() > 0 || m_pPort->waitForReadyRead(nTimeoutMs));
    m_timing.nReplyWaitNs += wait.nsecsElapsed();
    if (!bArrived) {
        ++m_timing.nTimeouts;
        return false;
    }

    const bool bEncrypted = IsEncryptedFrame(baFrame);
    QByteArray baReply = m_pPort->readAll();
    for (;;) {
        // The header's length field is a hint only: it ends a reply at once when it can be
        // right, and bridges pauses inside a reply; it never decides what the reply holds.
        const qint64 nAnnounced = AnnouncedReplyLength(baReply, bEncrypted);
        if (nAnnounced >= 0 && baReply.size() >= nAnnounced)
            break;
        if (baReply.size() >= kMaxReplyBytes)
            break;
        // First the silence that ends a reply.
        const bool bMoreAnnounced = nAnnounced >= 0 || IsHeaderArriving(baReply);
        const qint64 nLeft = nTimeoutMs - timer.elapsed();
        const int nSilence =
            bMoreAnnounced ? int(qBound<qint64>(0, nLeft, kSilenceMs)) : kSilenceMs;
        wait.restart();
        bool bMore = nSilence > 0 && m_pPort->waitForReadyRead(nSilence);
        (bMore ? m_timing.nReplyWaitNs : m_timing.nSilenceWaitNs) += wait.nsecsElapsed();
        // A header that announced more than came: the bytes may already be the whole reply
        // (a length field too long), or the device paused inside it and the rest gets the
        // rest of the time-out.
        if (!bMore && bMoreAnnounced && !(nAnnounced >= 0 && IsWholeReply(baReply, baFrame))) {
            const qint64 nRest = nTimeoutMs - timer.elapsed();
            wait.restart();
            bMore = nRest > 0 && m_pPort->waitForReadyRead(int(nRest));
            m_timing.nReplyWaitNs += wait.nsecsElapsed();
            if (!bMore) {
                ++m_timing.nTimeouts;
                break;
            }
        }
        if (!bMore) {
            ++m_timing.nSilenceEnds;
            break;
        }
        baReply += m_pPort->readAll();
    }

    if (baReply.size() > ReplyBufferSize)
        qDebug() << "device: reply of" << baReply.size() << "bytes cut to" << ReplyBufferSize;
    const int nKeep = qMin(baReply.size(), ReplyBufferSize);
    memcpy(pBuffer, baReply.constData(), size_t(nKeep));
    nLength = quint16(nKeep);
    return true;
}

QByteArray device::BuildFrame(const QString &sHexPayload, bool bEncrypt) const
{
    QByteArray baPayload = QByteArray::fromHex(sHexPayload.toLatin1());
    if (bEncrypt)
        baPayload = EncryptPayload(baPayload);
    return WrapFrame(baPayload, bEncrypt);
}

bool device::SendRaw(const QByteArray &baFrame)
{
    DropLostPort();
    char buffer[ReplyBufferSize];
    quint16 nLength = 0;
    if (!IsOpen() || !Transact(baFrame, buffer, nLength, RawTimeoutMs)) {
        emit Finish();
        return false;
    }
    return true;
}

bool device::Exchange(const QByteArray &baPayload, int nDecrypt, StatusRule rule, bool bLogStatus,
                      QByteArray &baReplyPayload, int nStatusFrom)
{
    baReplyPayload.clear();
    const QByteArray baFrame =
        WrapFrame(m_bEncrypt ? EncryptPayload(baPayload) : baPayload, m_bEncrypt);
    DropLostPort();
    if (!IsOpen()) {
        emit Finish();
        return false;
    }
    qDebug().noquote() << "device: send" << HexForLog(baFrame);

    char buffer[ReplyBufferSize];
    quint16 nLength = 0;
    if (!Transact(baFrame, buffer, nLength, CommandTimeoutMs)) {
        emit Finish();
        return false;
    }
    // Read at fixed positions: the length field may be wrong, the end of the reply is not.
    const QByteArray baReply = QByteArray::fromRawData(buffer, nLength);
    if (m_bEncrypt) {
        baReplyPayload = DecryptPayload(baReply.mid(HeaderSize, nDecrypt));
    } else {
        baReplyPayload = baReply.mid(HeaderSize, qMax(0, baReply.size() - FrameOverhead));
        baReplyPayload.detach();
    }

    if (rule == StatusRule::Ignore)
        return true;
    quint8 nStatus = rule == StatusRule::Default255 ? 0xFF : 0x00;
    if (baReplyPayload.size() >= nStatusFrom)
        nStatus = quint8(baReplyPayload[2]);
    if (nStatus == 0)
        return true;
    if (bLogStatus)
        qDebug() << "device: status" << Qt::hex << nStatus;
    emit feedback(ErrorText(nStatus));
    emit Finish();
    return false;
}

bool device::QueryDeviceId(QString &sId)
{
    QByteArray baReply;
    const bool bOk = Exchange(CommandPayload(0x0D, QByteArray(1, '\0')), -1, StatusRule::Default0,
                              true, baReply);
    // The identifier is taken even from a reply whose status reports an error.
    if (baReply.size() >= 3 || bOk)
        sId = QString::fromLatin1(baReply.mid(3).toHex().toUpper());
    return bOk;
}

QString device::QueryVersion()
{
    QByteArray baReply;
    if (!Exchange(QByteArray::fromHex("0108"), -1, StatusRule::Ignore, false, baReply))
        return QString();
    if (baReply.size() < 3)
        return QString();
    // The text is bytes 3 to the end, up to a NUL: a device that keeps its version in a
    // fixed-size field pads it with NULs, and "V01.2\0\0\0" would never equal the server's
    // "V1.2", so the main program would be offered again after every installation.
    QByteArray baText = baReply.mid(3);
    const int nEnd = baText.indexOf('\0');
    if (nEnd >= 0)
        baText.truncate(nEnd);
    return QString::fromLocal8Bit(baText);
}

bool device::ReadFirmwareHash(QString &sHash)
{
    QByteArray baReply;
    // Only a reply that carries a whole digest has its status judged. A shorter one counts as
    // success and leaves the digest as it was, so a device that cannot report its digest is
    // given the image rather than left on its old firmware.
    const bool bOk = Exchange(CommandPayload(0x12, QByteArray(1, '\0')), 32, StatusRule::Default0,
                              true, baReply, kDigestReplySize);
    if (baReply.size() >= kDigestReplySize)
        sHash = QString::fromLatin1(baReply.mid(3, 16).toHex());
    return bOk;
}

bool device::BeginUpgrade(quint32 nSize)
{
    QByteArray baParams(5, '\0');
    qToLittleEndian<quint32>(nSize, baParams.data() + 1);
    QByteArray baReply;
    return Exchange(CommandPayload(0x00, baParams), 16, StatusRule::Default255, false, baReply);
}

bool device::WriteBlock(quint16 nNumber, const QByteArray &baData)
{
    QByteArray baPayload;
    baPayload.reserve(4 + baData.size());
    baPayload.append(char(0x01));
    baPayload.append(char(0x01));
    baPayload.append(char(nNumber & 0xFF));
    baPayload.append(char(nNumber >> 8));
    baPayload.append(baData);
    QByteArray baReply;
    return Exchange(baPayload, 16, StatusRule::Default0, true, baReply);
}

bool device::EndBlock()
{
    QByteArray baReply;
    return Exchange(CommandPayload(0x03), 16, StatusRule::Default0, true, baReply);
}

bool device::FinishUpgrade()
{
    QByteArray baReply;
    return Exchange(CommandPayload(0x05, QByteArray(1, '\0')), 16, StatusRule::Default0, true,
                    baReply);
}

bool device::SendFile(const QString &sPath)
{
    // The image lies on the device disk: a FIFO in its place would hold the port for ever.
    QFile file;
    if (!OpenRegularFile(file, sPath)) {
        emit Finish();
        return false;
    }
    const qint64 nSize = file.size();
    const qint64 nBlocks = (nSize + BlockSize - 1) / BlockSize;
    if (nBlocks > 0x10000) {
        // Block numbers are 16 bits wide; a larger image would wrap onto block 0.
        qDebug() << "device: image too large:" << nSize << "bytes";
        emit Finish();
        return false;
    }
    const int nMax = int(nBlocks);
    if (nSize == 0) {
        emit Finish();
        return true;
    }

    int nBlock = 0;
    while (nBlock < nMax) {
        const QByteArray baData = file.read(BlockSize);
        if (baData.isEmpty()) {
            qDebug() << "device: cannot read" << sPath << file.errorString();
            emit Finish();
            return false;
        }
        if (!WriteBlock(quint16(nBlock), baData) || !EndBlock()) {
            emit Finish();
            return false;
        }
        ++nBlock;
        emit sendprogress(nBlock, nMax);
        qDebug() << "device: block" << nBlock << "of" << nMax;
    }
    emit Finish();
    return true;
}

QString device::ReadDeviceId()
{
    device dev;
    dev.Init(true);
    if (!dev.OpenPort(VendorId, ProductId))
        return QString();
    // The identifier counts even when the device reports an error with it; the catalogue asks
    // for it only to name the device to the server.
    QString sId;
    dev.QueryDeviceId(sId);
    return sId;
}

QString device::ReadFirmwareVersion()
{
    device dev;
    dev.Init(true);
    if (!dev.OpenPort(VendorId, ProductId))
        return QString();
    return TrimFirmwareVersion(dev.QueryVersion());
}

QString device::DeniedPortPath(quint16 vid, quint16 pid)
{
    QString sPath = SerialOverride();
    if (sPath.isEmpty()) {
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : ports) {
            if (info.hasVendorIdentifier() && info.hasProductIdentifier() &&
                info.vendorIdentifier() == vid && info.productIdentifier() == pid) {
                sPath = info.systemLocation();
                break;
            }
        }
    }
    if (sPath.isEmpty() || !SerialPortAccessDenied(sPath.toStdString()))
        return QString();
    return sPath;
}

QString device::TrimFirmwareVersion(const QString &sVersion)
{
    if (sVersion.size() > 2 && sVersion.at(1) == QLatin1Char('0'))
        return sVersion.left(1) + sVersion.mid(2);
    return sVersion;
}

const QByteArray &device::FrameKey()
{
    static const QByteArray s_baKey(reinterpret_cast<const char *>(kFrameKey), sizeof kFrameKey);
    return s_baKey;
}

QByteArray device::EncryptPayload(const QByteArray &baPlain)
{
    const int nPad = 16 - baPlain.size() % 16;
    QByteArray baPadded = baPlain;
    baPadded.append(nPad, char(nPad));
    QByteArray baOut(baPadded.size(), '\0');
    AesEcb aes(true);
    for (int i = 0; i < baPadded.size(); i += 16) {
        if (!aes.Block(reinterpret_cast<const unsigned char *>(baPadded.constData() + i),
                       reinterpret_cast<unsigned char *>(baOut.data() + i)))
            return QByteArray();
    }
    return baOut;
}

QByteArray device::DecryptPayload(const QByteArray &baCipher)
{
    const int nBlocks = baCipher.size() / 16;
    if (nBlocks == 0)
        return QByteArray();
    QByteArray baOut(nBlocks * 16, '\0');
    AesEcb aes(false);
    for (int i = 0; i < baOut.size(); i += 16) {
        if (!aes.Block(reinterpret_cast<const unsigned char *>(baCipher.constData() + i),
                       reinterpret_cast<unsigned char *>(baOut.data() + i)))
            return QByteArray();
    }
    const int nPad = quint8(baOut.at(baOut.size() - 1));
    if (nPad < 1 || nPad > 16)
        return baOut;
    for (int i = baOut.size() - nPad; i < baOut.size(); ++i) {
        if (quint8(baOut.at(i)) != nPad)
            return baOut;
    }
    baOut.chop(nPad);
    return baOut;
}

QByteArray device::WrapFrame(const QByteArray &baPayload, bool bEncrypted)
{
    QByteArray baFrame;
    baFrame.reserve(qMax(FrameBufferSize, baPayload.size() + FrameOverhead));
    char head[HeaderSize];
    head[0] = char(0xAA);
    head[1] = char(0x55);
    qToLittleEndian<quint16>(bEncrypted ? 1 : 0, head + 2);
    qToLittleEndian<quint32>(quint32(baPayload.size()), head + 4);
    baFrame.append(head, HeaderSize);
    baFrame.append(baPayload);
    quint32 nSum = 0;
    for (char c : baPayload)
        nSum += quint8(c);
    char tail[4];
    qToLittleEndian<quint32>(nSum, tail);
    baFrame.append(tail, 4);
    return baFrame;
}

qint64 device::FrameLengthFromHeader(const QByteArray &baHead)
{
    if (baHead.size() < HeaderSize)
        return -1;
    if (quint8(baHead[0]) != 0xAA || quint8(baHead[1]) != 0x55)
        return -1;
    const quint32 nPayload = qFromLittleEndian<quint32>(baHead.constData() + 4);
    if (nPayload > kMaxPlausiblePayload)
        return -1;
    return qint64(nPayload) + FrameOverhead;
}

QString device::ErrorText(quint8 nStatus)
{
    for (const ErrorEntry &entry : kDeviceErrorTable) {
        if (entry.nStatus == nStatus)
            return QCoreApplication::translate("QObject", entry.pText);
    }
    return tr("未知错误");
}

QString device::SerialOverride()
{
    QMutexLocker lock(&g_overrideMutex);
    return OverrideStore();
}

void device::SetSerialOverride(const QString &sPortName)
{
    QMutexLocker lock(&g_overrideMutex);
    OverrideStore() = sPortName;
}
