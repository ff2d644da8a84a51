#pragma once
// What the benchmark programs share around their benchmarks.

#include <QString>
#include <QtGlobal>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace BenchMain
{

// A message handler that keeps the program's debug lines (the downloader and
// the check write one per file) out of what is measured; warnings and worse
// still go to stderr.
inline void QuietDebug(QtMsgType type, const QMessageLogContext &, const QString &sMsg)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        fprintf(stderr, "%s\n", qPrintable(sMsg));
}

// Runs the benchmarks the command line picks; 1 on an argument Google
// Benchmark does not know.
inline int RunBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace BenchMain
