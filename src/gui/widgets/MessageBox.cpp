#include "widgets/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocumentFragment>

namespace
{
const char *const kButtonStyle =
    "QPushButton{min-height:23px;min-width:74px;border:1px solid #ADADAD;color:#000000;"
    "border-radius:0px;background:#E1E1E1;}"
    "QPushButton:default{border:2px solid #0078D7;color:#000000;border-radius:0px;"
    "background:#E1E1E1;}"
    "QPushButton:hover{border:1px solid #0078D7;color:#000000;border-radius:0px;"
    "background:#E5F1FB;}"
    "QPushButton:pressed{border:1px solid #0078D7;color:#000000;border-radius:0px;"
    "background:#CCE4F7;}";
}

void ShowMessage(QWidget *parent, const QString &sTitle, const QString &sMsg, bool bPlain)
{
    const QString sText = bPlain ? sMsg : QTextDocumentFragment::fromHtml(sMsg).toPlainText();
    auto *pBox = new QMessageBox(QMessageBox::Information, sTitle, sText, QMessageBox::NoButton,
                                 parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    pBox->setTextFormat(Qt::PlainText);
    pBox->addButton(QCoreApplication::translate("MessageBox", "确定"), QMessageBox::AcceptRole);
    pBox->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QList<QPushButton *> buttons = pBox->findChildren<QPushButton *>();
    for (QPushButton *pButton : buttons)
        pButton->setStyleSheet(kButtonStyle);
    pBox->setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    pBox->setAttribute(Qt::WA_DeleteOnClose);
    pBox->setWindowModality(Qt::ApplicationModal);
    pBox->show();
}
