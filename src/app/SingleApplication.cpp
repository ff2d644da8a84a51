#include "app/SingleApplication.h"

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
    InitLocalConnection();
}

void SingleApplication::InitLocalConnection()
{
    bRunning = false;
    QLocalSocket socket;
    socket.connectToServer(sServerName, QIODevice::ReadWrite);
    if (socket.waitForConnected(kConnectTimeoutMs)) {
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
    if (pLocalServer->listen(sServerName))
        return;
    // A copy that died left its socket behind: nobody answered above, so take it over.
    if (pLocalServer->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(sServerName);
        pLocalServer->listen(sServerName);
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
