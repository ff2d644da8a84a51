#include "app/AppFont.h"

#include "base/ScreenScale.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

QFont AppFontForDpi(qreal dDpi)
{
    const QString sFamily = QStringLiteral("Microsoft YaHei UI");
    QFont::insertSubstitutions(sFamily, {QStringLiteral("WenQuanYi Micro Hei"),
                                         QStringLiteral("Noto Sans CJK SC"),
                                         QStringLiteral("WenQuanYi Zen Hei")});
    QFont font(sFamily, 9);
    const int nScaled = ScaledSizeForDpi(10, dDpi);
    if (nScaled != 10)
        font.setPixelSize(nScaled);
    return font;
}

QFont AppFont()
{
    qDebug() << ScaledSize(12);
    const QList<QScreen *> screens = QGuiApplication::screens();
    return AppFontForDpi(screens.isEmpty() ? 96.0 : screens.first()->logicalDotsPerInch());
}
