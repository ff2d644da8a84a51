// libFuzzer entry of one target; UA_FUZZ_TARGET names it (see FuzzTargets.cpp).
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace
{
const FuzzTarget *g_pTarget = nullptr;

// The code under test logs every request and reply; at thousands of inputs a
// second that is noise. Warnings and worse still show.
void QuietHandler(QtMsgType type, const QMessageLogContext &, const QString &sMsg)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(sMsg));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_pTarget = FindFuzzTarget(UA_FUZZ_TARGET);
    if (!g_pTarget) {
        std::fprintf(stderr, "unknown fuzz target %s\n", UA_FUZZ_TARGET);
        std::abort();
    }
    if (qEnvironmentVariableIsEmpty("UA_FUZZ_VERBOSE"))
        qInstallMessageHandler(QuietHandler);
    EnsureFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    return g_pTarget->pRun(pData, nSize);
}
