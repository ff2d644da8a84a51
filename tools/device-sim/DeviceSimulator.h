#pragma once
// The device's side of the serial protocol: parses request frames, keeps the firmware image
// and an upgrade in progress, and builds the replies.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

// What the reply's length field says (the host must not depend on it).
enum class LengthField {
    Right,    // the payload as sent
    Plain,    // the payload before encryption and padding
    Checksum, // the payload and the 4 checksum bytes
    Block,    // one cipher block more than sent
    Zero
};

struct SimOptions {
    QByteArray baId;
    QByteArray baVersion;
    QByteArray baFlashedVersion; // reported once an upgrade has finished; empty: unchanged
    QByteArray baImage;
    QString sOutput;
    QHash<QString, quint8> failures; // target ("hash", "block", "block:3", ...) -> status
    QSet<QString> shortFailures;     // failing targets whose reply carries no data at all
    QSet<QString> silent;            // targets that get no reply
    int nDelayMs = 0;
    int nSplitMs = 0;       // > 0: the reply's first bytes go out first, the rest this much later
    int nUnplugAfter = 0;   // 0 = never
    int nPiecesMs = -1;     // >= 0: every reply in small pieces, this much apart
    bool bBadMagic = false; // replies whose header the host cannot read
    LengthField lengthField = LengthField::Right;
    int nReplyFlag = -1;       // >= 0: the reply's flag field holds this instead of the request's
    bool bBadChecksum = false; // the reply's checksum is off by one
    int nVersionNuls = 0;      // NUL bytes after the version text
    bool bLog = false;
};

class DeviceSimulator
{
public:
    explicit DeviceSimulator(const SimOptions &options);

    // Feeds bytes read from the terminal; returns the bytes to answer with (possibly empty).
    QByteArray Feed(const QByteArray &baBytes);
    // True once the simulated cable has been pulled.
    bool Unplugged() const { return m_bUnplugged; }

    static const QStringList &Targets();
    // The names of the --reply-length modes, in the order of LengthField.
    static const QStringList &LengthFieldNames();

private:
    QByteArray HandleFrame(const QByteArray &baFrame);
    // Returns the status and fills baData with the reply data; sTarget names the command.
    quint8 Handle(const QByteArray &baPayload, QString &sTarget, QString &sNumbered,
                  QByteArray &baData);
    void StoreImage();
    QByteArray VersionText() const;

    SimOptions m_options;
    QByteArray m_baInput;
    QByteArray m_baImage;
    QByteArray m_baStaging;
    quint32 m_nAnnounced = 0;
    int m_nExpectedBlock = 0;
    bool m_bUpgrading = false;
    bool m_bBlockPending = false;
    int m_nBlocksAcked = 0;
    bool m_bUnplugged = false;
};
