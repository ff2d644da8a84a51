// The main window's update pages on large device disks.
//
//   Catalogue      a catalogue reply of 500 packages, each installed on the
//                  disk with another revision: from the reply's arrival
//                  (ShowEnableDownload) to the filled, laid-out table.
//   InstalledScan  UA_BENCH_SCAN_DISK=<disk>: from pressing the Uninstall
//                  tool button to the sorted table (the scan runs on its own
//                  thread, rows and the sort arrive queued, as in the program).
//
//   QT_QPA_PLATFORM=offscreen build-bench/bin/bench_UpdatePages

#include "BenchMain.h"
#include "update/MainWindow.h"
#include "update/TransferStopFlag.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

void WriteFile(const QString &sPath, const QByteArray &baContent)
{
    QDir().mkpath(QFileInfo(sPath).path());
    QFile file(sPath);
    if (file.open(QIODevice::WriteOnly))
        file.write(baContent);
}

void Catalogue(benchmark::State &state)
{
    const int nPackages = int(state.range(0));
    QTemporaryDir disk;
    QJsonArray jaList;
    for (int i = 0; i < nPackages; ++i) {
        const QString sDir = QStringLiteral("Diag/Vehicle%1").arg(i, 3, 10, QLatin1Char('0'));
        QJsonObject joPackage{{"dir", sDir},
                              {"rev", QStringLiteral("V2.%1").arg(i)},
                              {"branch", i % 2 ? "dash" : "immo"},
                              {"lang_name", QStringLiteral("Vehicle %1").arg(i)},
                              {"CN_name", QStringLiteral("车型 %1").arg(i)},
                              {"EN_name", QStringLiteral("Vehicle %1").arg(i)}};
        jaList.append(joPackage);
        QJsonObject joInstalled = joPackage;
        joInstalled["rev"] = QStringLiteral("V1.%1").arg(i);
        joInstalled["files"] = QJsonArray{QJsonObject{{"Path", sDir + "/data.bin"},
                                                      {"Hash", "0123456789abcdef0123456789abcdef"},
                                                      {"Size", 1}}};
        WriteFile(disk.filePath(sDir + "/Update.json"),
                  QJsonDocument(joInstalled).toJson(QJsonDocument::Indented));
    }
    const QByteArray baReply =
        QJsonDocument(
            QJsonObject{{"code", "000000"}, {"root", "http://127.0.10.1/"}, {"list", jaList}})
            .toJson(QJsonDocument::Compact);

    TransferStopFlag = 0;
    MainWindow window;
    window.sCurDisk = disk.path();
    auto *pTable = window.findChild<QTableWidget *>(QStringLiteral("tbUpdateList"));
    auto *pStack = window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    if (!pTable || !pStack) {
        state.SkipWithError("the update table is missing");
        return;
    }
    pStack->setCurrentWidget(pStack->findChild<QWidget *>(QStringLiteral("page")));
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        window.ShowEnableDownload(baReply);
        QCoreApplication::processEvents(); // layout and the first paint of the new rows
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (pTable->rowCount() != nPackages) {
            state.SkipWithError("not every package was listed");
            return;
        }
    }
    state.counters["rows"] = pTable->rowCount();
}

void InstalledScan(benchmark::State &state)
{
    const QString sDisk = qEnvironmentVariable("UA_BENCH_SCAN_DISK");
    if (sDisk.isEmpty()) {
        state.SkipWithError("set UA_BENCH_SCAN_DISK");
        return;
    }
    // A window closed by an earlier repetition leaves the stop flag raised,
    // as at the end of the program.
    TransferStopFlag = 0;
    MainWindow window;
    window.sCurDisk = sDisk;
    auto *pTable = window.findChild<QTableWidget *>(QStringLiteral("tbUnistallList"));
    auto *pButton = window.findChild<QAbstractButton *>(QStringLiteral("btnUnistall"));
    if (!pTable || !pButton) {
        state.SkipWithError("the uninstall page is missing");
        return;
    }
    window.show();
    QCoreApplication::processEvents();
    bool bSorted = false;
    QObject::connect(pTable->model(), &QAbstractItemModel::layoutChanged,
                     [&bSorted] { bSorted = true; });
    for (auto _ : state) {
        bSorted = false;
        QElapsedTimer timer;
        timer.start();
        pButton->click();
        while (!bSorted && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!bSorted) {
            state.SkipWithError("the scan did not end");
            return;
        }
    }
    state.counters["rows"] = pTable->rowCount();
}

} // namespace

BENCHMARK(Catalogue)->Arg(500)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(InstalledScan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No device disks but the benchmark's own.
    qputenv("UPDATEASSIST_DISKS", "");
    QApplication app(argc, argv);
    qInstallMessageHandler(BenchMain::QuietDebug);
    return BenchMain::RunBenchmarks(argc, argv);
}
