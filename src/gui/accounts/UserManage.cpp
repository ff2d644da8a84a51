#include "accounts/UserManage.h"
#include "ui_UserManage.h"

#include "accounts/AccountCommands.h"
#include "accounts/LoginReply.h"
#include "accounts/PasswordDigest.h"
#include "accounts/StoredCredentials.h"
#include "accounts/UserReg.h"
#include "widgets/IconHelper.h"
#include "widgets/MessageBox.h"
#include "widgets/PromptDlg.h"
#include "widgets/WindowPlacement.h"

#include <QDebug>

namespace
{
const char kPasswordProperty[] = "password";
const char kStars[] = "********";
} // namespace

UserManage::UserManage(QWidget *parent) : QWidget(parent), ui(new Ui::UserManage)
{
    ui->setupUi(this);
    setProperty("Form", true);
    setProperty("CanMove", true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setWindowTitle(ui->lab_Title_2->text());
    IconHelper::Instance()->SetIcon(ui->lab_Ico, QChar(0xF015), 13);
    IconHelper::Instance()->SetIcon(ui->btnClose, QChar(0xF00D), 12);
    ui->lbRegSuccess->hide();
    ui->btnFindBack->hide();
    // Enter in the password field logs in, as in any login form.
    connect(ui->edtPassword, &QLineEdit::returnPressed, ui->btnLogin, &QPushButton::click);
    LoadStoredCredentials();
}

UserManage::~UserManage()
{
    delete ui;
}

UserManage *UserManage::OpenAfterRegistration(const QString &sName, const QString &sDigest)
{
    auto *pWindow = new UserManage;
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowModality(Qt::ApplicationModal);
    pWindow->ui->edtUserName->setText(sName);
    pWindow->ShowRememberedPassword(sDigest);
    pWindow->ui->cbAutoLogin->setChecked(true);
    pWindow->ui->cbRememberPsw->setChecked(true);
    pWindow->ui->lbRegSuccess->show();
    // Where the registration window was, over the main window.
    pWindow->adjustSize();
    CentreOver(pWindow, PlacementAnchor(pWindow));
    pWindow->show();
    return pWindow;
}

void UserManage::LoadStoredCredentials()
{
    StoredCredentials credentials;
    if (!ReadStoredCredentials(&credentials))
        return;
    ui->edtUserName->setText(credentials.sUserName);
    ui->cbAutoLogin->setChecked(credentials.bAuto);
    ui->cbRememberPsw->setChecked(credentials.bRemember);
    if (credentials.bRemember && !credentials.sPassword.isEmpty())
        ShowRememberedPassword(credentials.sPassword);
}

void UserManage::ShowRememberedPassword(const QString &sDigest)
{
    // The stars first: setting them clears the property, which comes after.
    ui->edtPassword->setText(QLatin1String(kStars));
    ui->edtPassword->setProperty(kPasswordProperty, sDigest);
}

void UserManage::on_edtPassword_textChanged(const QString &)
{
    // A typed password always replaces a remembered digest.
    ui->edtPassword->setProperty(kPasswordProperty, QString());
}

void UserManage::on_btnLogin_clicked()
{
    const QString sUserName = ui->edtUserName->text().trimmed();
    QString sDigest = ui->edtPassword->property(kPasswordProperty).toString();
    if (sDigest.isEmpty())
        sDigest = PasswordDigest(ui->edtPassword->text());

    // The request runs on a thread of its own: a slow or silent server costs
    // a wait behind the prompt, not a frozen program.
    CommandReply reply;
    PromptDlg prompt(this);
    prompt.ShowPrompt(tr("正在登录..."));
    const auto sendLogin = [&reply, sUserName, sDigest]() {
        reply = SendLogin(sUserName, sDigest);
    };
    if (!prompt.RunWhile(sendLogin))
        sendLogin();

    StoredCredentials credentials;
    credentials.sUserName = sUserName;
    credentials.bAuto = ui->cbAutoLogin->isChecked();
    credentials.bRemember = ui->cbRememberPsw->isChecked();
    if (credentials.bAuto || credentials.bRemember)
        credentials.sPassword = sDigest;
    WriteStoredCredentials(credentials);

    const QString sUnreadable = UnreadableReplyText(reply);
    if (!sUnreadable.isEmpty()) {
        ShowMessage(this, tr("提示"), sUnreadable);
        return;
    }
    const QString sCode = reply.Code();
    if (sCode == QLatin1String("000000")) {
        SetLoginReply(reply.joReply, sUserName);
        close();
        emit LoginSuccess();
        return;
    }
    if (sCode == QLatin1String("10002")) {
        ShowMessage(this, tr("提示"), tr("账号或密码错误"));
        return;
    }
    ShowMessage(this, tr("提示"), UnknownCodeText());
}

void UserManage::on_btnReg_clicked()
{
    auto *pReg = new UserReg;
    connect(pReg, &UserReg::RegSuccess, pReg, [](const QString &sName, const QString &sPwd) {
        UserManage::OpenAfterRegistration(sName, sPwd);
    });
    pReg->setAttribute(Qt::WA_DeleteOnClose);
    pReg->setWindowModality(Qt::ApplicationModal);
    pReg->adjustSize();
    CentreOver(pReg, this);
    pReg->show();
    close();
}

void UserManage::on_btnClose_clicked()
{
    close();
}
