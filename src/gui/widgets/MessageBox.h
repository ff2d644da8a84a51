#pragma once
#include <QMessageBox>
#include <QString>

#include <functional>

// A translation unit that sees the system headers of Windows (libcurl's pull
// them in) has MessageBox as a macro for MessageBoxA, a function whose name
// would hide this class's. The name is ours here.
#ifdef MessageBox
#undef MessageBox
#endif

class QLabel;

// The application's message box: a QMessageBox without the window system's
// frame, with the program's own title bar (icon, title, close button) like
// every other window, dragged by it, and centred over the window it belongs to
// (its parent's window; without a parent the active window or the main window).
class MessageBox : public QMessageBox
{
    Q_OBJECT
public:
    MessageBox(Icon icon, const QString &sTitle, const QString &sText, QWidget *parent = nullptr);

    // QMessageBox's own resets the window flags (to those of a framed dialog).
    void setWindowModality(Qt::WindowModality modality);

protected:
    void changeEvent(QEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void showEvent(QShowEvent *pEvent) override;

private:
    QWidget *wgTitle;
    QLabel *labTitle;
};

// The application's message box: information icon, one OK button,
// application-modal, deletes itself on close. Returns at once.
// With bPlain false the message is rich text and shown as its plain text.
void ShowMessage(QWidget *parent, const QString &sTitle, const QString &sMsg, bool bPlain = true);

// Asks sQuestion in the same kind of box with the buttons "是" (yes) and "否"
// (no, the default), and returns at once; onYes runs, once the box has gone,
// when the user answered yes; nothing happens when the box is answered no or
// closed.
MessageBox *AskQuestion(QWidget *parent, const QString &sTitle, const QString &sQuestion,
                        std::function<void()> onYes);
