#pragma once
// A minimal HTTP server on its own thread that answers every POST with one
// fixed body and every GET with 404, on a fixed address and port. It lets a
// test send replies that the stand-in server would never make.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

class RawReplyServer : public QObject
{
public:
    RawReplyServer(const QHostAddress &address, quint16 nPort)
    {
        moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            this,
            [this, address, nPort] {
                m_pServer = new QTcpServer(this);
                connect(m_pServer, &QTcpServer::newConnection, this, &RawReplyServer::OnConnection);
                m_bListening = m_pServer->listen(address, nPort);
            },
            Qt::BlockingQueuedConnection);
    }
    ~RawReplyServer() override
    {
        QMetaObject::invokeMethod(
            this,
            [this] {
                delete m_pServer;
                m_pServer = nullptr;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    bool IsListening() const { return m_bListening; }
    void SetReply(const QByteArray &baBody)
    {
        QMutexLocker lock(&m_mutex);
        m_baReply = baBody;
    }

private:
    void OnConnection()
    {
        while (QTcpSocket *pSocket = m_pServer->nextPendingConnection()) {
            connect(pSocket, &QTcpSocket::readyRead, this, [this, pSocket] { OnData(pSocket); });
            connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
        }
    }

    void OnData(QTcpSocket *pSocket)
    {
        QByteArray &baIn = m_pending[pSocket];
        baIn += pSocket->readAll();
        const int nHeaderEnd = baIn.indexOf("\r\n\r\n");
        if (nHeaderEnd < 0)
            return;
        const QByteArray baHead = baIn.left(nHeaderEnd).toLower();
        int nLength = 0;
        const int nAt = baHead.indexOf("content-length:");
        if (nAt >= 0)
            nLength = baHead.mid(nAt + 15, baHead.indexOf('\r', nAt) - nAt - 15).trimmed().toInt();
        if (baIn.size() < nHeaderEnd + 4 + nLength)
            return;
        QByteArray baBody;
        int nStatus = 404;
        if (baHead.startsWith("post")) {
            QMutexLocker lock(&m_mutex);
            baBody = m_baReply;
            nStatus = 200;
        }
        m_pending.remove(pSocket);
        pSocket->write(
            "HTTP/1.1 " + QByteArray::number(nStatus) + (nStatus == 200 ? " OK" : " Not Found") +
            "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
            QByteArray::number(baBody.size()) + "\r\nConnection: close\r\n\r\n" + baBody);
        pSocket->disconnectFromHost();
    }

    QThread m_thread;
    QTcpServer *m_pServer = nullptr;
    bool m_bListening = false;
    QMutex m_mutex;
    QByteArray m_baReply;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
