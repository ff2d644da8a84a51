#pragma once
// The proxy settings window: edits the stored proxy and, on OK, makes it the
// active proxy for every transfer started afterwards.

#include <QWidget>

namespace Ui
{
class ProxySetting;
}

class ProxySetting : public QWidget
{
    Q_OBJECT
public:
    explicit ProxySetting(QWidget *parent = nullptr);
    ~ProxySetting() override;

private slots:
    void on_btnOK_clicked();
    void on_btnClose_clicked();

private:
    Ui::ProxySetting *ui;
};
