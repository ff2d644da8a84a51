#include "widgets/IconHelper.h"

#include "base/ScreenScale.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QMutex>

IconHelper *IconHelper::Instance()
{
    // Owned by the application object so it goes away with the fonts.
    static QMutex mutex;
    static IconHelper *pInstance = nullptr;
    QMutexLocker locker(&mutex);
    if (!pInstance) {
        pInstance = new IconHelper;
        if (QCoreApplication::instance()) {
            pInstance->setParent(QCoreApplication::instance());
            QObject::connect(pInstance, &QObject::destroyed, [] { pInstance = nullptr; });
        }
    }
    return pInstance;
}

IconHelper::IconHelper()
{
    const int nId = QFontDatabase::addApplicationFont(":/font/fontawesome-webfont.ttf");
    const QStringList families = QFontDatabase::applicationFontFamilies(nId);
    if (!families.isEmpty())
        iconFont = QFont(families.first());
}

QFont IconHelper::IconFont(int nSize)
{
    QFont font = iconFont;
    font.setPointSize(nSize);
    if (ScaledSize(10) != 10)
        font.setPixelSize(ScaledSize(nSize));
    return font;
}

void IconHelper::SetIcon(QLabel *pLabel, QChar c, int nSize)
{
    pLabel->setFont(IconFont(nSize));
    pLabel->setText(c);
}

void IconHelper::SetIcon(QAbstractButton *pButton, QChar c, int nSize)
{
    pButton->setFont(IconFont(nSize));
    pButton->setText(c);
}
