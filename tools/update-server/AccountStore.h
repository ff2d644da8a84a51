#pragma once
// The server's accounts, kept in a JSON file:
// {"accounts": [{"name", "password" (digest), "realname", "phone", "email", "sn"}]}.

#include <QJsonObject>
#include <QString>
#include <mutex>
#include <vector>

class AccountStore
{
public:
    // An empty path keeps the accounts in memory only. A missing file starts empty.
    bool Open(const QString &sPath, QString *pError);
    // Adds or replaces an account given with its clear password.
    void AddAccount(const QString &sName, const QString &sPassword);

    // True when an account with this name (letter case ignored) has this digest.
    bool CheckLogin(const QString &sName, const QString &sDigest, QJsonObject *pAccount) const;

    enum class RegisterResult { Ok, NameTaken, Refused };
    // Stores a new account from a 1040 "data" object; sReason explains a refusal.
    RegisterResult Register(const QJsonObject &joData, QString *pReason);

private:
    bool SaveLocked() const;
    int FindLocked(const QString &sName) const;

    mutable std::mutex m_mutex;
    QString m_sPath;
    std::vector<QJsonObject> m_accounts;
};
