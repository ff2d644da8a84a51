#include "app/SingleApplication.h"

#include "platform/InstanceGuard.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <cstdio>

namespace
{
const int kConnectTimeoutMs = 500;
const int kReadTimeoutMs = 1000;
} // namespace

SingleApplication::SingleApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    sServerName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    sSocketName = QString::fromStdString(
        InstanceServerName(qgetenv("XDG_RUNTIME_DIR").toStdString(), QDir::tempPath().toStdString(),
                           sServerName.toStdString()));
    InitLocalConnection();
}

void SingleApplication::InitLocalConnection()
{
    bRunning = false;
    if (sSocketName.isEmpty()) {
        // Better two copies than one that another user can answer for.
        qDebug() << "single-instance guard: no private place for" << sServerName;
        return;
    }
    // Copies starting at the same instant take turns, so that exactly one becomes the first
    // and none takes the socket of one that is already listening for stale.
    const InstanceLock lock(sSocketName.toStdString());
    if (!lock.Locked())
        qDebug() << "single-instance guard: start-up lock not held for" << sSocketName;
    QLocalSocket socket;
    socket.connectToServer(sSocketName, QIODevice::ReadWrite);
    const bool bConnected = socket.waitForConnected(kConnectTimeoutMs);
    // A copy so busy that its queue of connections is full is running all the same: only a
    // socket that nobody listens on is stale.
    const bool bBusy = !bConnected && (socket.state() == QLocalSocket::ConnectingState ||
                                       socket.error() == QLocalSocket::SocketTimeoutError);
    if (bConnected || bBusy) {
        fprintf(stderr, "%s already running.\n", sServerName.toLocal8Bit().constData());
        fflush(stderr);
        bRunning = true;
        return;
    }
    NewLocalServer();
}

void SingleApplication::NewLocalServer()
{
    pLocalServer = new QLocalServer(this);
    connect(pLocalServer, &QLocalServer::newConnection, this,
            &SingleApplication::_newLocalConnection);
    if (pLocalServer->listen(sSocketName))
        return;
    // A copy that died left its socket behind: nobody answered above, and no other copy can
    // have started listening since, so take it over.
    if (pLocalServer->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(sSocketName);
        pLocalServer->listen(sSocketName);
    }
}

void SingleApplication::_newLocalConnection()
{
    QLocalSocket *pSocket = pLocalServer->nextPendingConnection();
    if (!pSocket)
        return;
    pSocket->waitForReadyRead(kReadTimeoutMs);
    delete pSocket;
    if (pMainWindow) {
        if (pMainWindow->isVisible()) {
            pMainWindow->showNormal();
            pMainWindow->raise();
        }
        pMainWindow->activateWindow();
    }
    emit RedisplayWindow();
}
