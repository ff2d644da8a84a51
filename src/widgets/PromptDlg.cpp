#include "widgets/PromptDlg.h"

#include <QGridLayout>
#include <QLabel>

PromptDlg::PromptDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName("PromptDlg");
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::Dialog);
    resize(340, 104);
    setStyleSheet("#PromptDlg\n{\nborder:1px solid #b8b8b8;\nbackground: #f3f3f3;\n"
                  "background-color: #CFD6E5;\n}");
    setWindowTitle(tr("请稍候"));
    auto *pLayout = new QGridLayout(this);
    lbPrompt = new QLabel(this);
    lbPrompt->setObjectName("lbPrompt");
    lbPrompt->setAlignment(Qt::AlignCenter);
    lbPrompt->setWordWrap(true);
    lbPrompt->setScaledContents(true);
    pLayout->addWidget(lbPrompt, 0, 0);
}

QString PromptDlg::PromptText() const
{
    return lbPrompt->text();
}

void PromptDlg::ShowPrompt(const QString &sMsg)
{
    lbPrompt->setText(sMsg);
}
