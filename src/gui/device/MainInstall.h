#pragma once
// Small modal progress window of a firmware installation. The work itself runs on a worker
// thread (FirmwareUpgradeTask) and reaches this window only through queued calls.

#include <QFuture>
#include <QWidget>

class FirmwareUpgradeTask;

namespace Ui
{
class MainInstall;
}

class MainInstall : public QWidget
{
    Q_OBJECT
public:
    explicit MainInstall(QWidget *parent = nullptr);
    ~MainInstall() override;

    // Shows what pTask reports (hints, progress, the device's failure texts)
    // and closes when it finishes. Reports that arrive after this window is
    // gone are dropped.
    void Listen(FirmwareUpgradeTask *pTask);

public slots:
    void setprogress(int nCurrent, int nMax);
    void showMessage(QString sMsg);
    void showHint(QString sMsg, bool showProgressBar);

private:
    Ui::MainInstall *ui;
};

// Flashes "<sDisk>/Home/MAIN.bin" into the device on Qt's global thread pool; pWindow shows
// the progress and is closed when the work ends, and a flash that broke off without a word
// from the device is told over pWindow's parent. Returns at once; the future lets callers
// that care (tests, benchmarks) wait for the worker to end.
QFuture<void> StartFirmwareUpgrade(MainInstall *pWindow, const QString &sDisk, const QString &sSN);

// Tells the user over pParent (the main window) that the flash of pTask broke off, should it.
void ReportBrokenOffFlash(FirmwareUpgradeTask *pTask, QWidget *pParent);
