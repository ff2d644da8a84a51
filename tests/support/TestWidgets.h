#pragma once
// Finding and answering what a test's clicks open (message boxes, windows),
// so that no test waits on a modal box, and writing the small files tests
// lay out.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QMessageBox;

namespace TestWidgets
{

// Writes baData to sPath, making its folder first; true when all was written.
bool WriteFile(const QString &sPath, const QByteArray &baData);

// The message boxes shown now, in top-level order.
QList<QMessageBox *> VisibleMessageBoxes();

// Texts of the message boxes shown now.
QStringList MessageTexts();

// Answers (closes) every message box, shown or not, and lets the closed ones
// be deleted; returns the texts of those that were shown.
QStringList TakeMessages();

// As TakeMessages; the text of the last box shown, empty when none was.
QString TakeMessage();

// Deletes the top-level widgets that bDoomed picks; a box that belonged to a
// deleted window is not deleted twice.
void DeleteTopLevels(const std::function<bool(QWidget *)> &bDoomed);

// Deletes the top-level widgets of the classes T.
template <class... T> void DeleteTopLevelsOf()
{
    DeleteTopLevels(
        [](QWidget *pWidget) { return ((qobject_cast<T *>(pWidget) != nullptr) || ...); });
}

} // namespace TestWidgets
