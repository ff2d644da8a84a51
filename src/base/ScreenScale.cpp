#include "base/ScreenScale.h"

#include <QGuiApplication>
#include <QScreen>

double ScaleFactorForDpi(qreal dDpi)
{
    const qreal r = dDpi / 96.0;
    if (r < 1.1)
        return 1.0;
    if (r < 1.4)
        return 1.25;
    if (r < 1.6)
        return 1.5;
    if (r < 1.8)
        return 1.75;
    return 2.0;
}

int ScaledSizeForDpi(int n, qreal dDpi)
{
    return static_cast<int>(n * ScaleFactorForDpi(dDpi));
}

int ScaledSize(int n)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return n;
    return ScaledSizeForDpi(n, screens.first()->logicalDotsPerInch());
}
