#include "device/MainInstall.h"
#include "ui_MainInstall.h"

#include "device/FirmwareUpgradeTask.h"
#include "update/PackageNames.h"
#include "widgets/MessageBox.h"

#include <QCoreApplication>

MainInstall::MainInstall(QWidget *parent) : QWidget(parent), ui(new Ui::MainInstall)
{
    ui->setupUi(this);
    // Dialog, frameless, with system menu and minimise hints.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setProperty("Form", true);
    setProperty("CanMove", true);
}

MainInstall::~MainInstall()
{
    delete ui;
}

void MainInstall::Listen(FirmwareUpgradeTask *pTask)
{
    // Queued: the task emits on its worker thread. With this window as the
    // receiver, its requests die with it.
    connect(pTask, &FirmwareUpgradeTask::Hint, this, &MainInstall::showHint);
    connect(pTask, &FirmwareUpgradeTask::Progress, this, &MainInstall::setprogress);
    connect(pTask, &FirmwareUpgradeTask::Failure, this, &MainInstall::showMessage);
    connect(pTask, &FirmwareUpgradeTask::Finish, this, &QWidget::close);
}

void MainInstall::setprogress(int nCurrent, int nMax)
{
    ui->progressBar->setMaximum(nMax);
    ui->progressBar->setValue(nCurrent);
}

void MainInstall::showMessage(QString sMsg)
{
    // The device's Finish closes (and deletes) this window right after its message, so the
    // box hangs on the main window instead of on us.
    ShowMessage(parentWidget(), tr("提示"), sMsg);
}

void MainInstall::showHint(QString sMsg, bool showProgressBar)
{
    ui->progressBar->setVisible(showProgressBar);
    ui->label->setText(sMsg);
}

void ReportBrokenOffFlash(FirmwareUpgradeTask *pTask, QWidget *pParent)
{
    if (pParent == nullptr)
        return; // no main window any more: the program is closing
    QObject::connect(pTask, &FirmwareUpgradeTask::BrokenOff, pParent, [pParent](QString sMsg) {
        ShowMessage(pParent, QCoreApplication::translate("MainInstall", "提示"), sMsg);
    });
}

QFuture<void> StartFirmwareUpgrade(MainInstall *pWindow, const QString &sDisk, const QString &sSN)
{
    auto *pTask = new FirmwareUpgradeTask(FirmwareImagePath(sDisk), sSN);
    if (pWindow) {
        pWindow->Listen(pTask);
        ReportBrokenOffFlash(pTask, pWindow->parentWidget());
        pWindow->show();
    }
    return FirmwareUpgradeTask::Start(pTask);
}
