#pragma once
#include <QDialog>

#include <functional>

class QKeyEvent;
class QLabel;
class QPushButton;

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
    // delivered when this returns, unless the user cancelled the wait.
    // False when no thread could be started (fnWork did not run).
    bool RunWhile(std::function<void()> fnWork);

    // Offers a "取消" button; it and Escape emit CancelRequested and close the
    // prompt at once, even while RunWhile waits (its work runs on, and its
    // caller drops what it brings). Without it the prompt waits for its work.
    void SetCancellable(bool bCancellable);

public slots:
    void ShowPrompt(const QString &sMsg);
    // Not while RunWhile waits: its work must end before the caller goes on.
    void reject() override;

signals:
    void CancelRequested();

protected:
    void keyPressEvent(QKeyEvent *pEvent) override;

private:
    void Cancel();

    QLabel *lbPrompt;
    QPushButton *btnCancel;
    bool bCancellable = false;
    bool bRunning = false;
};
