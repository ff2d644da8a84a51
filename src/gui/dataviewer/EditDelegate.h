#pragma once
#include <QStyledItemDelegate>

// Shows a cell's stored (untranslated) text through the application's
// translator, in the "QObject" context, so it follows language changes.
class EditDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override;
};
