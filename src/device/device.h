#pragma once
// The device's USB serial port and its framed request/reply protocol.
//
// Frame (little-endian): AA 55 | flag (2) | payload length N (4) | payload | sum of payload
// bytes (4). With flag 1 the payload is AES-128-ECB encrypted with FrameKey after PKCS#7-style
// padding. Request payloads start with the object code 01 and the command code; replies echo
// both and carry the status in byte 2.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

class QSerialPort;

class device : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 VendorId = 0x1FC9;
    static constexpr quint16 ProductId = 0x009E;
    static constexpr quint16 UpgradeProductIdD = 0x009F;
    static constexpr int BlockSize = 4096;
    static constexpr int ReplyBufferSize = 1024;
    static constexpr int FrameBufferSize = 4124;
    static constexpr int HeaderSize = 8;
    static constexpr int FrameOverhead = 12;
    static constexpr int CommandTimeoutMs = 3000;
    static constexpr int RawTimeoutMs = 10000;
    // The device's upgrade-mode switch, always sent plain.
    static constexpr const char *EnterUpgradeFrame = "AA55000002000000012122000000";

    explicit device(QObject *parent = nullptr);
    ~device() override;

    void Init(bool bEncrypt);
    bool OpenPort(quint16 vid, quint16 pid);
    bool IsOpen() const;

    // Sends one frame and collects the reply into pBuffer (ReplyBufferSize bytes). A longer
    // reply is read to its end but only its first ReplyBufferSize bytes are kept.
    bool Transact(const QByteArray &baFrame, char *pBuffer, quint16 &nLength, int nTimeoutMs);

    QByteArray BuildFrame(const QString &sHexPayload, bool bEncrypt) const;
    bool SendRaw(const QByteArray &baFrame);

    bool QueryDeviceId(QString &sId);
    QString QueryVersion();
    bool ReadFirmwareHash(QString &sHash);
    bool BeginUpgrade(quint32 nSize);
    bool WriteBlock(quint16 nNumber, const QByteArray &baData);
    bool EndBlock();
    bool FinishUpgrade();
    bool SendFile(const QString &sPath);

    // One-shot reads for the update catalogue: open the device's port (vendor 0x1FC9,
    // product 0x009E), ask, release it. Empty text when the port cannot be opened or the
    // device does not answer; an identifier that comes with an error status is returned.
    static QString ReadDeviceId();
    static QString ReadFirmwareVersion();
    // The system path of the device's serial port when the port is present but this user
    // may not open it (SerialPortAccessDenied); empty otherwise.
    static QString DeniedPortPath(quint16 vid, quint16 pid);
    // "V01.2" -> "V1.2": a second character "0" is dropped when the text is longer than 2.
    static QString TrimFirmwareVersion(const QString &sVersion);

    // Frame helpers, shared with the simulated device.
    static const QByteArray &FrameKey();
    static QByteArray EncryptPayload(const QByteArray &baPlain);
    static QByteArray DecryptPayload(const QByteArray &baCipher);
    static QByteArray WrapFrame(const QByteArray &baPayload, bool bEncrypted);
    // Total frame length announced by a frame's header, or -1 when the header is not
    // readable (too short, wrong magic, or an implausible length).
    static qint64 FrameLengthFromHeader(const QByteArray &baHead);

    // Message for a failed status: the device's table text or "unknown error", in the
    // interface language in use at the time of the call.
    static QString ErrorText(quint8 nStatus);

    // The serial device used instead of a vendor/product match (UPDATEASSIST_SERIAL, read
    // once at start; tests may set it).
    static QString SerialOverride();
    static void SetSerialOverride(const QString &sPortName);

    // Where the time of the last exchanges went, for diagnostics and benchmarks.
    struct Timing {
        qint64 nExchanges = 0;
        qint64 nReplyWaitNs = 0;   // blocked on the port: sending, then until the reply is whole
        qint64 nSilenceWaitNs = 0; // waiting for a silence: replies not ended by their header
        qint64 nSilenceEnds = 0;   // replies that ended at 10 ms of silence
        qint64 nTimeouts = 0;      // exchanges that waited out their whole time-out
    };
    Timing LastTiming() const { return m_timing; }
    void ResetTiming() { m_timing = Timing(); }

signals:
    void feedback(QString sCode);
    void sendprogress(int nCurrent, int nMax);
    void Finish();

private:
    enum class StatusRule { Default0, Default255, Ignore };
    // nDecrypt: how many reply bytes from offset 8 are decrypted (-1 = all); the status is read
    // from a reply payload of at least nStatusFrom bytes, else the rule's default applies.
    bool Exchange(const QByteArray &baPayload, int nDecrypt, StatusRule rule, bool bLogStatus,
                  QByteArray &baReplyPayload, int nStatusFrom = 3);
    void DropLostPort();

    QSerialPort *m_pPort = nullptr;
    bool m_bEncrypt = false;
    bool m_bLost = false;
    Timing m_timing;
};
