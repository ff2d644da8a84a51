// The installed-package check on a whole package, driven by scripts/bench,
// which prepares the files and times md5sum on the same files.
//
//   InstalledCheck   UA_BENCH_DISK=<disk> UA_BENCH_FOLDER=<package folder>
//                    every file of the installed manifest present and whole:
//                    the time to find the package intact (warm page cache).
//
// The check runs on the benchmark's thread, as on the window's worker.

#include "BenchMain.h"
#include "base/FileUtils.h"
#include "update/PackageCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace
{

void InstalledCheck(benchmark::State &state)
{
    const QString sDisk = qEnvironmentVariable("UA_BENCH_DISK");
    const QString sFolder = qEnvironmentVariable("UA_BENCH_FOLDER");
    if (sDisk.isEmpty() || sFolder.isEmpty()) {
        state.SkipWithError("set UA_BENCH_DISK and UA_BENCH_FOLDER");
        return;
    }
    int nFiles = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const PackageCheckResult result = PackageCheck(sDisk).Check(sFolder);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (result.state != PackageCheckResult::Intact) {
            state.SkipWithError("the package is not intact");
            return;
        }
        nFiles = result.nFiles;
    }
    state.counters["files"] = nFiles;
    state.counters["threads"] = DigestThreadCount();
}

} // namespace

BENCHMARK(InstalledCheck)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(BenchMain::QuietDebug);
    return BenchMain::RunBenchmarks(argc, argv);
}
