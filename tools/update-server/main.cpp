// update-server: a stand-in for the vendor's update server, speaking the
// command protocol of the assistant on loopback (see README.md).

#include "AccountStore.h"
#include "PackageCatalogue.h"
#include "UpdateServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <csignal>
#ifdef __linux__
#include <sys/prctl.h>
#include <unistd.h>
#endif
#include <cstdio>
#include <thread>

namespace
{
const char kDescription[] =
    "Stand-in update server. Listens on ADDRESS:19320 (\"/universalex.kxa\": 1040\n"
    "registration, compressed envelope; \"/universal.kxa\": 1042 catalogue and 1043\n"
    "download list, sealed envelope; \"/files/<Path>\": package files) and on\n"
    "ADDRESS:19321 (\"/universalex.kxa\": 1041 login, compressed envelope).\n"
    "\n"
    "Control requests on both ports: GET /control/health, GET /control/requests\n"
    "(the log of received requests, JSON), POST /control/clear (empty the log),\n"
    "GET /control/fault, POST /control/fault (replace the faults with a JSON object\n"
    "or array of objects with the members on, match, status, empty, notjson, code,\n"
    "body, msg, delay, reset, trickle, times, cut, norange, ignoreifrange,\n"
    "rangeshift, rangelie; {} clears them).\n"
    "\n"
    "GET /control/modes, POST /control/modes (replace the modes with a JSON array\n"
    "of their names; [] clears them).\n"
    "\n"
    "Once both ports listen it prints \"update-server: ready\" and the address\n"
    "and ports to standard output and writes the ready file, if one was given.\n"
    "SIGINT or SIGTERM stop it.\n"
    "\n"
    "Modes: replies a real server may send and the assistant must take (--mode,\n"
    "POST /control/modes); they apply to every request:\n";

int Fail(const QString &sMessage)
{
    std::fprintf(stderr, "update-server: %s\n", qPrintable(sMessage));
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    // Block the stop signals in every thread; the main thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("update-server"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription) + ServerModes::Help());
    parser.addHelpOption();
    const QCommandLineOption optAddress(
        {QStringLiteral("a"), QStringLiteral("address")},
        QStringLiteral("Loopback address to listen on (default 127.0.0.1)."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption optPort(QStringLiteral("port"),
                                     QStringLiteral("Command port (default 19320)."),
                                     QStringLiteral("port"), QStringLiteral("19320"));
    const QCommandLineOption optLoginPort(QStringLiteral("login-port"),
                                          QStringLiteral("Login port (default 19321)."),
                                          QStringLiteral("port"), QStringLiteral("19321"));
    const QCommandLineOption optPackages(
        {QStringLiteral("p"), QStringLiteral("packages")},
        QStringLiteral("Packages folder: one sub-folder per package with package.json and "
                       "files/ (see README.md). Without it the catalogue is empty."),
        QStringLiteral("folder"));
    const QCommandLineOption optAccounts(
        QStringLiteral("accounts"),
        QStringLiteral("Accounts file (JSON); created by the first registration. Without it "
                       "accounts live in memory only."),
        QStringLiteral("file"));
    const QCommandLineOption optAddAccount(
        QStringLiteral("add-account"),
        QStringLiteral("Adds the account NAME with the clear password PASSWORD (repeatable)."),
        QStringLiteral("NAME:PASSWORD"));
    const QCommandLineOption optRoot(
        QStringLiteral("root"),
        QStringLiteral("\"root\" of the replies (default http://ADDRESS:PORT/files/)."),
        QStringLiteral("url"));
    const QCommandLineOption optReadyFile(
        QStringLiteral("ready-file"),
        QStringLiteral("Written (with the text \"ready\") once both ports listen."),
        QStringLiteral("file"));
    const QCommandLineOption optExitWithParent(
        QStringLiteral("exit-with-parent"),
        QStringLiteral("Stop when the process that started the server ends (for tests)."));
    const QCommandLineOption optVerbose(QStringLiteral("verbose"),
                                        QStringLiteral("One line per request on standard error."));
    const QCommandLineOption optMode(
        QStringLiteral("mode"),
        QStringLiteral("Reply variants to play (repeatable or comma-separated; listed above)."),
        QStringLiteral("names"));
    const QCommandLineOption optFaultOn(
        QStringLiteral("fault-on"),
        QStringLiteral("Requests the fault below applies to, comma-separated: login, register, "
                       "catalogue, downloadlist, files, all (default all)."),
        QStringLiteral("kinds"));
    const QCommandLineOption optFaultMatch(
        QStringLiteral("fault-match"),
        QStringLiteral("Only requests whose path contains this text."), QStringLiteral("text"));
    const QCommandLineOption optFaultStatus(
        QStringLiteral("fault-status"),
        QStringLiteral("Answer with this HTTP status and the body \"update-server: status N\"."),
        QStringLiteral("N"));
    const QCommandLineOption optFaultEmpty(QStringLiteral("fault-empty"),
                                           QStringLiteral("Answer 200 with an empty body."));
    const QCommandLineOption optFaultNotJson(
        QStringLiteral("fault-not-json"),
        QStringLiteral("Answer with a body that decodes to text that is not JSON."));
    const QCommandLineOption optFaultBody(
        QStringLiteral("fault-body"),
        QStringLiteral("Answer with a body that decompresses / unseals to this text."),
        QStringLiteral("text"));
    const QCommandLineOption optFaultCode(QStringLiteral("fault-code"),
                                          QStringLiteral("Replace \"code\" of the reply."),
                                          QStringLiteral("code"));
    const QCommandLineOption optFaultMsg(QStringLiteral("fault-msg"),
                                         QStringLiteral("Replace \"msg\" of the reply."),
                                         QStringLiteral("text"));
    const QCommandLineOption optFaultDelay(QStringLiteral("fault-delay"),
                                           QStringLiteral("Wait this long before answering."),
                                           QStringLiteral("ms"));
    const QCommandLineOption optFaultReset(
        QStringLiteral("fault-reset"),
        QStringLiteral("Send part of the body, then reset the connection (the client sees a "
                       "receive error)."));
    const QCommandLineOption optFaultTrickle(
        QStringLiteral("fault-trickle"),
        QStringLiteral("Send the body one byte per this many milliseconds."), QStringLiteral("ms"));
    const QCommandLineOption optFaultTimes(
        QStringLiteral("fault-times"),
        QStringLiteral("Play the fault this many times, then answer normally (default: always)."),
        QStringLiteral("N"));
    parser.addOptions({optMode});
    parser.addOptions({optAddress,        optPort,       optLoginPort,    optPackages,
                       optAccounts,       optAddAccount, optRoot,         optReadyFile,
                       optExitWithParent, optVerbose,    optFaultOn,      optFaultMatch,
                       optFaultStatus,    optFaultEmpty, optFaultNotJson, optFaultBody,
                       optFaultCode,      optFaultMsg,   optFaultDelay,   optFaultReset,
                       optFaultTrickle,   optFaultTimes});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return Fail(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().at(0)));

#ifdef __linux__
    if (parser.isSet(optExitWithParent)) {
        const pid_t nParent = getppid();
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != nParent)
            return 0; // the parent was already gone
    }
#endif

    ServerSettings settings;
    settings.sAddress = parser.value(optAddress);
    bool bPortOk = false;
    bool bLoginOk = false;
    settings.nCommandPort = parser.value(optPort).toInt(&bPortOk);
    settings.nLoginPort = parser.value(optLoginPort).toInt(&bLoginOk);
    if (!bPortOk || !bLoginOk)
        return Fail(QStringLiteral("ports must be numbers"));
    settings.sRoot = parser.value(optRoot);
    settings.bVerbose = parser.isSet(optVerbose);

    AccountStore accounts;
    QString sError;
    if (!accounts.Open(parser.value(optAccounts), &sError))
        return Fail(sError);
    for (const QString &sAccount : parser.values(optAddAccount)) {
        const int nColon = sAccount.indexOf(QLatin1Char(':'));
        if (nColon <= 0)
            return Fail(QStringLiteral("--add-account wants NAME:PASSWORD"));
        accounts.AddAccount(sAccount.left(nColon), sAccount.mid(nColon + 1));
    }
    PackageCatalogue catalogue;
    catalogue.SetFolder(parser.value(optPackages));

    UpdateServer server(settings, accounts, catalogue);
    const bool bAnyFault = parser.isSet(optFaultStatus) || parser.isSet(optFaultEmpty) ||
                           parser.isSet(optFaultNotJson) || parser.isSet(optFaultBody) ||
                           parser.isSet(optFaultCode) || parser.isSet(optFaultMsg) ||
                           parser.isSet(optFaultDelay) || parser.isSet(optFaultReset) ||
                           parser.isSet(optFaultTrickle);
    if (bAnyFault) {
        QJsonObject joFault;
        if (parser.isSet(optFaultOn))
            joFault.insert(QStringLiteral("on"), parser.value(optFaultOn));
        if (parser.isSet(optFaultMatch))
            joFault.insert(QStringLiteral("match"), parser.value(optFaultMatch));
        if (parser.isSet(optFaultStatus))
            joFault.insert(QStringLiteral("status"), parser.value(optFaultStatus).toInt());
        if (parser.isSet(optFaultEmpty))
            joFault.insert(QStringLiteral("empty"), true);
        if (parser.isSet(optFaultNotJson))
            joFault.insert(QStringLiteral("notjson"), true);
        if (parser.isSet(optFaultBody))
            joFault.insert(QStringLiteral("body"), parser.value(optFaultBody));
        if (parser.isSet(optFaultCode))
            joFault.insert(QStringLiteral("code"), parser.value(optFaultCode));
        if (parser.isSet(optFaultMsg))
            joFault.insert(QStringLiteral("msg"), parser.value(optFaultMsg));
        if (parser.isSet(optFaultDelay))
            joFault.insert(QStringLiteral("delay"), parser.value(optFaultDelay).toInt());
        if (parser.isSet(optFaultReset))
            joFault.insert(QStringLiteral("reset"), true);
        if (parser.isSet(optFaultTrickle))
            joFault.insert(QStringLiteral("trickle"), parser.value(optFaultTrickle).toInt());
        if (parser.isSet(optFaultTimes))
            joFault.insert(QStringLiteral("times"), parser.value(optFaultTimes).toInt());
        const std::optional<Fault> fault = Fault::FromJson(joFault, &sError);
        if (!fault)
            return Fail(sError);
        server.Faults().Replace({*fault});
    }

    ServerModes::Set modes = 0;
    if (!ServerModes::Parse(parser.values(optMode), &modes, &sError))
        return Fail(sError);
    server.Modes().Replace(modes);

    if (!server.Bind(&sError))
        return Fail(sError);
    std::thread serving([&server] { server.Run(); });

    std::printf("update-server: ready\nupdate-server: listening on %s ports %d and %d\n",
                qPrintable(settings.sAddress), settings.nCommandPort, settings.nLoginPort);
    std::fflush(stdout);
    if (parser.isSet(optReadyFile)) {
        QSaveFile ready(parser.value(optReadyFile));
        if (ready.open(QIODevice::WriteOnly)) {
            ready.write("ready\n");
            ready.commit();
        }
    }

    int nSignal = 0;
    sigwait(&stopSignals, &nSignal);
    server.Stop();
    serving.join();
    return 0;
}
