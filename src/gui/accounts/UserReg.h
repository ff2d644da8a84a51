#pragma once
// The registration window: checks the fields, sends command 1040 and on
// success hands the new account to a prefilled login window.

#include <QWidget>

namespace Ui
{
class UserReg;
}

class UserReg : public QWidget
{
    Q_OBJECT
public:
    explicit UserReg(QWidget *parent = nullptr);
    ~UserReg() override;

signals:
    // The account name and password digest as sent.
    void RegSuccess(QString name, QString sPwd);

private slots:
    void on_btnSubmit_clicked();
    void on_btnClose_clicked();

private:
    // The first local check that fails, as its message; empty when all pass.
    QString CheckFields() const;

    Ui::UserReg *ui;
};
