#pragma once
#include <QDialog>

namespace Ui
{
class SettingDlg;
}

// Settings dialog: the interface language. Apply (or Return/Enter) stores the
// chosen position in "config/language" and emits SetLanguage with the
// entry's "pack" value; Escape does not close it.
class SettingDlg : public QDialog
{
    Q_OBJECT
public:
    explicit SettingDlg(QWidget *parent = nullptr);
    ~SettingDlg() override;

signals:
    void SetLanguage(QString sLanguage);

private slots:
    void on_btnApply_clicked();
    void on_btnClose_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void LoadLanguageList();
    static QString LanguageListFile();

    Ui::SettingDlg *ui;
};
