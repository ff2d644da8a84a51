// Digest speed of FileMd5 on package-sized files (the downloader hashes every
// file of a package on the device disk before deciding what to fetch).
#include "base/FileUtils.h"

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
// cores.
static void BM_Md5OneStream(benchmark::State &state)
{
    QByteArray baData(64 << 20, '\0');
    for (int i = 0; i < baData.size(); ++i)
        baData[i] = char(i * 31 + 7);
    constexpr int kChunk = 512 * 1024; // as the downloader receives
    for (auto _ : state) {
        QCryptographicHash hash(QCryptographicHash::Md5);
        for (int nOffset = 0; nOffset < baData.size(); nOffset += kChunk)
            hash.addData(baData.constData() + nOffset, kChunk);
        benchmark::DoNotOptimize(hash.result());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(baData.size()));
}
BENCHMARK(BM_Md5OneStream)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
