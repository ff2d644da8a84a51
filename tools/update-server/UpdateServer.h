#pragma once
// The stand-in update server: the command endpoints on the login and command
// ports, the package files under /files/, and the /control/ requests that
// tests use to read the request log and to switch faults on and off.

#include "AccountStore.h"
#include "FaultBoard.h"
#include "PackageCatalogue.h"
#include "RequestLog.h"
#include "ServerModes.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <httplib.h>
#include <memory>

struct ServerSettings {
    QString sAddress = QStringLiteral("127.0.0.1");
    int nCommandPort = 19320;
    int nLoginPort = 19321;
    QString sRoot; // "root" of the replies; empty = http://address:command-port/files/
    bool bVerbose = false;
};

class UpdateServer
{
public:
    UpdateServer(const ServerSettings &settings, AccountStore &accounts,
                 PackageCatalogue &catalogue);
    ~UpdateServer();

    FaultBoard &Faults() { return m_faults; }
    ServerModes &Modes() { return m_modes; }
    // Binds both ports; false with a message when one cannot be bound.
    bool Bind(QString *pError);
    // Serves until Stop(); blocks.
    void Run();
    void Stop();

private:
    enum class Endpoint { Login, Register, Universal };
    struct Reply {
        std::string sBody;
        std::string sContentType = "application/octet-stream";
        std::string sCookie;
    };

    void Route(httplib::Server &server, bool bCommandPort);
    void HandleCommand(const httplib::Request &req, httplib::Response &res, Endpoint endpoint);
    void HandleFile(const httplib::Request &req, httplib::Response &res);
    // The file, or the range of it asked for, with its validators (ETag,
    // Last-Modified); the fault's file members apply.
    void ServeFile(const httplib::Request &req, httplib::Response &res, const QString &sLocal,
                   const Fault &fault, quint64 nEntry);
    void HandleControl(const httplib::Request &req, httplib::Response &res);

    QJsonObject Login(const QJsonObject &joData, std::string *pCookie);
    QJsonObject Register(const QJsonObject &joData);
    QJsonObject Catalogue(const QJsonObject &joData, ServerModes::Set modes) const;
    QJsonObject DownloadList(const QJsonObject &joData, ServerModes::Set modes) const;
    QString SessionUser(const httplib::Request &req) const;

    void Answer(const httplib::Request &req, httplib::Response &res, const Reply &reply,
                const std::optional<Fault> &fault);
    // Frames the finished answer as the modes ask: chunked, or sent here as
    // HTTP/1.0 without a length and ended by closing the connection.
    static void Frame(const httplib::Request &req, httplib::Response &res, ServerModes::Set modes);
    static void MakeChunked(httplib::Response &res);
    static void SendAsHttp10(const httplib::Request &req, httplib::Response &res);
    bool Pause(int nMs);
    QString Root() const;

    ServerSettings m_settings;
    AccountStore &m_accounts;
    PackageCatalogue &m_catalogue;
    FaultBoard m_faults;
    ServerModes m_modes;
    RequestLog m_log;
    httplib::Server m_commandServer;
    httplib::Server m_loginServer;

    mutable std::mutex m_mutex; // sessions and the stop flag's wait
    std::condition_variable m_stopCondition;
    std::atomic<bool> m_bStopping{false};
    QHash<QString, QString> m_sessions; // token -> account name
};
