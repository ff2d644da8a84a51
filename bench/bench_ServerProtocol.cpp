// Cost of the payload transforms of a server command: sealing a request,
// unsealing a catalogue-sized reply, compressing an account command.
#include "net/ServerProtocol.h"

#include <benchmark/benchmark.h>

static QByteArray SampleJson(int64_t nBytes)
{
    QByteArray baJson("{\"list\":[");
    for (int i = 0; baJson.size() < nBytes; ++i)
        baJson += QByteArray("{\"dir\":\"Diag/Pkg") + QByteArray::number(i) +
                  "\",\"rev\":\"V1.0\",\"EN_name\":\"Package\"},";
    baJson.chop(1);
    baJson += "]}";
    return baJson;
}

static void BM_SealPayload(benchmark::State &state)
{
    const QByteArray baPlain = SampleJson(state.range(0));
    const QByteArray baKey = PayloadKey();
    for (auto _ : state)
        benchmark::DoNotOptimize(SealPayload(baPlain, baKey));
    state.SetBytesProcessed(state.iterations() * baPlain.size());
}
BENCHMARK(BM_SealPayload)->Arg(256)->Arg(64 << 10)->Arg(1 << 20);

static void BM_UnsealReply(benchmark::State &state)
{
    const QByteArray baCipher = SealPayload(SampleJson(state.range(0)), PayloadKey());
    const QByteArray baKey = PayloadKey();
    for (auto _ : state)
        benchmark::DoNotOptimize(UnsealReply(baCipher, baKey));
    state.SetBytesProcessed(state.iterations() * baCipher.size());
}
BENCHMARK(BM_UnsealReply)->Arg(256)->Arg(64 << 10)->Arg(1 << 20);

static void BM_CompressRoundTrip(benchmark::State &state)
{
    const QByteArray baJson = SampleJson(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(DecompressBody(CompressBody(baJson)));
    state.SetBytesProcessed(state.iterations() * baJson.size());
}
BENCHMARK(BM_CompressRoundTrip)->Arg(256)->Arg(64 << 10);

BENCHMARK_MAIN();
