#include "base/ScreenScale.h"
#include "widgets/IconHelper.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class tst_IconHelper : public QObject
{
    Q_OBJECT
private slots:
    void setsIconFontAndCharacter();
    void oneInstance();
};

void tst_IconHelper::setsIconFontAndCharacter()
{
    QLabel label;
    QPushButton button;
    IconHelper::Instance()->SetIcon(&label, QChar(0xF013), 13);
    IconHelper::Instance()->SetIcon(&button, QChar(0xF00D), 12);
    QCOMPARE(label.text(), QString(QChar(0xF013)));
    QCOMPARE(button.text(), QString(QChar(0xF00D)));
    // The compiled-in icon font, which really has the glyphs.
    QVERIFY(label.font().family().contains("FontAwesome", Qt::CaseInsensitive));
    QVERIFY(QFontMetrics(label.font()).inFontUcs4(0xF013));
    if (ScaledSize(10) == 10) {
        QCOMPARE(label.font().pointSize(), 13);
        QCOMPARE(button.font().pointSize(), 12);
    } else {
        QCOMPARE(label.font().pixelSize(), ScaledSize(13));
    }
}

void tst_IconHelper::oneInstance()
{
    QCOMPARE(IconHelper::Instance(), IconHelper::Instance());
}

QTEST_MAIN(tst_IconHelper)
#include "tst_IconHelper.moc"
