#pragma once
// Runs the stand-in update server (tools/update-server) for one test on the
// test's own loopback address, and talks to its control requests.
//
//     UpdateServerProcess server(QStringLiteral("127.0.2.10"));
//     server.AddAccount("alice", "secret123");
//     server.SetPackagesFolder(dir.path());
//     QVERIFY2(server.Start(), qPrintable(server.Output()));
//     SetServerAddress(server.Address());
//     server.SetFault({{"on", "login"}, {"status", 500}});
//     QJsonArray requests = server.Requests();
//
// The server stops when the object goes away.

#include "HostProgram.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class UpdateServerProcess
{
public:
    explicit UpdateServerProcess(const QString &sAddress);
    ~UpdateServerProcess();
    UpdateServerProcess(const UpdateServerProcess &) = delete;
    UpdateServerProcess &operator=(const UpdateServerProcess &) = delete;

    // Options for the next Start().
    void SetPackagesFolder(const QString &sFolder);
    void SetAccountsFile(const QString &sFile);
    void AddAccount(const QString &sName, const QString &sPassword);
    void AddArguments(const QStringList &slArguments);

    // Starts the server and waits until it listens; false (see Output()) when
    // it did not come up within nTimeoutMs.
    bool Start(int nTimeoutMs = 15000);
    void Stop();
    bool IsRunning() const;

    QString Address() const { return m_sAddress; }
    // "http://address:port" of the command port (19320) or the login port.
    QString BaseUrl(int nPort = 19320) const;
    // Everything the server printed so far.
    QString Output();

    // Replace the server's faults (an empty object clears them).
    bool SetFault(const QJsonObject &joFault);
    bool SetFaults(const QJsonArray &jaFaults);
    bool ClearFaults() { return SetFault(QJsonObject()); }
    // Replace the server's reply variants (see its --help; empty: none).
    bool SetModes(const QStringList &slModes);
    // The requests received so far (see the server's README for the members).
    QJsonArray Requests();
    // Only those of one kind: login, register, catalogue, downloadlist, files.
    QJsonArray Requests(const QString &sKind);
    bool ClearRequests();

private:
    bool Control(const char *pMethod, const QString &sWhat, const QByteArray &baBody,
                 QByteArray *pReply);

    QString m_sAddress;
    QStringList m_slArguments;
    HostProgram m_process;
    QByteArray m_baOutput;
};
