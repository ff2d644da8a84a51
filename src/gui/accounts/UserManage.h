#pragma once
// The login window. Sends the account name and password digest (command
// 1041), keeps the result in LoginReply and remembers the login in "./User.bin".

#include <QWidget>

namespace Ui
{
class UserManage;
}

class UserManage : public QWidget
{
    Q_OBJECT
public:
    explicit UserManage(QWidget *parent = nullptr);
    ~UserManage() override;

    // A new login window (delete on close, application-modal) filled in for
    // the account that was just registered, and shown.
    static UserManage *OpenAfterRegistration(const QString &sName, const QString &sDigest);

signals:
    void LoginSuccess();

private slots:
    void on_btnLogin_clicked();
    void on_btnReg_clicked();
    void on_btnClose_clicked();
    void on_edtPassword_textChanged(const QString &sText);

private:
    void LoadStoredCredentials();
    void ShowRememberedPassword(const QString &sDigest);

    Ui::UserManage *ui;
};
