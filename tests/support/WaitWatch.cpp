#include "WaitWatch.h"

#include "net/ServerProtocol.h"

#include <QApplication>
#include <QHostAddress>
#include <QWidget>

WaitWatch::WaitWatch(std::function<bool()> fnWaiting)
    : fnWaiting(fnWaiting ? std::move(fnWaiting) : std::function<bool()>(PromptShown))
{
    clock.start();
    connect(&timer, &QTimer::timeout, this, [this]() { Turn(this->fnWaiting()); });
    timer.start(10);
}

void WaitWatch::Stop()
{
    if (!timer.isActive())
        return;
    timer.stop();
    Turn(false);
}

bool WaitWatch::PromptShown()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWidget *pWidget : widgets) {
        if (pWidget->objectName() == QLatin1String("PromptDlg") && pWidget->isVisible())
            return true;
    }
    return false;
}

void WaitWatch::Turn(bool bWaiting)
{
    const qint64 nNowMs = clock.elapsed();
    if (bLastWaiting)
        nLongestGapMs = qMax(nLongestGapMs, nNowMs - nLastMs);
    if (bWaiting)
        ++nTurns;
    bLastWaiting = bWaiting;
    nLastMs = nNowMs;
}

SilentServer::SilentServer(const QString &sAddress, long nCommandMs)
    : pCommand(std::make_unique<QTcpServer>()), pLogin(std::make_unique<QTcpServer>()),
      sPreviousAddress(ServerAddress()), previousTimeouts(CurrentTransferTimeouts())
{
    // Connections are taken (by the system, whatever this thread does) and
    // their requests read by nobody.
    pCommand->listen(QHostAddress(sAddress), 19320);
    pLogin->listen(QHostAddress(sAddress), 19321);
    SetServerAddress(sAddress);
    TransferTimeouts shortened = previousTimeouts;
    shortened.nCommandMs = nCommandMs;
    SetTransferTimeouts(shortened);
}

SilentServer::~SilentServer()
{
    SetTransferTimeouts(previousTimeouts);
    SetServerAddress(sPreviousAddress);
}

bool SilentServer::IsListening() const
{
    return pCommand->isListening() && pLogin->isListening();
}
