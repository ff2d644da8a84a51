// The package downloader on whole packages, driven by scripts/bench, which
// prepares the files, serves them with a local web server and times the
// peer tools (md5sum, curl) on the same files.
//
//   DiffCheck   UA_BENCH_DISK=<disk> UA_BENCH_MANIFEST=<manifest.json>
//               every file already on the disk and matching: the time to
//               decide that nothing has to be fetched (warm page cache).
//   Fetch       UA_BENCH_MANIFEST=<manifest.json> UA_BENCH_TARGET=<folder>
//               every file fetched into an empty package folder; the folder
//               is emptied again between iterations (not timed).
//               peak_rss_growth_MB is how much the process's peak resident
//               size grew during the transfers.
//
// Transfers and checks run on the benchmark's thread, as on a pool worker.

#include "BenchMain.h"
#include "update/DiffDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>

namespace
{

QJsonObject ReadManifest(benchmark::State &state)
{
    QFile file(qEnvironmentVariable("UA_BENCH_MANIFEST"));
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("UA_BENCH_MANIFEST does not name a readable manifest");
        return QJsonObject();
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

struct Outcome {
    int nSuccess = 0;
    int nErr = 0;
};

Outcome Run(const QJsonObject &joPackage, const QString &sSavePath, qint64 *pNanoseconds)
{
    Outcome outcome;
    DiffDownload downloader;
    QObject::connect(&downloader, &DiffDownload::DownloadFinish,
                     [&outcome](int nSuccess, int nErr, bool) {
                         outcome.nSuccess = nSuccess;
                         outcome.nErr = nErr;
                     });
    downloader.SetSavePath(sSavePath);
    downloader.SetPackageJson(joPackage);
    QElapsedTimer timer;
    timer.start();
    downloader.StartDownload();
    *pNanoseconds = timer.nsecsElapsed();
    return outcome;
}

void DiffCheck(benchmark::State &state)
{
    const QJsonObject joPackage = ReadManifest(state);
    const QString sDisk = qEnvironmentVariable("UA_BENCH_DISK");
    if (joPackage.isEmpty() || sDisk.isEmpty()) {
        state.SkipWithError("set UA_BENCH_DISK and UA_BENCH_MANIFEST");
        return;
    }
    for (auto _ : state) {
        qint64 nNanoseconds = 0;
        const Outcome outcome = Run(joPackage, sDisk, &nNanoseconds);
        state.SetIterationTime(double(nNanoseconds) / 1e9);
        if (outcome.nSuccess != -1) {
            state.SkipWithError("the disk does not match the manifest");
            return;
        }
    }
    state.counters["files"] = joPackage.value("files").toArray().size();
}

void Fetch(benchmark::State &state)
{
    const QJsonObject joPackage = ReadManifest(state);
    const QString sTarget = qEnvironmentVariable("UA_BENCH_TARGET");
    if (joPackage.isEmpty() || sTarget.isEmpty()) {
        state.SkipWithError("set UA_BENCH_TARGET and UA_BENCH_MANIFEST");
        return;
    }
    const int nFiles = joPackage.value("files").toArray().size();
    qint64 nBytes = 0;
    for (const QJsonValue &entry : joPackage.value("files").toArray())
        nBytes += entry.toObject().value("Size").toInt();
    double dGrowth = 0;
    for (auto _ : state) {
        QDir(sTarget).removeRecursively();
        QDir().mkpath(sTarget);
        const double dBefore = PeakRssMegabytes();
        qint64 nNanoseconds = 0;
        const Outcome outcome = Run(joPackage, sTarget, &nNanoseconds);
        state.SetIterationTime(double(nNanoseconds) / 1e9);
        dGrowth = std::max(dGrowth, PeakRssMegabytes() - dBefore);
        if (outcome.nSuccess != nFiles || outcome.nErr != 0) {
            state.SkipWithError("not every file arrived");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * nBytes);
    state.counters["files"] = nFiles;
    state.counters["peak_rss_growth_MB"] = dGrowth;
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

} // namespace

BENCHMARK(DiffCheck)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Fetch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(BenchMain::QuietDebug);
    curl_global_init(CURL_GLOBAL_ALL);
    return BenchMain::RunBenchmarks(argc, argv);
}
