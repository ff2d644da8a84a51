#pragma once
#include <QApplication>
#include <QPointer>

class QLocalServer;

// The application object that allows one running copy per executable file
// name and user. A later copy finds the first one's local server, says so on
// stderr and reports IsRunning(); the first copy then brings its main window
// forward. The server lives where only the user's own copies reach it.
class SingleApplication : public QApplication
{
    Q_OBJECT
public:
    SingleApplication(int &argc, char **argv);

    bool IsRunning() const { return bRunning; }
    void setMainWindow(QWidget *pWindow) { pMainWindow = pWindow; }
    QString ServerName() const { return sServerName; }
    // The local server's full name (a socket path, a pipe name); empty when the
    // guard found no private place and the copy runs unguarded.
    QString SocketName() const { return sSocketName; }

signals:
    void RedisplayWindow();

private slots:
    void _newLocalConnection();

private:
    void InitLocalConnection();
    void NewLocalServer();

    bool bRunning = false;
    QLocalServer *pLocalServer = nullptr;
    QPointer<QWidget> pMainWindow;
    QString sServerName;
    QString sSocketName;
};
