// PDF export of a one-band report (a header row, one data band of three
// cells, a page footer) with 1,000 and 10,000 records.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_ReportPdfExport --benchmark_filter=ExportToPdf/1000/
//   QT_QPA_PLATFORM=offscreen build/bin/bench_ReportPdfExport --benchmark_filter=ExportToPdf/10000/
//
// Run one size per process: peak_rss_MB is the process's peak resident size,
// which only grows. REPORT_BENCH_KEEP=<folder> keeps a copy of each PDF.

#include "BenchMain.h"
#include "report/ReportEngine.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace
{
const char *kTemplate = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Reports><Script><![CDATA[]]></Script>
<Report pageWidth="840" pageHeight="1188" marginsLeft="40" marginsRight="40" marginsTop="40" marginsBottom="40">
<ReportBand type="MasterHeader" name="MasterHeaderBand" height="24" width="760">
<f type="label" value="[HeaderErrCode]" left="0" top="0" width="120" height="24" aligmentH="hCenter" aligmentV="vCenter" fontSize="10" fontColor="rgba(0,0,0,255)" backgroundColor="rgba(213,213,213,255)" borderTop="rgba(0,0,0,255)" borderBottom="rgba(0,0,0,255)" borderLeft="rgba(0,0,0,255)" borderRight="rgba(0,0,0,255)"/>
<f type="label" value="[HeaderState]" left="119" top="0" width="115" height="24" aligmentH="hCenter" aligmentV="vCenter" fontSize="10" fontColor="rgba(0,0,0,255)" backgroundColor="rgba(213,213,213,255)" borderTop="rgba(0,0,0,255)" borderBottom="rgba(0,0,0,255)" borderLeft="rgba(0,0,0,255)" borderRight="rgba(0,0,0,255)"/>
<f type="label" value="  [HeaderDescription]" left="232" top="0" width="527" height="24" aligmentH="hLeft" aligmentV="vCenter" fontSize="10" fontColor="rgba(0,0,0,255)" backgroundColor="rgba(213,213,213,255)" borderTop="rgba(0,0,0,255)" borderBottom="rgba(0,0,0,255)" borderLeft="rgba(0,0,0,255)" borderRight="rgba(0,0,0,255)"/>
</ReportBand>
<ReportBand type="MasterData" name="MasterDataBand" height="24" width="760">
<f type="label" value="[DID]" left="0" top="0" width="120" height="24" aligmentH="hCenter" aligmentV="vCenter" fontSize="10" autoHeight="1" fontColor="rgba(0,0,0,255)" borderTop="rgba(0,0,0,255)" borderBottom="rgba(0,0,0,255)" borderLeft="rgba(0,0,0,255)" borderRight="rgba(0,0,0,255)"/>
<f type="label" value="[STAT]" left="119" top="0" width="114" height="24" aligmentH="hCenter" aligmentV="vCenter" fontSize="10" autoHeight="1" fontColor="rgba(0,0,0,255)" borderTop="rgba(0,0,0,255)" borderBottom="rgba(0,0,0,255)" borderLeft="rgba(0,0,0,255)" borderRight="rgba(0,0,0,255)"/>
<f type="label" value="  [DDE]" left="232" top="0" width="527" height="24" aligmentH="hLeft" aligmentV="vCenter" fontSize="10" autoHeight="1" fontColor="rgba(0,0,0,255)" borderTop="rgba(0,0,0,255)" borderBottom="rgba(0,0,0,255)" borderLeft="rgba(0,0,0,255)" borderRight="rgba(0,0,0,255)"/>
</ReportBand>
<ReportBand type="PageFooter" name="PageFooterBand" height="24" width="760">
<f type="label" value="&lt;Page&gt; / &lt;TotalPages&gt;" left="246" top="5" width="272" height="17" aligmentH="hCenter" aligmentV="vCenter" fontSize="8" fontBold="1" fontColor="rgba(0,0,0,255)"/>
</ReportBand>
</Report></Reports>)xml";

double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void ExportToPdf(benchmark::State &state)
{
    const int nRows = int(state.range(0));
    QTemporaryDir dir;
    const QString sTemplate = dir.filePath(QStringLiteral("table.xml"));
    QFile file(sTemplate);
    file.open(QIODevice::WriteOnly);
    file.write(kTemplate);
    file.close();

    ReportEngine engine;
    engine.loadTemplate(sTemplate);
    QObject context;
    QObject::connect(&engine, &ReportEngine::setDSInfo, &context,
                     [nRows](DataSetInfo &dsInfo) { dsInfo.recordCount = nRows; });
    QObject::connect(
        &engine, &ReportEngine::setValue, &context,
        [](const int recNo, const QString paramName, QVariant &paramValue, const int) {
            if (paramName == QLatin1String("DID"))
                paramValue = QStringLiteral("P%1").arg(recNo % 10000, 4, 10, QLatin1Char('0'));
            else if (paramName == QLatin1String("STAT"))
                paramValue = recNo % 3 ? QStringLiteral("Current") : QStringLiteral("History");
            else if (paramName == QLatin1String("DDE"))
                paramValue = QStringLiteral("Intake air temperature sensor circuit %1").arg(recNo);
            else
                paramValue = paramName;
        });
    const QString sPdf = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        if (!engine.exportToPdf(sPdf))
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * nRows);
    state.counters["pages"] = engine.TotalPages();
    state.counters["pdf_MB"] = QFile(sPdf).size() / 1048576.0;
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
    // REPORT_BENCH_KEEP=<folder> keeps a copy of the PDF for looking at.
    const QString sKeep = qEnvironmentVariable("REPORT_BENCH_KEEP");
    if (!sKeep.isEmpty()) {
        const QString sCopy = sKeep + QStringLiteral("/report-%1.pdf").arg(nRows);
        QFile::remove(sCopy);
        QFile::copy(sPdf, sCopy);
    }
}
} // namespace

BENCHMARK(ExportToPdf)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    return BenchMain::RunBenchmarks(argc, argv);
}
