#include "app/StyleSheet.h"

#include <QFile>

QString AppStyleSheet()
{
    QFile file(":/other/style.css");
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
