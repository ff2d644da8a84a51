#include "UpdateServer.h"

#include "ConnectionReset.h"
#include "base/Json.h"
#include "net/ServerProtocol.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <QUuid>
#include <QtEndian>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>
#include <zlib.h>

namespace
{
const char kNotJson[] = "<html><body>Service temporarily unavailable</body></html>";

QString CommandKind(int nCommand)
{
    switch (nCommand) {
    case CommandRegister:
        return QStringLiteral("register");
    case CommandLogin:
        return QStringLiteral("login");
    case CommandCatalogue:
        return QStringLiteral("catalogue");
    case CommandDownloadList:
        return QStringLiteral("downloadlist");
    default:
        return QStringLiteral("unknown");
    }
}

QJsonObject CodeReply(const char *pCode, const QString &sMsg = QString())
{
    QJsonObject joReply;
    joReply.insert(QStringLiteral("code"), QLatin1String(pCode));
    joReply.insert(QStringLiteral("msg"), sMsg);
    return joReply;
}

QString FromStd(const std::string &s)
{
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// A compressed body that claims the size of baReply but unpacks to baReply
// followed by nMiB MiB of zeros: a few hundred bytes on the wire per MiB.
std::string CompressionBomb(const QByteArray &baReply, int nMiB)
{
    const quint32 nClaimed = quint32(baReply.size());
    std::string sBody(4, '\0');
    qToBigEndian(nClaimed, &sBody[0]);
    z_stream stream = {};
    if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK)
        return sBody;
    const std::vector<char> zeros(1024 * 1024, '\0');
    std::vector<char> out(64 * 1024);
    const auto deflateChunk = [&](const char *pData, size_t nLength, int nFlush) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(pData));
        stream.avail_in = uInt(nLength);
        do {
            stream.next_out = reinterpret_cast<Bytef *>(out.data());
            stream.avail_out = uInt(out.size());
            deflate(&stream, nFlush);
            sBody.append(out.data(), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    deflateChunk(baReply.constData(), size_t(baReply.size()), Z_NO_FLUSH);
    for (int i = 0; i < nMiB; ++i)
        deflateChunk(zeros.data(), zeros.size(), i + 1 == nMiB ? Z_FINISH : Z_NO_FLUSH);
    deflateEnd(&stream);
    return sBody;
}
// One range of "Range: bytes=..." for a file of nSize bytes: "N-", "N-M" or
// "-N" (the last N). False for anything else, several ranges included: the
// whole file is sent then. *pSatisfiable is false for a range that starts
// past the end.
bool ParseRange(const std::string &sHeader, qint64 nSize, qint64 *pFirst, qint64 *pLast,
                bool *pSatisfiable)
{
    const QString sRange = QString::fromStdString(sHeader).trimmed();
    if (!sRange.startsWith(QLatin1String("bytes=")) || sRange.contains(QLatin1Char(',')))
        return false;
    const QString sSpec = sRange.mid(6).trimmed();
    const int nDash = sSpec.indexOf(QLatin1Char('-'));
    if (nDash < 0)
        return false;
    bool bFirst = false;
    bool bLast = false;
    const qint64 nFirst = sSpec.left(nDash).toLongLong(&bFirst);
    const qint64 nLast = sSpec.mid(nDash + 1).toLongLong(&bLast);
    if (nDash == 0) { // the last nLast bytes
        if (!bLast || nLast <= 0) {
            *pSatisfiable = false;
            return bLast;
        }
        *pFirst = std::max<qint64>(0, nSize - nLast);
        *pLast = nSize - 1;
        *pSatisfiable = nSize > 0;
        return true;
    }
    if (!bFirst || nFirst < 0 || (nDash + 1 < sSpec.size() && (!bLast || nLast < nFirst)))
        return false;
    *pFirst = nFirst;
    *pLast = nDash + 1 < sSpec.size() ? std::min(nLast, nSize - 1) : nSize - 1;
    *pSatisfiable = nFirst < nSize;
    return true;
}

const char *ReasonPhrase(int nStatus)
{
    switch (nStatus) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}
} // namespace

UpdateServer::UpdateServer(const ServerSettings &settings, AccountStore &accounts,
                           PackageCatalogue &catalogue)
    : m_settings(settings), m_accounts(accounts), m_catalogue(catalogue)
{
    Route(m_commandServer, true);
    Route(m_loginServer, false);
}

UpdateServer::~UpdateServer()
{
    Stop();
}

void UpdateServer::Route(httplib::Server &server, bool bCommandPort)
{
    if (bCommandPort) {
        server.Post("/universalex.kxa",
                    [this](const httplib::Request &req, httplib::Response &res) {
                        HandleCommand(req, res, Endpoint::Register);
                    });
        server.Post("/universal.kxa", [this](const httplib::Request &req, httplib::Response &res) {
            HandleCommand(req, res, Endpoint::Universal);
        });
        server.Get("/files/(.*)", [this](const httplib::Request &req, httplib::Response &res) {
            HandleFile(req, res);
        });
    } else {
        server.Post("/universalex.kxa",
                    [this](const httplib::Request &req, httplib::Response &res) {
                        HandleCommand(req, res, Endpoint::Login);
                    });
    }
    const auto control = [this](const httplib::Request &req, httplib::Response &res) {
        HandleControl(req, res);
    };
    server.Get("/control/(.*)", control);
    server.Post("/control/(.*)", control);
    if (m_settings.bVerbose) {
        server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
            std::fprintf(stderr, "update-server: %s %s:%d %s -> %d\n", req.method.c_str(),
                         req.local_addr.c_str(), req.local_port, req.path.c_str(), res.status);
        });
    }
}

bool UpdateServer::Bind(QString *pError)
{
    // Without the library's SO_REUSEPORT: a second server on the same address
    // must fail to start instead of silently sharing the port.
    const auto socketOptions = [](socket_t sock) {
        int nYes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &nYes, sizeof(nYes));
    };
    m_commandServer.set_socket_options(socketOptions);
    m_loginServer.set_socket_options(socketOptions);
    const std::string sHost = m_settings.sAddress.toStdString();
    if (!m_commandServer.bind_to_port(sHost, m_settings.nCommandPort)) {
        *pError = QStringLiteral("cannot listen on %1:%2")
                      .arg(m_settings.sAddress)
                      .arg(m_settings.nCommandPort);
        return false;
    }
    if (!m_loginServer.bind_to_port(sHost, m_settings.nLoginPort)) {
        *pError = QStringLiteral("cannot listen on %1:%2")
                      .arg(m_settings.sAddress)
                      .arg(m_settings.nLoginPort);
        return false;
    }
    return true;
}

void UpdateServer::Run()
{
    std::thread loginThread([this] { m_loginServer.listen_after_bind(); });
    m_commandServer.listen_after_bind();
    loginThread.join();
}

void UpdateServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_stopCondition.notify_all();
    m_commandServer.stop();
    m_loginServer.stop();
}

bool UpdateServer::Pause(int nMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_stopCondition.wait_for(lock, std::chrono::milliseconds(nMs),
                                     [this] { return m_bStopping.load(); });
}

QString UpdateServer::Root() const
{
    if (!m_settings.sRoot.isEmpty())
        return m_settings.sRoot;
    return QStringLiteral("http://%1:%2/files/")
        .arg(m_settings.sAddress)
        .arg(m_settings.nCommandPort);
}

QString UpdateServer::SessionUser(const httplib::Request &req) const
{
    const QString sCookies = FromStd(req.get_header_value("Cookie"));
    for (const QString &sPart : sCookies.split(QLatin1Char(';'))) {
        const QString sCookie = sPart.trimmed();
        if (!sCookie.startsWith(QLatin1String("UASESSION=")))
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sessions.value(sCookie.mid(10));
    }
    return QString();
}

void UpdateServer::HandleCommand(const httplib::Request &req, httplib::Response &res,
                                 Endpoint endpoint)
{
    const QByteArray baBody = QByteArray::fromStdString(req.body);
    const bool bSealed = endpoint == Endpoint::Universal;
    bool bOk = false;
    const QJsonObject joEnvelope = ParseJsonObject(bSealed ? baBody : DecompressBody(baBody), &bOk);
    const int nCommand = joEnvelope.value(QStringLiteral("command")).toInt();
    QJsonObject joData;
    if (bSealed) {
        const QByteArray baCipher =
            QByteArray::fromHex(joEnvelope.value(QStringLiteral("data")).toString().toLatin1());
        joData = ParseJsonObject(UnsealReply(baCipher, PayloadKey()));
    } else {
        joData = joEnvelope.value(QStringLiteral("data")).toObject();
    }
    const QString sKind = CommandKind(nCommand);

    QJsonObject joEntry;
    joEntry.insert(QStringLiteral("time"), QDateTime::currentMSecsSinceEpoch());
    joEntry.insert(QStringLiteral("method"), FromStd(req.method));
    joEntry.insert(QStringLiteral("port"), req.local_port);
    joEntry.insert(QStringLiteral("path"), FromStd(req.path));
    joEntry.insert(QStringLiteral("target"), FromStd(req.target));
    joEntry.insert(QStringLiteral("kind"), sKind);
    joEntry.insert(QStringLiteral("remote_port"), req.remote_port);
    joEntry.insert(QStringLiteral("command"), nCommand);
    joEntry.insert(QStringLiteral("data"), joData);
    joEntry.insert(QStringLiteral("cookie"), FromStd(req.get_header_value("Cookie")));
    joEntry.insert(QStringLiteral("session"), SessionUser(req));
    joEntry.insert(QStringLiteral("via_proxy"), req.has_header("Via") ||
                                                    req.has_header("X-Tinyproxy") ||
                                                    req.has_header("Proxy-Connection"));
    m_log.Add(joEntry);

    if (!bOk) {
        res.status = 400;
        res.set_content("update-server: the request body is not a command envelope\n",
                        "text/plain");
        return;
    }

    const std::optional<Fault> fault = m_faults.Take(sKind, FromStd(req.path));
    const ServerModes::Set modes = m_modes.Current();
    Reply reply;
    QJsonObject joReply;
    const bool bRightPlace = (endpoint == Endpoint::Login && nCommand == CommandLogin) ||
                             (endpoint == Endpoint::Register && nCommand == CommandRegister) ||
                             (endpoint == Endpoint::Universal &&
                              (nCommand == CommandCatalogue || nCommand == CommandDownloadList));
    if (!bRightPlace)
        joReply = CodeReply("10001", QStringLiteral("unknown command"));
    else if (nCommand == CommandLogin)
        joReply = Login(joData, &reply.sCookie);
    else if (nCommand == CommandRegister)
        joReply = Register(joData);
    else if (nCommand == CommandCatalogue)
        joReply = Catalogue(joData, modes);
    else
        joReply = DownloadList(joData, modes);
    if (bRightPlace && nCommand == CommandDownloadList && (modes & ServerModes::ListCode))
        joReply.insert(QStringLiteral("code"), QStringLiteral("999999"));
    if (modes & ServerModes::ExtraMembers)
        joReply.insert(QStringLiteral("x_server"), QStringLiteral("stand-in"));

    if (fault && !fault->sCode.isEmpty())
        joReply.insert(QStringLiteral("code"), fault->sCode);
    if (fault && fault->sMsg)
        joReply.insert(QStringLiteral("msg"), *fault->sMsg);
    if (fault && fault->sRoot && joReply.contains(QStringLiteral("root")))
        joReply.insert(QStringLiteral("root"), *fault->sRoot);

    QByteArray baReply = QJsonDocument(joReply).toJson(QJsonDocument::Compact);
    if (fault && fault->bNotJson)
        baReply = QByteArray(kNotJson);
    else if (fault && fault->sBody)
        baReply = fault->sBody->toUtf8();
    if (fault && fault->nBombMiB > 0 && !bSealed)
        reply.sBody = CompressionBomb(baReply, fault->nBombMiB);
    else
        reply.sBody =
            (bSealed ? SealPayload(baReply, PayloadKey()) : CompressBody(baReply)).toStdString();
    Answer(req, res, reply, fault);
    Frame(req, res, modes);
}

QJsonObject UpdateServer::Login(const QJsonObject &joData, std::string *pCookie)
{
    const QString sName = joData.value(QStringLiteral("username")).toString();
    const QString sDigest = joData.value(QStringLiteral("password")).toString();
    QJsonObject joAccount;
    if (!m_accounts.CheckLogin(sName, sDigest, &joAccount))
        return CodeReply("10002", QStringLiteral("账号或密码错误"));
    const QString sToken = QUuid::createUuid().toString(QUuid::Id128);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sessions.insert(sToken, joAccount.value(QStringLiteral("name")).toString());
    }
    *pCookie = QStringLiteral("UASESSION=%1; Path=/").arg(sToken).toStdString();
    QJsonObject joReply = CodeReply("000000");
    joReply.insert(QStringLiteral("username"), joAccount.value(QStringLiteral("name")));
    joReply.insert(QStringLiteral("realname"), joAccount.value(QStringLiteral("realname")));
    joReply.insert(QStringLiteral("token"), sToken);
    return joReply;
}

QJsonObject UpdateServer::Register(const QJsonObject &joData)
{
    QString sReason;
    switch (m_accounts.Register(joData, &sReason)) {
    case AccountStore::RegisterResult::Ok:
        return CodeReply("000000");
    case AccountStore::RegisterResult::NameTaken:
        return CodeReply("10004", QStringLiteral("已存在同名账号"));
    case AccountStore::RegisterResult::Refused:
        break;
    }
    return CodeReply("10003", sReason);
}

QJsonObject UpdateServer::Catalogue(const QJsonObject &joData, ServerModes::Set modes) const
{
    QJsonObject joReply = CodeReply("000000");
    joReply.insert(QStringLiteral("root"), Root());
    joReply.insert(
        QStringLiteral("list"),
        m_catalogue.CatalogueList(joData.value(QStringLiteral("devtype")).toString(), modes));
    return joReply;
}

QJsonObject UpdateServer::DownloadList(const QJsonObject &joData, ServerModes::Set modes) const
{
    const QJsonValue jvType = joData.value(QStringLiteral("type"));
    const QString sType = jvType.isArray() ? jvType.toArray().at(0).toString() : jvType.toString();
    QJsonObject joReply = CodeReply("000000");
    joReply.insert(QStringLiteral("root"), Root());
    joReply.insert(
        QStringLiteral("list"),
        m_catalogue.DownloadList(joData.value(QStringLiteral("devtype")).toString(), sType,
                                 joData.value(QStringLiteral("branch")).toString(), modes));
    return joReply;
}

void UpdateServer::HandleFile(const httplib::Request &req, httplib::Response &res)
{
    // Ranges are this server's to answer (the library would cut any reply,
    // errors included, to the range asked for).
    const_cast<httplib::Request &>(req).ranges.clear();
    const QString sPath = FromStd(req.matches.size() > 1 ? req.matches[1].str() : std::string());
    QJsonObject joEntry;
    joEntry.insert(QStringLiteral("time"), QDateTime::currentMSecsSinceEpoch());
    joEntry.insert(QStringLiteral("method"), FromStd(req.method));
    joEntry.insert(QStringLiteral("port"), req.local_port);
    joEntry.insert(QStringLiteral("path"), FromStd(req.path));
    joEntry.insert(QStringLiteral("target"), FromStd(req.target));
    joEntry.insert(QStringLiteral("kind"), QStringLiteral("files"));
    joEntry.insert(QStringLiteral("cookie"), FromStd(req.get_header_value("Cookie")));
    joEntry.insert(QStringLiteral("user_agent"), FromStd(req.get_header_value("User-Agent")));
    joEntry.insert(QStringLiteral("range"), FromStd(req.get_header_value("Range")));
    joEntry.insert(QStringLiteral("if_range"), FromStd(req.get_header_value("If-Range")));
    joEntry.insert(QStringLiteral("remote_port"), req.remote_port);
    const quint64 nEntry = m_log.Add(joEntry);

    const std::optional<Fault> fault = m_faults.Take(QStringLiteral("files"), FromStd(req.path));
    const ServerModes::Set modes = m_modes.Current();
    const QString sLocal = m_catalogue.FileForPath(sPath);
    if (sLocal.isEmpty() && !(fault && (fault->nStatus != 0 || fault->bEmpty))) {
        res.status = 404;
        res.set_content("update-server: no such file\n", "text/plain");
        m_log.SetMember(nEntry, QStringLiteral("status"), res.status);
        Frame(req, res, modes);
        return;
    }
    if (fault && fault->nDelayMs > 0 && !Pause(fault->nDelayMs))
        return;
    if (fault && (fault->nStatus != 0 || fault->bEmpty || fault->bReset || fault->nTrickleMs > 0)) {
        QFile file(sLocal);
        Reply reply;
        if (file.open(QIODevice::ReadOnly))
            reply.sBody = file.readAll().toStdString();
        Fault played = *fault;
        played.nDelayMs = 0;
        Answer(req, res, reply, played);
        m_log.SetMember(nEntry, QStringLiteral("status"), res.status);
        Frame(req, res, modes);
        return;
    }
    ServeFile(req, res, sLocal, fault ? *fault : Fault(), nEntry);
    m_log.SetMember(nEntry, QStringLiteral("status"), res.status);
    Frame(req, res, modes);
}

void UpdateServer::ServeFile(const httplib::Request &req, httplib::Response &res,
                             const QString &sLocal, const Fault &fault, quint64 nEntry)
{
    // Streamed: the file is never held in memory whole.
    auto pFile = std::make_shared<QFile>(sLocal);
    if (!pFile->open(QIODevice::ReadOnly)) {
        res.status = 404;
        res.set_content("update-server: cannot read the file\n", "text/plain");
        return;
    }
    const qint64 nSize = pFile->size();
    // Validators that change whenever the file does (its size or its time).
    const QDateTime modified = QFileInfo(*pFile).lastModified().toUTC();
    const std::string sETag = QStringLiteral("\"%1-%2\"")
                                  .arg(nSize, 0, 16)
                                  .arg(modified.toMSecsSinceEpoch(), 0, 16)
                                  .toStdString();
    const std::string sLastModified =
        QLocale::c()
            .toString(modified, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
            .toStdString();
    res.set_header("ETag", sETag);
    res.set_header("Last-Modified", sLastModified);
    res.set_header("Accept-Ranges", "bytes");

    // One range of the file, when asked for and still of the same version.
    qint64 nFirst = 0;
    qint64 nLast = nSize - 1;
    bool bRange = false;
    if (req.has_header("Range") && !fault.bNoRange) {
        const std::string sIfRange = req.get_header_value("If-Range");
        const bool bSameVersion = !req.has_header("If-Range") || fault.bIgnoreIfRange ||
                                  sIfRange == sETag || sIfRange == sLastModified;
        bool bSatisfiable = true;
        if (bSameVersion &&
            ParseRange(req.get_header_value("Range"), nSize, &nFirst, &nLast, &bSatisfiable)) {
            if (!bSatisfiable) {
                res.status = 416;
                res.set_header("Content-Range", "bytes */" + std::to_string(nSize));
                res.set_content("update-server: range not satisfiable\n", "text/plain");
                return;
            }
            bRange = true;
        } else {
            nFirst = 0;
            nLast = nSize - 1;
        }
    }
    // The bytes sent start at nOffset; the Content-Range may name others.
    qint64 nOffset = nFirst;
    if (bRange && fault.nRangeShift > 0) {
        nOffset = nFirst + fault.nRangeShift;
        if (!fault.bRangeLie) {
            if (nOffset > nLast) {
                res.status = 416;
                res.set_header("Content-Range", "bytes */" + std::to_string(nSize));
                res.set_content("update-server: range not satisfiable\n", "text/plain");
                return;
            }
            nFirst = nOffset;
        }
    }
    const qint64 nLength = nLast - nFirst + 1;
    if (bRange) {
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(nFirst) + "-" +
                                            std::to_string(nLast) + "/" + std::to_string(nSize));
    } else {
        res.status = 200;
    }
    // The file offset where the connection is dropped (none: past the end).
    const qint64 nCutAt =
        fault.dCut > 0 ? qint64(double(nSize) * fault.dCut) : std::numeric_limits<qint64>::max();
    const int nLocalPort = req.local_port;
    const int nRemotePort = req.remote_port;
    res.set_content_provider(
        static_cast<size_t>(nLength), "application/octet-stream",
        [this, pFile, nSize, nOffset, nCutAt, nEntry, nLocalPort,
         nRemotePort](size_t nDone, size_t nWanted, httplib::DataSink &sink) {
            const qint64 nPos = nOffset + qint64(nDone); // in the file, before wrapping
            if (nSize <= 0)
                return false;
            if (nPos >= nCutAt) {
                // Everything before the cut reaches the client, then the connection goes.
                WaitUntilSent(nLocalPort, nRemotePort, 5000);
                ResetConnection(nLocalPort, nRemotePort);
                return false;
            }
            // Past the end (a shifted range that claims more): from the start again.
            const qint64 nAt = nPos % nSize;
            const qint64 nChunk =
                std::min({qint64(nWanted), qint64(64 * 1024), nCutAt - nPos, nSize - nAt});
            if (!pFile->seek(nAt))
                return false;
            const QByteArray baChunk = pFile->read(nChunk);
            if (baChunk.isEmpty())
                return false;
            if (!sink.write(baChunk.constData(), static_cast<size_t>(baChunk.size())))
                return false;
            m_log.AddSent(nEntry, baChunk.size());
            return true;
        });
}

void UpdateServer::Answer(const httplib::Request &req, httplib::Response &res, const Reply &reply,
                          const std::optional<Fault> &fault)
{
    if (fault && fault->nDelayMs > 0 && !Pause(fault->nDelayMs))
        return;
    if (fault && fault->nStatus != 0 && !fault->bWithReply) {
        res.status = fault->nStatus;
        res.set_content(
            QStringLiteral("update-server: status %1\n").arg(fault->nStatus).toStdString(),
            "text/plain");
        return;
    }
    res.status = fault && fault->nStatus != 0 ? fault->nStatus : 200;
    if (!reply.sCookie.empty())
        res.set_header("Set-Cookie", reply.sCookie);
    if (fault && fault->bEmpty) {
        res.set_content(std::string(), "application/octet-stream");
        return;
    }
    auto pBody = std::make_shared<std::string>(reply.sBody);
    if (fault && fault->bReset) {
        // Announce the whole body, send part of it, then reset the connection.
        const size_t nTotal = std::max<size_t>(pBody->size(), 2);
        const int nLocalPort = req.local_port;
        const int nRemotePort = req.remote_port;
        res.set_content_provider(
            nTotal, reply.sContentType,
            [this, pBody, nLocalPort, nRemotePort](size_t, size_t, httplib::DataSink &sink) {
                const size_t nHalf =
                    std::min(pBody->size(), std::max<size_t>(pBody->size() / 2, 1));
                if (nHalf > 0)
                    sink.write(pBody->data(), nHalf);
                Pause(50);
                ResetConnection(nLocalPort, nRemotePort);
                return false;
            });
        return;
    }
    if (fault && fault->nTrickleMs > 0) {
        const int nInterval = fault->nTrickleMs;
        res.set_content_provider(
            pBody->size(), reply.sContentType,
            [this, pBody, nInterval](size_t nOffset, size_t, httplib::DataSink &sink) {
                if (!Pause(nInterval))
                    return false;
                return sink.write(pBody->data() + nOffset, 1);
            });
        return;
    }
    res.set_content(*pBody, reply.sContentType.c_str());
}

void UpdateServer::Frame(const httplib::Request &req, httplib::Response &res,
                         ServerModes::Set modes)
{
    if (modes & ServerModes::Http10)
        SendAsHttp10(req, res);
    else if (modes & ServerModes::Chunked)
        MakeChunked(res);
}

void UpdateServer::MakeChunked(httplib::Response &res)
{
    // The library adds its own Content-Type to the new provider.
    const std::string sType = res.get_header_value("Content-Type");
    res.headers.erase("Content-Type");
    if (res.content_provider_) {
        const httplib::ContentProvider inner = res.content_provider_;
        const size_t nLength = res.content_length_;
        res.set_chunked_content_provider(sType,
                                         [inner, nLength](size_t nOffset, httplib::DataSink &sink) {
                                             if (nOffset >= nLength) {
                                                 sink.done();
                                                 return true;
                                             }
                                             return inner(nOffset, nLength - nOffset, sink);
                                         });
        return;
    }
    auto pBody = std::make_shared<std::string>(std::move(res.body));
    res.body.clear();
    res.set_chunked_content_provider(sType, [pBody](size_t nOffset, httplib::DataSink &sink) {
        if (nOffset >= pBody->size()) {
            sink.done();
            return true;
        }
        // Small pieces: even a short reply comes in several chunks.
        return sink.write(pBody->data() + nOffset, std::min<size_t>(1000, pBody->size() - nOffset));
    });
}

void UpdateServer::SendAsHttp10(const httplib::Request &req, httplib::Response &res)
{
    // The library speaks HTTP/1.1 only: the answer goes out on its socket
    // from here, and its own attempt afterwards finds the connection shut.
    const int fd = FindConnection(req.local_port, req.remote_port);
    if (fd < 0)
        return;
    std::string sHead =
        "HTTP/1.0 " + std::to_string(res.status) + " " + ReasonPhrase(res.status) + "\r\n";
    for (const auto &header : res.headers) {
        const QByteArray baName = QByteArray::fromStdString(header.first).toLower();
        if (baName == "content-length" || baName == "transfer-encoding" || baName == "connection" ||
            baName == "keep-alive")
            continue;
        sHead += header.first + ": " + header.second + "\r\n";
    }
    sHead += "Connection: close\r\n\r\n";
    bool bOk = SendAll(fd, sHead.data(), sHead.size());
    if (bOk && res.content_provider_) {
        size_t nOffset = 0;
        httplib::DataSink sink;
        sink.write = [fd, &nOffset, &bOk](const char *pData, size_t nLength) {
            bOk = bOk && SendAll(fd, pData, nLength);
            if (bOk)
                nOffset += nLength;
            return bOk;
        };
        sink.is_writable = [&bOk] { return bOk; };
        sink.done = [] {};
        while (bOk && nOffset < res.content_length_) {
            const size_t nBefore = nOffset;
            if (!res.content_provider_(nOffset, res.content_length_ - nOffset, sink) ||
                nOffset == nBefore)
                break;
        }
    } else if (bOk) {
        SendAll(fd, res.body.data(), res.body.size());
    }
    EndSending(fd);
    res.body.clear();
    res.content_provider_ = nullptr;
    res.content_length_ = 0;
    res.headers.erase("Connection");
    res.set_header("Connection", "close");
}

void UpdateServer::HandleControl(const httplib::Request &req, httplib::Response &res)
{
    const std::string sWhat = req.matches.size() > 1 ? req.matches[1].str() : std::string();
    if (sWhat == "health") {
        res.set_content("ok\n", "text/plain");
        return;
    }
    if (sWhat == "requests" && req.method == "GET") {
        res.set_content(QJsonDocument(m_log.Entries()).toJson().toStdString(), "application/json");
        return;
    }
    if (sWhat == "clear" && req.method == "POST") {
        m_log.Clear();
        res.set_content("{}", "application/json");
        return;
    }
    if (sWhat == "modes" && req.method == "GET") {
        res.set_content(
            QJsonDocument(QJsonArray::fromStringList(ServerModes::Names(m_modes.Current())))
                .toJson()
                .toStdString(),
            "application/json");
        return;
    }
    if (sWhat == "modes" && req.method == "POST") {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body));
        QStringList slNames;
        for (const QJsonValue &jvName : doc.array())
            slNames << jvName.toString();
        ServerModes::Set set = 0;
        QString sError;
        if (!doc.isArray() || !ServerModes::Parse(slNames, &set, &sError)) {
            res.status = 400;
            res.set_content(
                ("update-server: " +
                 (sError.isEmpty() ? QStringLiteral("modes are a JSON array of names") : sError) +
                 "\n")
                    .toStdString(),
                "text/plain");
            return;
        }
        m_modes.Replace(set);
        res.set_content(QJsonDocument(QJsonArray::fromStringList(ServerModes::Names(set)))
                            .toJson()
                            .toStdString(),
                        "application/json");
        return;
    }
    if (sWhat == "fault" && req.method == "GET") {
        res.set_content(QJsonDocument(m_faults.ToJson()).toJson().toStdString(),
                        "application/json");
        return;
    }
    if (sWhat == "fault" && req.method == "POST") {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body));
        QJsonArray jaFaults;
        if (doc.isArray())
            jaFaults = doc.array();
        else if (doc.isObject() && !doc.object().isEmpty())
            jaFaults.append(doc.object());
        else if (!doc.isObject()) {
            res.status = 400;
            res.set_content("update-server: a fault is a JSON object or array\n", "text/plain");
            return;
        }
        std::vector<Fault> faults;
        for (const QJsonValue &jvFault : jaFaults) {
            QString sError;
            const std::optional<Fault> fault = Fault::FromJson(jvFault.toObject(), &sError);
            if (!fault) {
                res.status = 400;
                res.set_content(("update-server: " + sError + "\n").toStdString(), "text/plain");
                return;
            }
            faults.push_back(*fault);
        }
        m_faults.Replace(std::move(faults));
        res.set_content(QJsonDocument(m_faults.ToJson()).toJson().toStdString(),
                        "application/json");
        return;
    }
    res.status = 404;
    res.set_content("update-server: unknown control request\n", "text/plain");
}
