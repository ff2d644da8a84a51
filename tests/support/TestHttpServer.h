#pragma once
// A small HTTP/1.1 server on its own thread for downloader and protocol
// tests: files (GET) answer normally, with an error status, cut off half-way,
// stalled half-way, or trickled (one byte every 100 ms); every POST gets one
// raw reply body that the test sets, whatever a real server would send. It
// counts connections and records request paths (as sent, still
// percent-encoded). Keep-alive is honoured so connection reuse can be seen.

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>

class TestHttpServer : public QObject
{
public:
    enum Mode { Normal, Truncated, Stalled, Trickled };
    struct Resource {
        QByteArray baBody;
        int nStatus = 200;
        Mode mode = Normal;
    };

    // On a free port, or on nPort.
    explicit TestHttpServer(const QHostAddress &address, quint16 nPort = 0)
    {
        moveToThread(&thread);
        thread.start();
        // The listening socket belongs to the server thread from the start.
        QMetaObject::invokeMethod(
            this,
            [this, address, nPort] {
                pServer = new QTcpServer(this);
                connect(pServer, &QTcpServer::newConnection, this, &TestHttpServer::OnConnection);
                if (pServer->listen(address, nPort))
                    this->nPort = pServer->serverPort();
            },
            Qt::BlockingQueuedConnection);
        sBaseUrl = QStringLiteral("http://%1:%2/").arg(address.toString()).arg(this->nPort);
    }
    ~TestHttpServer() override
    {
        RunOnServerThread([this] { Shutdown(); });
        thread.quit();
        thread.wait();
    }

    QString BaseUrl() const { return sBaseUrl; }
    bool IsListening() const { return nPort != 0; }

    void SetFile(const QString &sPath, const QByteArray &baBody, int nStatus = 200,
                 Mode mode = Normal)
    {
        std::lock_guard<std::mutex> lock(mutex);
        resources.insert(sPath, Resource{baBody, nStatus, mode});
    }
    // The body every POST is answered with (status 200, then the connection closes).
    void SetPostReply(const QByteArray &baBody)
    {
        std::lock_guard<std::mutex> lock(mutex);
        baPostReply = baBody;
    }
    // Called on the server thread when a stalled answer has sent its first half.
    void OnStall(std::function<void()> callback)
    {
        std::lock_guard<std::mutex> lock(mutex);
        stallCallback = std::move(callback);
    }
    int Connections() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return nConnections;
    }
    QStringList Requests() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return slRequests;
    }

private:
    // Runs f on the server thread and waits for it. The hand-over mutex makes
    // the order visible to thread checkers, which do not see Qt's own waits.
    template <class F> void RunOnServerThread(F f)
    {
        QMetaObject::invokeMethod(
            this,
            [this, f] {
                f();
                std::lock_guard<std::mutex> lock(handOver);
            },
            Qt::BlockingQueuedConnection);
        std::lock_guard<std::mutex> lock(handOver);
    }

    void Shutdown()
    {
        pServer->close();
        const auto sockets = findChildren<QTcpSocket *>();
        for (QTcpSocket *pSocket : sockets) {
            pSocket->disconnect(this);
            pSocket->abort();
            delete pSocket;
        }
        delete pServer;
        pServer = nullptr;
        buffers.clear();
    }

    void OnConnection()
    {
        while (QTcpSocket *pSocket = pServer->nextPendingConnection()) {
            pSocket->setParent(this);
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++nConnections;
            }
            connect(pSocket, &QTcpSocket::readyRead, this, [this, pSocket] { OnRead(pSocket); });
            connect(pSocket, &QTcpSocket::disconnected, this, [this, pSocket] {
                buffers.remove(pSocket);
                pSocket->deleteLater();
            });
        }
    }

    void OnRead(QTcpSocket *pSocket)
    {
        buffers[pSocket] += pSocket->readAll();
        QPointer<QTcpSocket> pAlive(pSocket);
        for (;;) {
            QByteArray &baBuffer = buffers[pSocket];
            const int nEnd = baBuffer.indexOf("\r\n\r\n");
            if (nEnd < 0)
                break;
            const QByteArray baHead = baBuffer.left(nEnd);
            const int nBody = ContentLength(baHead);
            if (baBuffer.size() < nEnd + 4 + nBody)
                break; // the body is still coming
            baBuffer.remove(0, nEnd + 4 + nBody);
            const QList<QByteArray> parts = baHead.split('\n').value(0).trimmed().split(' ');
            if (parts.value(0) == "POST")
                AnswerPost(pSocket);
            else
                Answer(pSocket, QString::fromLatin1(parts.value(1)));
            // Answering may close the connection (and forget its buffer).
            if (!pAlive || !buffers.contains(pSocket))
                break;
        }
    }

    static int ContentLength(const QByteArray &baHead)
    {
        for (const QByteArray &baLine : baHead.split('\n')) {
            const int nColon = baLine.indexOf(':');
            if (nColon > 0 && baLine.left(nColon).trimmed().toLower() == "content-length")
                return qMax(0, baLine.mid(nColon + 1).trimmed().toInt());
        }
        return 0;
    }

    void AnswerPost(QTcpSocket *pSocket)
    {
        QByteArray baBody;
        {
            std::lock_guard<std::mutex> lock(mutex);
            baBody = baPostReply;
        }
        pSocket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                       "Content-Length: " +
                       QByteArray::number(baBody.size()) + "\r\nConnection: close\r\n\r\n" +
                       baBody);
        pSocket->disconnectFromHost();
    }

    void Answer(QTcpSocket *pSocket, const QString &sPath)
    {
        Resource resource;
        bool bKnown = false;
        std::function<void()> callback;
        {
            std::lock_guard<std::mutex> lock(mutex);
            slRequests << sPath;
            bKnown = resources.contains(sPath);
            resource = resources.value(sPath);
            callback = stallCallback;
        }
        if (!bKnown)
            resource = Resource{QByteArrayLiteral("not found"), 404, Normal};
        QByteArray baHead = "HTTP/1.1 " + QByteArray::number(resource.nStatus) + " X\r\n";
        baHead += "Content-Length: " + QByteArray::number(resource.baBody.size()) + "\r\n";
        baHead += "Content-Type: application/octet-stream\r\n\r\n";
        pSocket->write(baHead);
        if (resource.mode == Normal) {
            pSocket->write(resource.baBody);
            return;
        }
        if (resource.mode == Trickled) {
            auto *pTimer = new QTimer(pSocket);
            auto nSent = std::make_shared<int>(0);
            connect(pTimer, &QTimer::timeout, pSocket, [pSocket, pTimer, nSent, resource] {
                if (*nSent >= resource.baBody.size()) {
                    pTimer->stop();
                    return;
                }
                pSocket->write(resource.baBody.mid((*nSent)++, 1));
            });
            pTimer->start(100);
            return;
        }
        pSocket->write(resource.baBody.left(resource.baBody.size() / 2));
        pSocket->flush();
        if (resource.mode == Truncated) {
            pSocket->disconnectFromHost();
            return;
        }
        if (callback)
            callback();
    }

    QThread thread;
    QTcpServer *pServer = nullptr;
    quint16 nPort = 0;
    QString sBaseUrl;
    QHash<QTcpSocket *, QByteArray> buffers;
    std::mutex handOver;
    mutable std::mutex mutex;
    QHash<QString, Resource> resources;
    std::function<void()> stallCallback;
    QByteArray baPostReply;
    QStringList slRequests;
    int nConnections = 0;
};
