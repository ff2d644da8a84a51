#include "UpdateServerProcess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <curl/curl.h>
#include <memory>

namespace
{
size_t CollectReply(char *pData, size_t nSize, size_t nCount, void *pUser)
{
    static_cast<QByteArray *>(pUser)->append(pData, static_cast<int>(nSize * nCount));
    return nSize * nCount;
}
} // namespace

UpdateServerProcess::UpdateServerProcess(const QString &sAddress) : m_sAddress(sAddress)
{
    curl_global_init(CURL_GLOBAL_ALL);
}

UpdateServerProcess::~UpdateServerProcess()
{
    Stop();
}

void UpdateServerProcess::SetPackagesFolder(const QString &sFolder)
{
    m_slArguments << QStringLiteral("--packages") << sFolder;
}

void UpdateServerProcess::SetAccountsFile(const QString &sFile)
{
    m_slArguments << QStringLiteral("--accounts") << sFile;
}

void UpdateServerProcess::AddAccount(const QString &sName, const QString &sPassword)
{
    m_slArguments << QStringLiteral("--add-account") << sName + QLatin1Char(':') + sPassword;
}

void UpdateServerProcess::AddArguments(const QStringList &slArguments)
{
    m_slArguments << slArguments;
}

bool UpdateServerProcess::Start(int nTimeoutMs)
{
    Stop();
    m_baOutput.clear();
    // A test that crashes must not leave its server holding the address for the next run.
    if (!m_process.Start(QStringLiteral("update-server"),
                         QStringList{QStringLiteral("--address"), m_sAddress,
                                     QStringLiteral("--exit-with-parent")}
                             << m_slArguments,
                         nTimeoutMs)) {
        m_baOutput += m_process.Error().toLocal8Bit() + "\n";
        return false;
    }
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_baOutput.contains("update-server: ready"))
            return true;
        if (!m_process.IsRunning())
            break;
        m_process.WaitForOutput(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)));
        m_baOutput += m_process.ReadOutput();
    }
    m_baOutput += m_process.ReadOutput();
    if (m_baOutput.contains("update-server: ready"))
        return true;
    m_baOutput += m_process.Error().toLocal8Bit();
    return false;
}

void UpdateServerProcess::Stop()
{
    if (!m_process.IsRunning())
        return;
    m_process.Stop();
    m_baOutput += m_process.ReadOutput();
}

bool UpdateServerProcess::IsRunning() const
{
    return m_process.IsRunning();
}

QString UpdateServerProcess::BaseUrl(int nPort) const
{
    return QStringLiteral("http://%1:%2").arg(m_sAddress).arg(nPort);
}

QString UpdateServerProcess::Output()
{
    m_baOutput += m_process.ReadOutput();
    return QString::fromLocal8Bit(m_baOutput);
}

bool UpdateServerProcess::SetFault(const QJsonObject &joFault)
{
    return Control("POST", QStringLiteral("fault"),
                   QJsonDocument(joFault).toJson(QJsonDocument::Compact), nullptr);
}

bool UpdateServerProcess::SetFaults(const QJsonArray &jaFaults)
{
    return Control("POST", QStringLiteral("fault"),
                   QJsonDocument(jaFaults).toJson(QJsonDocument::Compact), nullptr);
}

bool UpdateServerProcess::SetModes(const QStringList &slModes)
{
    return Control(
        "POST", QStringLiteral("modes"),
        QJsonDocument(QJsonArray::fromStringList(slModes)).toJson(QJsonDocument::Compact), nullptr);
}

QJsonArray UpdateServerProcess::Requests()
{
    QByteArray baReply;
    if (!Control("GET", QStringLiteral("requests"), QByteArray(), &baReply))
        return QJsonArray();
    return QJsonDocument::fromJson(baReply).array();
}

QJsonArray UpdateServerProcess::Requests(const QString &sKind)
{
    QJsonArray jaKind;
    for (const QJsonValue &jvEntry : Requests()) {
        if (jvEntry.toObject().value(QStringLiteral("kind")).toString() == sKind)
            jaKind.append(jvEntry);
    }
    return jaKind;
}

bool UpdateServerProcess::ClearRequests()
{
    return Control("POST", QStringLiteral("clear"), QByteArray(), nullptr);
}

bool UpdateServerProcess::Control(const char *pMethod, const QString &sWhat,
                                  const QByteArray &baBody, QByteArray *pReply)
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> pCurl(curl_easy_init(), curl_easy_cleanup);
    if (!pCurl)
        return false;
    const QByteArray baUrl = (BaseUrl() + QStringLiteral("/control/") + sWhat).toUtf8();
    QByteArray baReply;
    curl_easy_setopt(pCurl.get(), CURLOPT_URL, baUrl.constData());
    curl_easy_setopt(pCurl.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(pCurl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl.get(), CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(pCurl.get(), CURLOPT_WRITEFUNCTION, CollectReply);
    curl_easy_setopt(pCurl.get(), CURLOPT_WRITEDATA, &baReply);
    if (qstrcmp(pMethod, "POST") == 0) {
        curl_easy_setopt(pCurl.get(), CURLOPT_POSTFIELDS, baBody.constData());
        curl_easy_setopt(pCurl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(baBody.size()));
    }
    if (curl_easy_perform(pCurl.get()) != CURLE_OK)
        return false;
    long nStatus = 0;
    curl_easy_getinfo(pCurl.get(), CURLINFO_RESPONSE_CODE, &nStatus);
    if (pReply != nullptr)
        *pReply = baReply;
    return nStatus == 200;
}
