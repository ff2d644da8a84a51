#include "AccountStore.h"

#include "accounts/PasswordDigest.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

bool AccountStore::Open(const QString &sPath, QString *pError)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sPath = sPath;
    m_accounts.clear();
    if (sPath.isEmpty() || !QFile::exists(sPath))
        return true;
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *pError = QStringLiteral("cannot read %1").arg(sPath);
        return false;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        *pError = QStringLiteral("%1 is not a JSON object").arg(sPath);
        return false;
    }
    const QJsonArray jaAccounts = doc.object().value(QStringLiteral("accounts")).toArray();
    for (const QJsonValue &value : jaAccounts) {
        if (value.isObject())
            m_accounts.push_back(value.toObject());
    }
    return true;
}

void AccountStore::AddAccount(const QString &sName, const QString &sPassword)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QJsonObject joAccount;
    joAccount.insert(QStringLiteral("name"), sName);
    joAccount.insert(QStringLiteral("password"), PasswordDigest(sPassword));
    const int nIndex = FindLocked(sName);
    if (nIndex >= 0)
        m_accounts[static_cast<size_t>(nIndex)] = joAccount;
    else
        m_accounts.push_back(joAccount);
    SaveLocked();
}

bool AccountStore::CheckLogin(const QString &sName, const QString &sDigest,
                              QJsonObject *pAccount) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int nIndex = FindLocked(sName);
    if (nIndex < 0)
        return false;
    const QJsonObject &joAccount = m_accounts[static_cast<size_t>(nIndex)];
    if (joAccount.value(QStringLiteral("password"))
            .toString()
            .compare(sDigest, Qt::CaseInsensitive) != 0)
        return false;
    *pAccount = joAccount;
    return true;
}

AccountStore::RegisterResult AccountStore::Register(const QJsonObject &joData, QString *pReason)
{
    const QString sName = joData.value(QStringLiteral("name")).toString();
    const QString sDigest = joData.value(QStringLiteral("password")).toString();
    static const QRegularExpression reName(QStringLiteral("^[A-Za-z0-9_]{4,12}$"));
    static const QRegularExpression reDigest(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    if (!reName.match(sName).hasMatch()) {
        *pReason = QStringLiteral("账户只能由4至12位英文字母、数字或下划线组成");
        return RegisterResult::Refused;
    }
    if (!reDigest.match(sDigest).hasMatch()) {
        *pReason = QStringLiteral("密码格式无效");
        return RegisterResult::Refused;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (FindLocked(sName) >= 0)
        return RegisterResult::NameTaken;
    QJsonObject joAccount;
    for (const char *pKey : {"name", "realname", "phone", "email", "password", "sn"})
        joAccount.insert(QLatin1String(pKey), joData.value(QLatin1String(pKey)).toString());
    m_accounts.push_back(joAccount);
    SaveLocked();
    return RegisterResult::Ok;
}

bool AccountStore::SaveLocked() const
{
    if (m_sPath.isEmpty())
        return true;
    QJsonArray jaAccounts;
    for (const QJsonObject &joAccount : m_accounts)
        jaAccounts.append(joAccount);
    QJsonObject joRoot;
    joRoot.insert(QStringLiteral("accounts"), jaAccounts);
    QSaveFile file(m_sPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(joRoot).toJson(QJsonDocument::Indented));
    return file.commit();
}

int AccountStore::FindLocked(const QString &sName) const
{
    for (size_t i = 0; i < m_accounts.size(); ++i) {
        if (m_accounts[i]
                .value(QStringLiteral("name"))
                .toString()
                .compare(sName, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}
