#include "TestWidgets.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace TestWidgets
{

bool WriteFile(const QString &sPath, const QByteArray &baData)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(baData) == baData.size();
}

QList<QMessageBox *> VisibleMessageBoxes()
{
    QList<QMessageBox *> boxes;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        auto *pBox = qobject_cast<QMessageBox *>(pWidget);
        if (pBox && pBox->isVisible())
            boxes << pBox;
    }
    return boxes;
}

QStringList MessageTexts()
{
    QStringList slTexts;
    const QList<QMessageBox *> boxes = VisibleMessageBoxes();
    for (const QMessageBox *pBox : boxes)
        slTexts << pBox->text();
    return slTexts;
}

QStringList TakeMessages()
{
    const QStringList slTexts = MessageTexts();
    QList<QPointer<QMessageBox>> boxes;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (auto *pBox = qobject_cast<QMessageBox *>(pWidget))
            boxes << pBox;
    }
    for (const QPointer<QMessageBox> &pBox : qAsConst(boxes)) {
        if (pBox)
            pBox->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return slTexts;
}

QString TakeMessage()
{
    const QStringList slTexts = TakeMessages();
    return slTexts.isEmpty() ? QString() : slTexts.last();
}

void DeleteTopLevels(const std::function<bool(QWidget *)> &bDoomed)
{
    QList<QPointer<QWidget>> doomed;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (bDoomed(pWidget))
            doomed << pWidget;
    }
    for (const QPointer<QWidget> &pWidget : qAsConst(doomed))
        delete pWidget.data();
}

} // namespace TestWidgets
