#include "app/AppFont.h"

#include "app/ScreenScale.h"

#include <QDebug>
#include <QStringList>

QFont AppFont()
{
    const QString sFamily = QStringLiteral("Microsoft YaHei UI");
    QFont::insertSubstitutions(sFamily, {QStringLiteral("WenQuanYi Micro Hei"),
                                         QStringLiteral("Noto Sans CJK SC"),
                                         QStringLiteral("WenQuanYi Zen Hei")});
    QFont font(sFamily, 9);
    qDebug() << ScaledSize(12);
    if (ScaledSize(10) != 10)
        font.setPixelSize(ScaledSize(10));
    return font;
}
