#pragma once
// The stand-in server as the account tests use it: it knows the account
// "alice" (password "secret123"), the program's requests go to it, and each
// test function may start from no faults and no recorded requests.
//
//     AccountServer m_server{QStringLiteral("127.0.2.40")};
//     QVERIFY2(m_server.StartForProgram(), qPrintable(m_server.Output()));  // initTestCase
//     QVERIFY(m_server.Reset());                                            // init

#include "UpdateServerProcess.h"
#include "net/ServerProtocol.h"

#include <curl/curl.h>

class AccountServer : public UpdateServerProcess
{
public:
    explicit AccountServer(const QString &sAddress) : UpdateServerProcess(sAddress)
    {
        AddAccount(QStringLiteral("alice"), QStringLiteral("secret123"));
    }

    // Starts the server and points the program's requests at it; false (see
    // Output()) when it did not come up.
    bool StartForProgram()
    {
        curl_global_init(CURL_GLOBAL_ALL);
        if (!Start())
            return false;
        SetServerAddress(Address());
        return true;
    }

    // No faults, no recorded requests.
    bool Reset() { return ClearFaults() && ClearRequests(); }
};
