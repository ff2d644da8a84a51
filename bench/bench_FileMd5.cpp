// Digest speed of FileMd5 on package-sized files (the downloader hashes every
// file of a package on the device disk before deciding what to fetch).
#include "app/FileUtils.h"
#include "app/Md5Digest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

static void BM_FileMd5(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString sPath = dir.filePath("package.bin");
    {
        QFile file(sPath);
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the sample file");
            return;
        }
        QByteArray baBlock(1 << 20, '\0');
        for (int i = 0; i < baBlock.size(); ++i)
            baBlock[i] = char(i * 31 + 7);
        for (int64_t n = 0; n < state.range(0); ++n)
            file.write(baBlock);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(FileMd5(sPath));
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}
BENCHMARK(BM_FileMd5)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);

// One digest over data already in memory: the most a download that checks its
// digest while it arrives can reach, since one MD5 cannot be split between
// cores. BM_Md5OneStream is the digest the program uses (its label names the
// implementation), BM_Md5OneStreamQt Qt's for comparison.
static QByteArray Md5Sample()
{
    QByteArray baData(64 << 20, '\0');
    for (int i = 0; i < baData.size(); ++i)
        baData[i] = char(i * 31 + 7);
    return baData;
}

constexpr int kChunk = 512 * 1024; // as the downloader receives

static void BM_Md5OneStream(benchmark::State &state)
{
    const QByteArray baData = Md5Sample();
    Md5Digest digest;
    for (auto _ : state) {
        digest.Reset();
        for (int nOffset = 0; nOffset < baData.size(); nOffset += kChunk)
            digest.AddData(baData.constData() + nOffset, kChunk);
        benchmark::DoNotOptimize(digest.Result());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(baData.size()));
    state.SetLabel(digest.Implementation());
}
// Rates by the clock on the wall, as the downloads they are compared with.
BENCHMARK(BM_Md5OneStream)->UseRealTime()->Unit(benchmark::kMillisecond);

static void BM_Md5OneStreamQt(benchmark::State &state)
{
    const QByteArray baData = Md5Sample();
    for (auto _ : state) {
        QCryptographicHash hash(QCryptographicHash::Md5);
        for (int nOffset = 0; nOffset < baData.size(); nOffset += kChunk)
            hash.addData(baData.constData() + nOffset, kChunk);
        benchmark::DoNotOptimize(hash.result());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(baData.size()));
}
BENCHMARK(BM_Md5OneStreamQt)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
