// Opening a long data-stream record: the reader's time and the process's peak
// memory, for a record of 11.7 million small frames (245 MiB) made by
// record-gen, read within the bounds the data list uses and, for comparison,
// without them (every frame kept, as far as 256 MiB); and the data list
// opening it, with the longest the window went without handling an event.
//
//   build/bin/bench_RecordOpen --benchmark_filter=ReadBounded
//   build/bin/bench_RecordOpen --benchmark_filter=ReadUnbounded
//   build/bin/bench_RecordOpen --benchmark_filter=OpenInDataList
//
// Run one case per process: peak_rss_MB is the process's peak resident size,
// which only grows. RECORD_BENCH_FRAMES changes the number of frames.

#include "BenchMain.h"
#include "dataviewer/DataList.h"
#include "dataviewer/RecordFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <climits>
#include <sys/resource.h>

namespace
{
double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The record, made once per process.
QString LongRecord()
{
    static QTemporaryDir dir;
    static QString sPath;
    if (!sPath.isEmpty())
        return sPath;
    const QString sFrames = qEnvironmentVariable("RECORD_BENCH_FRAMES", QStringLiteral("11700000"));
    const QString sFile = dir.filePath(QStringLiteral("long.dat"));
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/record-gen"),
                  {QStringLiteral("--stream"), sFile, QStringLiteral("--frames"), sFrames});
    if (process.waitForFinished(600000) && process.exitCode() == 0)
        sPath = sFile;
    return sPath;
}

void Read(benchmark::State &state, const RecordLimits &limits)
{
    const QString sPath = LongRecord();
    if (sPath.isEmpty()) {
        state.SkipWithError("record-gen failed");
        return;
    }
    int nFrames = 0;
    for (auto _ : state) {
        DataStreamRecord record;
        RecordFile::ReadDataStream(sPath, record, limits);
        nFrames = record.lstFrames.size();
    }
    state.counters["file_MB"] = QFileInfo(sPath).size() / 1048576.0;
    state.counters["frames"] = nFrames;
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

void ReadBounded(benchmark::State &state)
{
    Read(state, RecordLimits());
}

void ReadUnbounded(benchmark::State &state)
{
    RecordLimits limits;
    limits.nMaxBytes = qint64(256) * 1024 * 1024;
    limits.nMaxFrames = INT_MAX;
    Read(state, limits);
}
// The page as the data manager opens it: the reading runs on a worker behind a
// prompt while the window goes on handling events (a timer every 10 ms here).
void OpenInDataList(benchmark::State &state)
{
    const QString sPath = LongRecord();
    if (sPath.isEmpty()) {
        state.SkipWithError("record-gen failed");
        return;
    }
    DataList list;
    list.show();
    qint64 nLongestGap = 0;
    for (auto _ : state) {
        QElapsedTimer gap;
        gap.start();
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { nLongestGap = qMax(nLongestGap, gap.restart()); });
        ticker.start();
        list.Load(sPath);
        nLongestGap = qMax(nLongestGap, gap.elapsed());
    }
    state.counters["frames"] = list.FrameCount();
    state.counters["longest_gui_gap_ms"] = double(nLongestGap);
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
} // namespace

BENCHMARK(ReadBounded)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ReadUnbounded)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OpenInDataList)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    return BenchMain::RunBenchmarks(argc, argv);
}
