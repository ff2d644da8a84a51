// Digest speed of FileMd5 on package-sized files (the downloader hashes every
// file of a package on the device disk before deciding what to fetch).
#include "app/FileUtils.h"

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

BENCHMARK_MAIN();
