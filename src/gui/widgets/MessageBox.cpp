#include "widgets/MessageBox.h"

#include "widgets/IconHelper.h"
#include "widgets/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
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
// The title bar's height, and the frame drawn around the box (the application
// style sheet's border of frameless dialogs).
const int kTitleHeight = 30;
const int kBorder = 1;
const Qt::WindowFlags kFlags = Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint;

MessageBox *NewBox(QMessageBox::Icon icon, QWidget *parent, const QString &sTitle,
                   const QString &sText)
{
    auto *pBox = new MessageBox(icon, sTitle, sText, parent);
    pBox->setTextFormat(Qt::PlainText);
    pBox->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pBox->setAttribute(Qt::WA_DeleteOnClose);
    pBox->setWindowModality(Qt::ApplicationModal);
    return pBox;
}

void StyleButtons(QMessageBox *pBox)
{
    const QList<QAbstractButton *> buttons = pBox->buttons();
    for (QAbstractButton *pButton : buttons)
        pButton->setStyleSheet(QLatin1String(kButtonStyle));
}
} // namespace

MessageBox::MessageBox(Icon icon, const QString &sTitle, const QString &sText, QWidget *parent)
    : QMessageBox(icon, sTitle, sText, QMessageBox::NoButton, parent)
{
    setObjectName(QStringLiteral("MessageBox"));
    setWindowFlags(kFlags);
    setProperty("Form", true);
    setProperty("CanMove", true);

    // Not part of the box's own layout (which QMessageBox rebuilds at will):
    // the layout keeps clear of it through the box's contents margins.
    wgTitle = new QWidget(this);
    wgTitle->setObjectName(QStringLiteral("widget_title"));
    wgTitle->setAttribute(Qt::WA_StyledBackground);
    auto *pLayout = new QHBoxLayout(wgTitle);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    auto *pIcon = new QLabel(wgTitle);
    pIcon->setObjectName(QStringLiteral("lab_Ico"));
    pIcon->setMinimumWidth(30);
    pIcon->setAlignment(Qt::AlignCenter);
    IconHelper::Instance()->SetIcon(pIcon, QChar(0xF015), 13);
    labTitle = new QLabel(sTitle, wgTitle);
    labTitle->setObjectName(QStringLiteral("lab_Title"));
    labTitle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *pClose = new QPushButton(wgTitle);
    pClose->setObjectName(QStringLiteral("btnClose"));
    pClose->setMinimumWidth(40);
    pClose->setFocusPolicy(Qt::NoFocus);
    pClose->setAutoDefault(false);
    IconHelper::Instance()->SetIcon(pClose, QChar(0xF00D), 12);
    // Closing is answering with the escape button, as the window system's
    // close button would.
    connect(pClose, &QPushButton::clicked, this, &QWidget::close);
    pLayout->addWidget(pIcon);
    pLayout->addWidget(labTitle);
    pLayout->addWidget(pClose);
    setContentsMargins(kBorder, kBorder + kTitleHeight, kBorder, kBorder);
}

void MessageBox::setWindowModality(Qt::WindowModality modality)
{
    QMessageBox::setWindowModality(modality);
    setWindowFlags(kFlags);
}

void MessageBox::changeEvent(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::WindowTitleChange)
        labTitle->setText(windowTitle());
    QMessageBox::changeEvent(pEvent);
}

void MessageBox::resizeEvent(QResizeEvent *pEvent)
{
    QMessageBox::resizeEvent(pEvent);
    wgTitle->setGeometry(kBorder, kBorder, width() - 2 * kBorder, kTitleHeight);
    wgTitle->raise();
}

void MessageBox::showEvent(QShowEvent *pEvent)
{
    // QMessageBox fixes its size here; the box is placed before it appears.
    QMessageBox::showEvent(pEvent);
    CentreOver(this, PlacementAnchor(this));
}

void ShowMessage(QWidget *parent, const QString &sTitle, const QString &sMsg, bool bPlain)
{
    const QString sText = bPlain ? sMsg : QTextDocumentFragment::fromHtml(sMsg).toPlainText();
    MessageBox *pBox = NewBox(QMessageBox::Information, parent, sTitle, sText);
    pBox->addButton(QCoreApplication::translate("MessageBox", "确定"), QMessageBox::AcceptRole);
    StyleButtons(pBox);
    pBox->show();
}

MessageBox *AskQuestion(QWidget *parent, const QString &sTitle, const QString &sQuestion,
                        std::function<void()> onYes)
{
    MessageBox *pBox = NewBox(QMessageBox::Question, parent, sTitle, sQuestion);
    QPushButton *pYes =
        pBox->addButton(QCoreApplication::translate("MessageBox", "是"), QMessageBox::YesRole);
    QPushButton *pNo =
        pBox->addButton(QCoreApplication::translate("MessageBox", "否"), QMessageBox::NoRole);
    // Enter and Escape both keep things as they are.
    pBox->setDefaultButton(pNo);
    pBox->setEscapeButton(pNo);
    StyleButtons(pBox);
    // Run once the box has gone, outside its own signal handling.
    QObject::connect(pBox, &QDialog::finished, pBox, [pBox, pYes, onYes = std::move(onYes)]() {
        if (pBox->clickedButton() == pYes && onYes)
            QMetaObject::invokeMethod(qApp, onYes, Qt::QueuedConnection);
    });
    pBox->show();
    return pBox;
}
