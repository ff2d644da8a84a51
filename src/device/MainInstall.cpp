#include "device/MainInstall.h"
#include "ui_MainInstall.h"

#include "device/FirmwareUpgradeTask.h"
#include "widgets/MessageBox.h"

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

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

QFuture<void> StartFirmwareUpgrade(MainInstall *pWindow, const QString &sDisk, const QString &sSN)
{
    QPointer<QWidget> pParent;
    if (pWindow) {
        pWindow->show();
        pParent = pWindow->parentWidget();
    }
    return QtConcurrent::run(FirmwareUpgradeTask, QPointer<MainInstall>(pWindow), pParent, sDisk,
                             sSN);
}
