#pragma once
#include <QDialog>

#include <functional>

class QLabel;

// Small frameless wait prompt shown while a worker thread runs: the text, a
// moving busy bar and a busy pointer, so that a long wait looks like one.
class PromptDlg : public QDialog
{
    Q_OBJECT
public:
    explicit PromptDlg(QWidget *parent = nullptr);

    QString PromptText() const;

    // Runs fnWork once on a thread of its own and shows the prompt, modal,
    // until fnWork has returned; the calling (GUI) thread keeps handling
    // events meanwhile. What fnWork queued for the GUI thread has been
    // delivered when this returns. False when no thread could be started
    // (fnWork did not run).
    bool RunWhile(std::function<void()> fnWork);

public slots:
    void ShowPrompt(const QString &sMsg);
    // Not while RunWhile waits: its work must end before the caller goes on.
    void reject() override;

private:
    QLabel *lbPrompt;
    bool bRunning = false;
};
