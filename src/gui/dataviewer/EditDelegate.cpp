#include "dataviewer/EditDelegate.h"

#include <QCoreApplication>

QString EditDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    Q_UNUSED(locale);
    const QByteArray baText = value.toString().toUtf8();
    return QCoreApplication::translate("QObject", baText.constData());
}
