#pragma once
#include <QDialog>

class QKeyEvent;
class QLabel;
class QPushButton;

// Small frameless wait/prompt dialog shown while a worker thread runs.
class PromptDlg : public QDialog
{
    Q_OBJECT
public:
    explicit PromptDlg(QWidget *parent = nullptr);

    QString PromptText() const;

    // Offers a "取消" button; it and Escape emit CancelRequested and close the
    // prompt (its caller drops the work's result). Without it Escape does nothing.
    void SetCancellable(bool bCancellable);

public slots:
    void ShowPrompt(const QString &sMsg);

signals:
    void CancelRequested();

protected:
    void keyPressEvent(QKeyEvent *pEvent) override;

private:
    void Cancel();

    QLabel *lbPrompt;
    QPushButton *btnCancel;
    bool bCancellable = false;
};
