#include "widgets/PromptDlg.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

PromptDlg::PromptDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName("PromptDlg");
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::Dialog);
    resize(340, 104);
    setStyleSheet("#PromptDlg\n{\nborder:1px solid #b8b8b8;\nbackground: #f3f3f3;\n"
                  "background-color: #CFD6E5;\n}");
    setWindowTitle(tr("Dialog"));
    auto *pLayout = new QGridLayout(this);
    lbPrompt = new QLabel(this);
    lbPrompt->setObjectName("lbPrompt");
    lbPrompt->setAlignment(Qt::AlignCenter);
    lbPrompt->setWordWrap(true);
    lbPrompt->setScaledContents(true);
    pLayout->addWidget(lbPrompt, 0, 0);
    btnCancel = new QPushButton(tr("取消"), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setVisible(false);
    pLayout->addWidget(btnCancel, 1, 0, Qt::AlignHCenter);
    connect(btnCancel, &QPushButton::clicked, this, &PromptDlg::Cancel);
}

void PromptDlg::SetCancellable(bool bOn)
{
    bCancellable = bOn;
    btnCancel->setVisible(bOn);
}

void PromptDlg::keyPressEvent(QKeyEvent *pEvent)
{
    if (pEvent->key() != Qt::Key_Escape) {
        QDialog::keyPressEvent(pEvent);
        return;
    }
    // The work behind the prompt still runs: only a caller that can drop its
    // result lets the prompt go.
    if (bCancellable)
        Cancel();
}

void PromptDlg::Cancel()
{
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
