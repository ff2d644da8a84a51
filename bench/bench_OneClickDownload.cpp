// One-click download of a whole catalogue through the main window, against
// the demo world of scripts/run-demo (stand-in server, simulated device,
// device disk):
//
//   scripts/run-demo --world-only --demo-dir /tmp/demo &
//   set -a; . /tmp/demo/demo.env; set +a
//   QT_QPA_PLATFORM=offscreen build/bin/bench_OneClickDownload
//
// Timed: from pressing "一键下载" with every row selected to the end of the
// batch (every row has its outcome, the firmware installation is handed
// over). Each iteration starts from a fresh copy of the device disk (not
// timed), so every package really comes down again.

#include "accounts/LoginReply.h"
#include "device/DeviceDisks.h"
#include "update/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTableWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

bool CopyFolder(const QString &sFrom, const QString &sTo)
{
    QDirIterator it(sFrom, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString sPath = it.next();
        const QString sTarget = sTo + sPath.mid(sFrom.size());
        QDir().mkpath(QFileInfo(sTarget).absolutePath());
        if (!QFile::copy(sPath, sTarget))
            return false;
    }
    return true;
}

bool WaitFor(const std::function<bool()> &condition, int nTimeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void OneClickDownload(benchmark::State &state)
{
    const QStringList slDisks = DeviceDiskFolders();
    if (slDisks.isEmpty()) {
        state.SkipWithError("UPDATEASSIST_DISKS names no device disk (see the header)");
        return;
    }
    const QString sOriginal = slDisks.first();
    QTemporaryDir work;
    const QString sDisk = work.filePath(QFileInfo(sOriginal).fileName());
    SetLoginReply(QJsonObject{{QStringLiteral("code"), QStringLiteral("000000")}});
    int nRows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(sDisk).removeRecursively();
        if (!CopyFolder(sOriginal, sDisk)) {
            state.SkipWithError("cannot copy the device disk");
            return;
        }
        SetDeviceDiskFolders({sDisk});
        MainWindow w;
        w.show();
        w.FirstShow();
        auto *pTable = w.findChild<QTableWidget *>(QStringLiteral("tbUpdateList"));
        nRows = pTable->rowCount();
        w.findChild<QCheckBox *>(QStringLiteral("cbAll"))->click();
        auto *pOneClick = w.findChild<QAbstractButton *>(QStringLiteral("btnOneKeyUpdate"));
        QElapsedTimer clock;
        state.ResumeTiming();

        clock.start();
        pOneClick->click();
        const bool bDone = WaitFor([&] { return pOneClick->isEnabled(); }, 300000);
        const double dSeconds = clock.nsecsElapsed() / 1e9;

        state.PauseTiming();
        state.SetIterationTime(dSeconds);
        if (!bDone) {
            state.SkipWithError("the downloads did not end within 5 minutes");
            return;
        }
        // Let the firmware installation end before the window goes.
        WaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 120000);
        state.ResumeTiming();
    }
    state.counters["rows"] = nRows;
}

BENCHMARK(OneClickDownload)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
