// device-sim: answers the device's serial protocol on a pseudo-terminal.
#include "DeviceSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{

volatile sig_atomic_t g_bStop = 0;

void OnSignal(int)
{
    g_bStop = 1;
}

// Closes the terminal pair when the simulator ends or the cable is pulled.
class PtyPair
{
public:
    bool Open()
    {
        termios raw = {};
        cfmakeraw(&raw);
        cfsetispeed(&raw, B115200);
        cfsetospeed(&raw, B115200);
        char name[256] = {};
        if (openpty(&m_nMaster, &m_nSlave, name, &raw, nullptr) != 0)
            return false;
        m_sName = QString::fromLocal8Bit(name);
        return true;
    }
    ~PtyPair() { Close(); }
    void Close()
    {
        if (m_nMaster >= 0)
            ::close(m_nMaster);
        if (m_nSlave >= 0)
            ::close(m_nSlave);
        m_nMaster = m_nSlave = -1;
    }
    int Master() const { return m_nMaster; }
    QString Name() const { return m_sName; }

private:
    // The simulator keeps its own handle on the terminal side so that the port can be
    // opened and closed by clients any number of times without hanging the pair up.
    int m_nMaster = -1;
    int m_nSlave = -1;
    QString m_sName;
};

bool WriteAll(int nFd, const QByteArray &baData)
{
    const char *p = baData.constData();
    qint64 nLeft = baData.size();
    while (nLeft > 0) {
        const ssize_t n = ::write(nFd, p, size_t(nLeft));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                pollfd pfd = {nFd, POLLOUT, 0};
                poll(&pfd, 1, 100);
                continue;
            }
            return false;
        }
        p += n;
        nLeft -= n;
    }
    return true;
}

bool ParseTarget(const QString &sTarget)
{
    const QString sBase = sTarget.section(':', 0, 0);
    if (!DeviceSimulator::Targets().contains(sBase))
        return false;
    if (!sTarget.contains(':'))
        return true;
    bool bOk = false;
    const int nNumber = sTarget.section(':', 1).toInt(&bOk);
    return bOk && nNumber >= 0 && (sBase == "block" || sBase == "end");
}

int Fail(const QString &sMsg)
{
    fprintf(stderr, "device-sim: %s\n", qPrintable(sMsg));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("device-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated diagnostic device: opens a pseudo-terminal pair, prints the terminal's\n"
        "path on the first line of standard output and answers the device's framed serial\n"
        "protocol on it (plain and encrypted frames) until it is terminated.\n\n"
        "Targets for --fail, --short and --silent: enter, id, version, hash, begin, block, end,\n"
        "finish, or block:N / end:N for the data block numbered N (counted from 0).\n\n"
        "Replies as the host must take them although they differ from the frame it sent\n"
        "(it reads a reply at fixed positions and ends it at 10 ms of silence):\n"
        "  --bad-magic, --reply-flag N, --bad-checksum   header and checksum fields\n"
        "  --reply-length plain|checksum|block|zero      a length field that is wrong\n"
        "  --pieces MS                                   a reply in several writes\n"
        "  --version-nuls N                              a version text padded with NULs\n"
        "  --fail version=CODE, --fail enter=CODE        statuses the host does not judge");
    parser.addHelpOption();
    QCommandLineOption idOption(
        "id", "Device identifier as hexadecimal bytes (default 4B58353230000000000001).", "hex",
        "4B58353230000000000001");
    QCommandLineOption versionOption("version", "Firmware version text (default V01.2).", "text",
                                     "V01.2");
    QCommandLineOption flashedVersionOption(
        "flashed-version",
        "Firmware version text reported once an upgrade has finished (default: unchanged).",
        "text");
    QCommandLineOption imageOption("image",
                                   "Initial firmware image; its MD5 is the digest the device "
                                   "reports. Default: an empty image.",
                                   "file");
    QCommandLineOption outputOption(
        "output", "Write the firmware image to this file each time an upgrade finishes.", "file");
    QCommandLineOption ptyFileOption("pty-file", "Also write the terminal's path to this file.",
                                     "file");
    QCommandLineOption failOption(
        "fail", "Answer the status code (hexadecimal, e.g. 1C) to the target. Repeatable.",
        "target=code");
    QCommandLineOption shortOption(
        "short",
        "Answer the status code to the target with a short reply: object, command and status, "
        "without the data that a failing reply otherwise carries (a digest read then has no "
        "digest). Repeatable.",
        "target=code");
    QCommandLineOption silentOption("silent", "Never answer the target. Repeatable.", "target");
    QCommandLineOption delayOption("delay", "Wait this long before every reply (default 0).", "ms",
                                   "0");
    QCommandLineOption unplugOption(
        "unplug-after",
        "Pull the cable (close the terminal and exit) at the first "
        "transfer request after N blocks were acknowledged (default 0: never).",
        "n", "0");
    QCommandLineOption splitOption("split",
                                   "Send each reply in two pieces, its first bytes (--split-at) "
                                   "first and the rest this long after them (default 0: in one "
                                   "piece).",
                                   "ms", "0");
    QCommandLineOption splitAtOption(
        "split-at",
        "Where --split divides a reply (default 8: after the header; 28: after the header, the "
        "first cipher block and 4 bytes, where a whole one-block reply would end).",
        "bytes", "8");
    QCommandLineOption badMagicOption(
        "bad-magic", "Send replies with a broken magic, so that the host cannot read their "
                     "length and must wait for silence to end them.");
    QCommandLineOption replyLengthOption(
        "reply-length",
        "What the length field of every reply counts: right (the payload as sent, default), "
        "plain (the payload before encryption and padding), checksum (the payload and the 4 "
        "checksum bytes), block (one cipher block more than sent) or zero.",
        "mode", "right");
    QCommandLineOption replyFlagOption(
        "reply-flag",
        "Put N into the flag field of every reply instead of the request's flag (0 to 65535).",
        "n");
    QCommandLineOption badChecksumOption("bad-checksum",
                                         "Send every reply with a checksum off by one.");
    QCommandLineOption piecesOption(
        "pieces",
        "Send each reply in pieces of 5 bytes, this long apart (below 10 ms the host must "
        "still take them as one reply).",
        "ms");
    QCommandLineOption versionNulsOption(
        "version-nuls", "Pad the version text with N NUL bytes, as a fixed-size field.", "n", "0");
    QCommandLineOption parentOption("exit-with-parent",
                                    "End when the process that started the simulator ends.");
    QCommandLineOption logOption("log", "Print every request and its status on standard error.");
    parser.addOptions({idOption,          versionOption,  flashedVersionOption, imageOption,
                       outputOption,      ptyFileOption,  failOption,           shortOption,
                       silentOption,      delayOption,    unplugOption,         splitOption,
                       splitAtOption,     badMagicOption, replyLengthOption,    replyFlagOption,
                       badChecksumOption, piecesOption,   versionNulsOption,    parentOption,
                       logOption});
    parser.process(app);

    SimOptions options;
    const QString sIdHex = parser.value(idOption);
    options.baId = QByteArray::fromHex(sIdHex.toLatin1());
    if (options.baId.toHex().compare(sIdHex.toLatin1(), Qt::CaseInsensitive) != 0)
        return Fail("--id needs an even number of hexadecimal digits");
    options.baVersion = parser.value(versionOption).toLocal8Bit();
    options.baFlashedVersion = parser.value(flashedVersionOption).toLocal8Bit();
    if (parser.isSet(imageOption)) {
        QFile image(parser.value(imageOption));
        if (!image.open(QIODevice::ReadOnly))
            return Fail("cannot read " + image.fileName());
        options.baImage = image.readAll();
    }
    options.sOutput = parser.value(outputOption);
    const auto addFailures = [&options](const QStringList &slFailures, bool bShort) {
        for (const QString &sFailure : slFailures) {
            const QString sTarget = sFailure.section('=', 0, 0);
            bool bOk = false;
            const uint nCode = sFailure.section('=', 1).toUInt(&bOk, 16);
            if (!ParseTarget(sTarget) || !bOk || nCode > 0xFF)
                return false;
            options.failures.insert(sTarget, quint8(nCode));
            if (bShort)
                options.shortFailures.insert(sTarget);
        }
        return true;
    };
    if (!addFailures(parser.values(failOption), false))
        return Fail("bad --fail " + parser.values(failOption).join(' '));
    if (!addFailures(parser.values(shortOption), true))
        return Fail("bad --short " + parser.values(shortOption).join(' '));
    const QStringList slSilent = parser.values(silentOption);
    for (const QString &sTarget : slSilent) {
        if (!ParseTarget(sTarget))
            return Fail("bad --silent " + sTarget);
        options.silent.insert(sTarget);
    }
    bool bOk = false;
    options.nDelayMs = parser.value(delayOption).toInt(&bOk);
    if (!bOk || options.nDelayMs < 0)
        return Fail("bad --delay");
    options.nSplitMs = parser.value(splitOption).toInt(&bOk);
    if (!bOk || options.nSplitMs < 0)
        return Fail("bad --split");
    const int nSplitAt = parser.value(splitAtOption).toInt(&bOk);
    if (!bOk || nSplitAt < 1)
        return Fail("bad --split-at");
    options.nUnplugAfter = parser.value(unplugOption).toInt(&bOk);
    if (!bOk || options.nUnplugAfter < 0)
        return Fail("bad --unplug-after");
    if (parser.isSet(piecesOption)) {
        options.nPiecesMs = parser.value(piecesOption).toInt(&bOk);
        if (!bOk || options.nPiecesMs < 0)
            return Fail("bad --pieces");
    }
    options.bBadMagic = parser.isSet(badMagicOption);
    const int nLengthField =
        DeviceSimulator::LengthFieldNames().indexOf(parser.value(replyLengthOption).toLower());
    if (nLengthField < 0)
        return Fail("bad --reply-length " + parser.value(replyLengthOption));
    options.lengthField = LengthField(nLengthField);
    if (parser.isSet(replyFlagOption)) {
        options.nReplyFlag = parser.value(replyFlagOption).toInt(&bOk);
        if (!bOk || options.nReplyFlag < 0 || options.nReplyFlag > 0xFFFF)
            return Fail("bad --reply-flag");
    }
    options.bBadChecksum = parser.isSet(badChecksumOption);
    options.nVersionNuls = parser.value(versionNulsOption).toInt(&bOk);
    if (!bOk || options.nVersionNuls < 0 || options.nVersionNuls > 1000)
        return Fail("bad --version-nuls");
    options.bLog = parser.isSet(logOption);

    PtyPair pty;
    if (!pty.Open())
        return Fail(QString("openpty failed: %1").arg(strerror(errno)));
    if (parser.isSet(ptyFileOption)) {
        QSaveFile file(parser.value(ptyFileOption));
        if (!file.open(QIODevice::WriteOnly) || file.write(pty.Name().toLocal8Bit() + '\n') < 0 ||
            !file.commit())
            return Fail("cannot write " + file.fileName());
    }
    printf("%s\n", qPrintable(pty.Name()));
    fflush(stdout);

    // A test that dies must not leave its simulator behind.
    const bool bWithParent = parser.isSet(parentOption);
    const pid_t nParent = getppid();
    if (bWithParent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != nParent)
            return 0;
    }

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    DeviceSimulator simulator(options);
    QByteArray baChunk(64 * 1024, '\0');
    while (!g_bStop && (!bWithParent || getppid() == nParent)) {
        pollfd pfd = {pty.Master(), POLLIN, 0};
        const int nReady = poll(&pfd, 1, 200);
        if (nReady < 0 && errno != EINTR)
            return Fail(QString("poll failed: %1").arg(strerror(errno)));
        if (nReady <= 0)
            continue;
        const ssize_t nRead = ::read(pty.Master(), baChunk.data(), size_t(baChunk.size()));
        if (nRead <= 0) {
            if (nRead < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            // Nobody holds the terminal side any longer; wait for the next client.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        QByteArray baReply = simulator.Feed(baChunk.left(int(nRead)));
        if (simulator.Unplugged()) {
            if (options.bLog)
                fprintf(stderr, "device-sim: unplugged\n");
            pty.Close();
            return 0;
        }
        if (baReply.isEmpty())
            continue;
        if (options.nDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.nDelayMs));
        if (options.nSplitMs > 0 && baReply.size() > nSplitAt) {
            if (!WriteAll(pty.Master(), baReply.left(nSplitAt)))
                return Fail(QString("write failed: %1").arg(strerror(errno)));
            std::this_thread::sleep_for(std::chrono::milliseconds(options.nSplitMs));
            baReply.remove(0, nSplitAt);
        }
        // Pieces of 5 bytes end inside the header, the cipher blocks and the checksum.
        constexpr int kPiece = 5;
        while (options.nPiecesMs >= 0 && baReply.size() > kPiece) {
            if (!WriteAll(pty.Master(), baReply.left(kPiece)))
                return Fail(QString("write failed: %1").arg(strerror(errno)));
            std::this_thread::sleep_for(std::chrono::milliseconds(options.nPiecesMs));
            baReply.remove(0, kPiece);
        }
        if (!WriteAll(pty.Master(), baReply))
            return Fail(QString("write failed: %1").arg(strerror(errno)));
    }
    return 0;
}
