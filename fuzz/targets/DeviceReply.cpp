// Replies of the device's serial port. The first input byte picks the
// command, the rest is what the device answers; it is played on a real
// pseudo-terminal that the device object opens like the device's port. Once
// the reply has been taken the line is hung up, as when the device is pulled
// out, so that a reply announcing more than it holds ends at once.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "device/device.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{
// The two ends of a pseudo-terminal; the device object opens the slave by name.
class FakePort
{
public:
    FakePort()
    {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0)
            return;
        char szName[128] = {};
        if (ptsname_r(m_nMaster, szName, sizeof(szName)) != 0)
            return;
        m_sSlave = QString::fromLocal8Bit(szName);
        // Our own handle on the slave tells how much of the reply is still unread.
        m_nSlave = ::open(szName, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_nSlave < 0)
            return;
        termios raw{};
        tcgetattr(m_nSlave, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_nSlave, TCSANOW, &raw);
        fcntl(m_nMaster, F_SETFL, fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
    }
    ~FakePort()
    {
        HangUp();
        if (m_nSlave >= 0)
            ::close(m_nSlave);
    }
    FakePort(const FakePort &) = delete;
    FakePort &operator=(const FakePort &) = delete;

    bool IsReady() const { return m_nMaster >= 0 && m_nSlave >= 0; }
    QString SlavePath() const { return m_sSlave; }

    bool Send(const QByteArray &baData)
    {
        qint64 nDone = 0;
        while (nDone < baData.size()) {
            const ssize_t n =
                ::write(m_nMaster, baData.constData() + nDone, size_t(baData.size() - nDone));
            if (n < 0 && errno == EAGAIN) {
                pollfd pfd{m_nMaster, POLLOUT, 0};
                if (poll(&pfd, 1, 1000) <= 0)
                    return false;
                continue;
            }
            if (n <= 0)
                return false;
            nDone += n;
        }
        return true;
    }

    // Drains what the device sent; true once anything came.
    bool TakeRequest()
    {
        char buffer[8192];
        while (m_nMaster >= 0) {
            const ssize_t n = ::read(m_nMaster, buffer, sizeof(buffer));
            if (n <= 0)
                break;
            m_bRequestSeen = true;
        }
        return m_bRequestSeen;
    }

    int UnreadReplyBytes() const
    {
        int nQueued = 0;
        return ioctl(m_nSlave, FIONREAD, &nQueued) == 0 ? nQueued : 0;
    }

    void HangUp()
    {
        if (m_nMaster >= 0)
            ::close(m_nMaster);
        m_nMaster = -1;
    }

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    QString m_sSlave;
    bool m_bRequestSeen = false;
};
} // namespace

int FuzzDeviceReply(const uint8_t *pData, size_t nSize)
{
    if (nSize == 0)
        return 0;
    EnsureFuzzApplication();
    const int nCommand = pData[0] % 8;
    const QByteArray baReply = FuzzBytes(pData + 1, nSize - 1);

    FakePort port;
    if (!port.IsReady())
        return 0;
    device::SetSerialOverride(port.SlavePath());
    device dev;
    dev.Init(true);
    FUZZ_CHECK(dev.OpenPort(device::VendorId, device::ProductId));
    if (!port.Send(baReply))
        return 0;

    std::atomic<bool> bDone{false};
    std::thread watcher([&] {
        using namespace std::chrono;
        const auto start = steady_clock::now();
        int nQuietTurns = 0;
        while (!bDone.load() && steady_clock::now() - start < seconds(5)) {
            std::this_thread::sleep_for(microseconds(500));
            const bool bTaken = port.TakeRequest() && port.UnreadReplyBytes() == 0;
            nQuietTurns = bTaken ? nQuietTurns + 1 : 0;
            if (nQuietTurns >= 4) {
                port.HangUp();
                return;
            }
        }
    });

    switch (nCommand) {
    case 0: {
        QString sId;
        if (dev.QueryDeviceId(sId))
            FUZZ_CHECK(sId == sId.toUpper());
        break;
    }
    case 1:
        (void)dev.QueryVersion();
        break;
    case 2: {
        QString sHash;
        if (dev.ReadFirmwareHash(sHash))
            FUZZ_CHECK(sHash.isEmpty() || sHash.size() == 32);
        break;
    }
    case 3:
        (void)dev.BeginUpgrade(4096 * 3);
        break;
    case 4:
        (void)dev.WriteBlock(7, QByteArray(device::BlockSize, '\x5A'));
        break;
    case 5:
        (void)dev.EndBlock();
        break;
    case 6:
        (void)dev.FinishUpgrade();
        break;
    default:
        (void)dev.SendRaw(dev.BuildFrame(QStringLiteral("0108"), true));
        break;
    }
    bDone = true;
    watcher.join();
    return 0;
}
