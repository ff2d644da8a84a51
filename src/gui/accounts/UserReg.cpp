#include "accounts/UserReg.h"
#include "ui_UserReg.h"

#include "accounts/AccountCommands.h"
#include "accounts/PasswordDigest.h"
#include "device/DeviceState.h"
#include "widgets/IconHelper.h"
#include "widgets/MessageBox.h"
#include "widgets/PromptDlg.h"

UserReg::UserReg(QWidget *parent) : QWidget(parent), ui(new Ui::UserReg)
{
    ui->setupUi(this);
    setProperty("Form", true);
    setProperty("CanMove", true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    IconHelper::Instance()->SetIcon(ui->lab_Ico, QChar(0xF015), 13);
    IconHelper::Instance()->SetIcon(ui->btnClose, QChar(0xF00D), 12);
    ui->edtDevSN->setText(CurrentSerialNumber());
}

UserReg::~UserReg()
{
    delete ui;
}

QString UserReg::CheckFields() const
{
    if (ui->edtUserName->text().trimmed().size() < 4)
        return tr("用户名长度不符合要求");
    const QString sPassword = ui->edtPassword->text().trimmed();
    if (sPassword.size() < 8)
        return tr("密码最少为8位字符");
    if (sPassword != ui->edtRePassword->text().trimmed())
        return tr("两次密码输入不一致,请重新输入!");
    if (ui->edtMail->text().trimmed().isEmpty() && ui->edtPhone->text().trimmed().isEmpty())
        return tr("手机号与邮箱不能同时留空");
    return QString();
}

void UserReg::on_btnSubmit_clicked()
{
    const QString sProblem = CheckFields();
    if (!sProblem.isEmpty()) {
        ShowMessage(this, tr("提示"), sProblem);
        return;
    }
    const QString sName = ui->edtUserName->text().trimmed();
    const QString sDigest = PasswordDigest(ui->edtPassword->text());
    QJsonObject joData;
    joData.insert(QStringLiteral("name"), sName);
    joData.insert(QStringLiteral("realname"), ui->edtRealName->text().trimmed());
    joData.insert(QStringLiteral("phone"), ui->edtPhone->text().trimmed());
    joData.insert(QStringLiteral("email"), ui->edtMail->text().trimmed());
    joData.insert(QStringLiteral("password"), sDigest);
    joData.insert(QStringLiteral("sn"), ui->edtDevSN->text().trimmed());

    // On a thread of its own, behind the wait prompt (see the login window).
    CommandReply reply;
    PromptDlg prompt(this);
    prompt.ShowPrompt(tr("正在提交..."));
    const auto sendRegistration = [&reply, joData]() { reply = SendRegistration(joData); };
    if (!prompt.RunWhile(sendRegistration))
        sendRegistration();
    const QString sUnreadable = UnreadableReplyText(reply);
    if (!sUnreadable.isEmpty()) {
        ShowMessage(this, tr("提示"), sUnreadable);
        return;
    }
    const QString sCode = reply.Code();
    if (sCode == QLatin1String("000000")) {
        emit RegSuccess(sName, sDigest);
        close();
        return;
    }
    if (sCode == QLatin1String("10004")) {
        ShowMessage(this, tr("提示"), tr("已存在同名账号"));
        return;
    }
    if (sCode == QLatin1String("10003")) {
        ShowMessage(this, tr("提示"), reply.joReply.value(QStringLiteral("msg")).toString());
        return;
    }
    ShowMessage(this, tr("提示"), UnknownCodeText());
}

void UserReg::on_btnClose_clicked()
{
    close();
}
