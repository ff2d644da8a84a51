#pragma once
#include <QString>

class QWidget;

// The application's message box: information icon, one OK button,
// application-modal, deletes itself on close. Returns at once.
// With bPlain false the message is rich text and shown as its plain text.
void ShowMessage(QWidget *parent, const QString &sTitle, const QString &sMsg, bool bPlain = true);
