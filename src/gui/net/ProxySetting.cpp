#include "net/ProxySetting.h"
#include "ui_ProxySetting.h"

#include "net/ProxyInfo.h"
#include "net/ProxyStore.h"
#include "widgets/IconHelper.h"

ProxySetting::ProxySetting(QWidget *parent) : QWidget(parent), ui(new Ui::ProxySetting)
{
    ui->setupUi(this);
    setProperty("Form", true);
    setProperty("CanMove", true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::Dialog);
    setWindowTitle(ui->lab_Title->text());
    IconHelper::Instance()->SetIcon(ui->lab_Ico, QChar(0xF015), 10);
    IconHelper::Instance()->SetIcon(ui->btnClose, QChar(0xF00D), 10);

    const ProxyStore::Values values = ProxyStore::Read();
    ui->edtAddress->setText(values.proxy.sAddress);
    ui->edtPort->setText(QString::number(values.proxy.nPort));
    ui->edtAccount->setText(values.proxy.sAccount);
    ui->edtPassword->setText(values.proxy.sPassword);
    // Only 1 ticks the box, although any other non-zero value turns the proxy on at start.
    ui->cbUseProxy->setChecked(values.nUseProxy == 1);
}

ProxySetting::~ProxySetting()
{
    delete ui;
}

void ProxySetting::on_btnOK_clicked()
{
    const bool bUseProxy = ui->cbUseProxy->isChecked();
    ProxyStore::Write(bUseProxy, ui->edtAddress->text(), ui->edtPort->text(),
                      ui->edtAccount->text(), ui->edtPassword->text());
    if (bUseProxy) {
        // A new record rather than a change in place: transfers that are
        // running keep the one they started with.
        SetActiveProxy(std::make_shared<const ProxyInfo>(ProxyStore::Read().proxy));
    } else {
        SetActiveProxy(nullptr);
    }
    close();
}

void ProxySetting::on_btnClose_clicked()
{
    close();
}
