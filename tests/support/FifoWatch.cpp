#include "FifoWatch.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

void Interrupt(int) {}

// Without SA_RESTART, so that the signal ends the writer's waiting open with EINTR.
void InstallInterruptHandler()
{
    static const bool s_bInstalled = [] {
        struct sigaction action = {};
        action.sa_handler = Interrupt;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGUSR1, &action, nullptr) == 0;
    }();
    (void)s_bInstalled;
}

} // namespace

FifoWatch::FifoWatch(const QString &sPath)
{
    const QByteArray baPath = QFile::encodeName(sPath);
    if (::mkfifo(baPath.constData(), 0666) != 0)
        return;
    InstallInterruptHandler();
    m_bValid = true;
    m_writer = std::thread([this, baPath] {
        while (!m_bStopping.load()) {
            // Returns once a reader has opened the other end, or with EINTR when called off.
            const int nFd = ::open(baPath.constData(), O_WRONLY | O_CLOEXEC);
            if (nFd >= 0) {
                m_bOpened = true;
                ::close(nFd);
            } else if (errno != EINTR) {
                break;
            }
        }
        m_bDone = true;
    });
}

FifoWatch::~FifoWatch()
{
    Opened();
}

bool FifoWatch::Opened()
{
    if (!m_writer.joinable())
        return m_bOpened.load();
    m_bStopping = true;
    // The signal may come before the writer is inside open(): repeat until it has left.
    while (!m_bDone.load()) {
        pthread_kill(m_writer.native_handle(), SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_writer.join();
    return m_bOpened.load();
}
