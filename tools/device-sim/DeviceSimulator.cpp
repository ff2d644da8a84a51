#include "DeviceSimulator.h"

#include "device/device.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>
#include <QtEndian>

#include <cstdio>

namespace
{

constexpr quint8 kObject = 0x01;
constexpr quint8 kCmdBegin = 0x00;
constexpr quint8 kCmdBlock = 0x01;
constexpr quint8 kCmdEnd = 0x03;
constexpr quint8 kCmdFinish = 0x05;
constexpr quint8 kCmdVersion = 0x08;
constexpr quint8 kCmdId = 0x0D;
constexpr quint8 kCmdHash = 0x12;
constexpr quint8 kCmdEnter = 0x21;

constexpr quint8 kOk = 0x00;
constexpr quint8 kVerifyFile = 0x12;
constexpr quint8 kBadObject = 0x13;
constexpr quint8 kBadCommand = 0x14;
constexpr quint8 kBadParameter = 0x15;
constexpr quint8 kFlowError = 0x16;
constexpr quint8 kOutOfRange = 0x17;
constexpr quint8 kPacketFormat = 0x19;
constexpr quint8 kBlockSequence = 0x1C;

} // namespace

DeviceSimulator::DeviceSimulator(const SimOptions &options)
    : m_options(options), m_baImage(options.baImage)
{
}

const QStringList &DeviceSimulator::LengthFieldNames()
{
    static const QStringList s_names = {"right", "plain", "checksum", "block", "zero"};
    return s_names;
}

const QStringList &DeviceSimulator::Targets()
{
    static const QStringList s_targets = {"enter", "id",    "version", "hash",
                                          "begin", "block", "end",     "finish"};
    return s_targets;
}

QByteArray DeviceSimulator::Feed(const QByteArray &baBytes)
{
    m_baInput += baBytes;
    QByteArray baOut;
    while (!m_bUnplugged) {
        // Resynchronise on the magic; stray bytes before it are dropped.
        const int nMagic = m_baInput.indexOf("\xAA\x55");
        if (nMagic < 0) {
            if (m_baInput.endsWith('\xAA'))
                m_baInput = m_baInput.right(1);
            else
                m_baInput.clear();
            break;
        }
        m_baInput.remove(0, nMagic);
        if (m_baInput.size() < device::HeaderSize)
            break;
        const qint64 nFrame = device::FrameLengthFromHeader(m_baInput);
        if (nFrame < 0) {
            m_baInput.remove(0, 2);
            continue;
        }
        if (m_baInput.size() < nFrame)
            break;
        const QByteArray baFrame = m_baInput.left(int(nFrame));
        m_baInput.remove(0, int(nFrame));
        baOut += HandleFrame(baFrame);
    }
    return baOut;
}

QByteArray DeviceSimulator::HandleFrame(const QByteArray &baFrame)
{
    const bool bEncrypted = qFromLittleEndian<quint16>(baFrame.constData() + 2) == 1;
    const QByteArray baBody = baFrame.mid(device::HeaderSize, baFrame.size() - 12);
    const quint32 nSum = qFromLittleEndian<quint32>(baFrame.constData() + baFrame.size() - 4);
    quint32 nActual = 0;
    for (char c : baBody)
        nActual += quint8(c);

    QString sTarget;
    QString sNumbered;
    QByteArray baData;
    quint8 nStatus = kPacketFormat;
    QByteArray baPayload;
    if (nActual == nSum && (!bEncrypted || baBody.size() % 16 == 0)) {
        baPayload = bEncrypted ? device::DecryptPayload(baBody) : baBody;
        nStatus = Handle(baPayload, sTarget, sNumbered, baData);
    }
    if (m_options.bLog)
        fprintf(stderr, "device-sim: %s%s %s -> %02X\n", bEncrypted ? "" : "plain ",
                qPrintable(sTarget.isEmpty() ? QStringLiteral("?") : sTarget),
                qPrintable(sNumbered), nStatus);
    if (m_bUnplugged)
        return QByteArray();
    if (m_options.silent.contains(sTarget) ||
        (!sNumbered.isEmpty() && m_options.silent.contains(sNumbered)))
        return QByteArray();

    QByteArray baReply;
    baReply.append(char(baPayload.size() > 0 ? baPayload[0] : kObject));
    baReply.append(char(baPayload.size() > 1 ? baPayload[1] : 0));
    baReply.append(char(nStatus));
    baReply.append(baData);
    QByteArray baAnswer =
        device::WrapFrame(bEncrypted ? device::EncryptPayload(baReply) : baReply, bEncrypted);
    if (m_options.bBadMagic)
        baAnswer[0] = baAnswer[1] = '\0';
    if (m_options.nReplyFlag >= 0)
        qToLittleEndian<quint16>(quint16(m_options.nReplyFlag), baAnswer.data() + 2);
    const quint32 nSent = quint32(baAnswer.size() - device::FrameOverhead);
    quint32 nField = nSent;
    switch (m_options.lengthField) {
    case LengthField::Right:
        break;
    case LengthField::Plain:
        nField = quint32(baReply.size());
        break;
    case LengthField::Checksum:
        nField = nSent + 4;
        break;
    case LengthField::Block:
        nField = nSent + 16;
        break;
    case LengthField::Zero:
        nField = 0;
        break;
    }
    qToLittleEndian<quint32>(nField, baAnswer.data() + 4);
    if (m_options.bBadChecksum) {
        char *pSum = baAnswer.data() + baAnswer.size() - 4;
        qToLittleEndian<quint32>(qFromLittleEndian<quint32>(pSum) + 1, pSum);
    }
    return baAnswer;
}

quint8 DeviceSimulator::Handle(const QByteArray &baPayload, QString &sTarget, QString &sNumbered,
                               QByteArray &baData)
{
    if (baPayload.size() < 2)
        return kPacketFormat;
    if (quint8(baPayload[0]) != kObject)
        return kBadObject;
    const quint8 nCommand = quint8(baPayload[1]);
    switch (nCommand) {
    case kCmdEnter:
        sTarget = "enter";
        break;
    case kCmdId:
        sTarget = "id";
        break;
    case kCmdVersion:
        sTarget = "version";
        break;
    case kCmdHash:
        sTarget = "hash";
        break;
    case kCmdBegin:
        sTarget = "begin";
        break;
    case kCmdBlock:
        sTarget = "block";
        break;
    case kCmdEnd:
        sTarget = "end";
        break;
    case kCmdFinish:
        sTarget = "finish";
        break;
    default:
        return kBadCommand;
    }
    if (nCommand == kCmdBlock && baPayload.size() >= 4)
        sNumbered =
            QStringLiteral("block:%1").arg(qFromLittleEndian<quint16>(baPayload.constData() + 2));
    if (nCommand == kCmdEnd)
        sNumbered = QStringLiteral("end:%1").arg(m_nExpectedBlock);

    // The cable is pulled when the first request after the last acknowledged block arrives.
    if (m_options.nUnplugAfter > 0 && m_nBlocksAcked >= m_options.nUnplugAfter &&
        (nCommand == kCmdBlock || nCommand == kCmdEnd || nCommand == kCmdFinish)) {
        m_bUnplugged = true;
        return kOk;
    }

    auto failure = m_options.failures.constFind(sNumbered);
    if (sNumbered.isEmpty() || failure == m_options.failures.constEnd())
        failure = m_options.failures.constFind(sTarget);
    if (failure != m_options.failures.constEnd()) {
        // A failing device still fills the reply's data fields, unless told to answer short.
        if (m_options.shortFailures.contains(failure.key()))
            return failure.value();
        if (nCommand == kCmdHash)
            baData = QByteArray(16, '\0');
        if (nCommand == kCmdId)
            baData = m_options.baId;
        if (nCommand == kCmdVersion)
            baData = VersionText();
        return failure.value();
    }

    switch (nCommand) {
    case kCmdEnter:
        return kOk;
    case kCmdId:
        baData = m_options.baId;
        return kOk;
    case kCmdVersion:
        baData = VersionText();
        return kOk;
    case kCmdHash:
        baData = QCryptographicHash::hash(m_baImage, QCryptographicHash::Md5);
        return kOk;
    case kCmdBegin:
        if (baPayload.size() < 7)
            return kBadParameter;
        m_nAnnounced = qFromLittleEndian<quint32>(baPayload.constData() + 3);
        m_baStaging.clear();
        m_nExpectedBlock = 0;
        m_bBlockPending = false;
        m_bUpgrading = true;
        return kOk;
    case kCmdBlock: {
        if (!m_bUpgrading || m_bBlockPending)
            return kFlowError;
        if (baPayload.size() < 4)
            return kBadParameter;
        const int nNumber = qFromLittleEndian<quint16>(baPayload.constData() + 2);
        if (nNumber != m_nExpectedBlock)
            return kBlockSequence;
        const QByteArray baBlock = baPayload.mid(4);
        if (baBlock.size() > device::BlockSize ||
            quint64(m_baStaging.size()) + quint64(baBlock.size()) > m_nAnnounced)
            return kOutOfRange;
        m_baStaging += baBlock;
        m_bBlockPending = true;
        return kOk;
    }
    case kCmdEnd:
        if (!m_bBlockPending)
            return kFlowError;
        m_bBlockPending = false;
        ++m_nExpectedBlock;
        ++m_nBlocksAcked;
        return kOk;
    case kCmdFinish:
        if (!m_bUpgrading || m_bBlockPending)
            return kFlowError;
        if (quint32(m_baStaging.size()) != m_nAnnounced)
            return kVerifyFile;
        m_baImage = m_baStaging;
        m_baStaging.clear();
        m_bUpgrading = false;
        // The new firmware carries its own version, as on the real device.
        if (!m_options.baFlashedVersion.isEmpty())
            m_options.baVersion = m_options.baFlashedVersion;
        StoreImage();
        return kOk;
    default:
        return kBadCommand;
    }
}

QByteArray DeviceSimulator::VersionText() const
{
    return m_options.baVersion + QByteArray(m_options.nVersionNuls, '\0');
}

void DeviceSimulator::StoreImage()
{
    if (m_options.sOutput.isEmpty())
        return;
    QSaveFile file(m_options.sOutput);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_baImage) != m_baImage.size() ||
        !file.commit())
        fprintf(stderr, "device-sim: cannot write %s\n", qPrintable(m_options.sOutput));
}
