#pragma once
#include <QDialog>

class QLabel;

// Small frameless wait/prompt dialog shown while a worker thread runs.
class PromptDlg : public QDialog
{
    Q_OBJECT
public:
    explicit PromptDlg(QWidget *parent = nullptr);

    QString PromptText() const;

public slots:
    void ShowPrompt(const QString &sMsg);

private:
    QLabel *lbPrompt;
};
