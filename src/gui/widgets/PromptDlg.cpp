#include "widgets/PromptDlg.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

PromptDlg::PromptDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName("PromptDlg");
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::Dialog);
    resize(340, 104);
    setStyleSheet("#PromptDlg\n{\nborder:1px solid #b8b8b8;\nbackground: #f3f3f3;\n"
                  "background-color: #CFD6E5;\n}");
    setWindowTitle(tr("请稍候"));
    setCursor(Qt::BusyCursor);
    auto *pLayout = new QGridLayout(this);
    lbPrompt = new QLabel(this);
    lbPrompt->setObjectName("lbPrompt");
    lbPrompt->setAlignment(Qt::AlignCenter);
    lbPrompt->setWordWrap(true);
    lbPrompt->setScaledContents(true);
    pLayout->addWidget(lbPrompt, 0, 0);
    // No range: the bar keeps moving for as long as the wait lasts.
    auto *pBusy = new QProgressBar(this);
    pBusy->setObjectName("pbBusy");
    pBusy->setRange(0, 0);
    pBusy->setTextVisible(false);
    pBusy->setMaximumHeight(8);
    pLayout->addWidget(pBusy, 1, 0);
    btnCancel = new QPushButton(tr("取消"), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setVisible(false);
    pLayout->addWidget(btnCancel, 2, 0, Qt::AlignHCenter);
    connect(btnCancel, &QPushButton::clicked, this, &PromptDlg::Cancel);
}

void PromptDlg::SetCancellable(bool bOn)
{
    bCancellable = bOn;
    btnCancel->setVisible(bOn);
}

void PromptDlg::keyPressEvent(QKeyEvent *pEvent)
{
    // Only a caller that can drop the work's result lets the prompt go early.
    if (pEvent->key() == Qt::Key_Escape && bCancellable) {
        Cancel();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void PromptDlg::Cancel()
{
    bRunning = false;
    emit CancelRequested();
    QDialog::reject();
}

QString PromptDlg::PromptText() const
{
    return lbPrompt->text();
}

void PromptDlg::ShowPrompt(const QString &sMsg)
{
    lbPrompt->setText(sMsg);
}

bool PromptDlg::RunWhile(std::function<void()> fnWork)
{
    auto *pThread = new QThread;
    connect(
        pThread, &QThread::started, pThread, [fnWork = std::move(fnWork)]() { fnWork(); },
        Qt::DirectConnection);
    connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    // Queued behind whatever fnWork posted to this thread.
    connect(
        pThread, &QThread::finished, this,
        [this]() {
            bRunning = false;
            accept();
        },
        Qt::QueuedConnection);
    pThread->start();
    if (!pThread->isRunning() && !pThread->isFinished()) {
        delete pThread;
        return false;
    }
    pThread->exit(0); // the thread ends as soon as fnWork has returned
    bRunning = true;
    exec();
    return true;
}

void PromptDlg::reject()
{
    if (!bRunning)
        QDialog::reject();
}
