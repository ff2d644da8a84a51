// A 1 MiB firmware image flashed through the installation window into the simulated device
// (device-sim on a pseudo-terminal), from showing the window to its closing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_FirmwareFlash
//
// Counters per installation: wait_ms is the time the worker sat blocked on the port
// (sending frames, waiting for replies to be whole), silence_ms the part of it spent
// waiting for 10 ms of silence after a reply, exchanges the request/reply pairs of the
// transfer. Flash/framed: replies end by their length field. Flash/unframed: the simulator
// breaks the reply header, so every reply ends only after 10 ms of silence, which is how
// all replies used to end.

#include "device/MainInstall.h"
#include "device/device.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

namespace
{

struct FlashFigures {
    double dTotalMs = 0;
    double dWaitMs = 0;
    double dSilenceMs = 0;
    double dExchanges = 0;
};
FlashFigures g_last;
QtMessageHandler g_previous = nullptr;

// The task reports its figures in one debug line; everything else is kept quiet.
void CaptureFigures(QtMsgType type, const QMessageLogContext &context, const QString &sMsg)
{
    static const QRegularExpression figures(
        "firmware: \\d+ bytes, (\\d+) exchanges, (\\d+) ms in all, ([\\d.]+) ms waiting for "
        "replies, ([\\d.]+) ms waiting for silence");
    const QRegularExpressionMatch match = figures.match(sMsg);
    if (match.hasMatch()) {
        g_last.dExchanges = match.captured(1).toDouble();
        g_last.dTotalMs = match.captured(2).toDouble();
        g_last.dWaitMs = match.captured(3).toDouble();
        g_last.dSilenceMs = match.captured(4).toDouble();
        return;
    }
    if (type != QtDebugMsg && g_previous)
        g_previous(type, context, sMsg);
}

QByteArray Image(int nSize, quint32 nSeed)
{
    QByteArray ba(nSize, '\0');
    for (int i = 0; i < nSize; ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        ba[i] = char(nSeed >> 16);
    }
    return ba;
}

void Flash(benchmark::State &state)
{
    const bool bUnframed = state.range(0) != 0;
    QTemporaryDir disk;
    QDir().mkpath(disk.filePath("Home"));
    const QString sOutput = disk.filePath("flashed.bin");

    QProcess sim;
    QStringList slArgs = {"--output", sOutput};
    if (bUnframed)
        slArgs << "--bad-magic";
    sim.start(QCoreApplication::applicationDirPath() + "/device-sim", slArgs);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        state.SkipWithError("device-sim did not start");
        return;
    }
    device::SetSerialOverride(QString::fromLocal8Bit(sim.readLine()).trimmed());

    QWidget mainWindow;
    FlashFigures sum;
    quint32 nSeed = 1;
    QByteArray baImage;
    for (auto _ : state) {
        state.PauseTiming();
        baImage = Image(1024 * 1024, nSeed++);
        QFile file(disk.filePath("Home/MAIN.bin"));
        file.open(QIODevice::WriteOnly);
        file.write(baImage);
        file.close();
        state.ResumeTiming();

        auto *pWindow = new MainInstall(&mainWindow);
        QPointer<MainInstall> guard(pWindow);
        QFutureWatcher<void> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(StartFirmwareUpgrade(pWindow, disk.path(), "T100000000001"));
        if (!watcher.isFinished())
            loop.exec();
        while (guard) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QThread::msleep(1);
        }

        sum.dTotalMs += g_last.dTotalMs;
        sum.dWaitMs += g_last.dWaitMs;
        sum.dSilenceMs += g_last.dSilenceMs;
        sum.dExchanges += g_last.dExchanges;
    }
    QFile flashed(sOutput);
    if (!flashed.open(QIODevice::ReadOnly) || flashed.readAll() != baImage)
        state.SkipWithError("the simulator holds a different image");
    const double n = double(state.iterations());
    state.counters["task_ms"] = sum.dTotalMs / n;
    state.counters["wait_ms"] = sum.dWaitMs / n;
    state.counters["silence_ms"] = sum.dSilenceMs / n;
    state.counters["exchanges"] = sum.dExchanges / n;
    state.SetBytesProcessed(int64_t(state.iterations()) * baImage.size());
    sim.terminate();
    sim.waitForFinished();
}

} // namespace

BENCHMARK(Flash)
    ->ArgName("unframed")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_previous = qInstallMessageHandler(CaptureFigures);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
