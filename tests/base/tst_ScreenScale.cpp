#include "app/AppFont.h"
#include "base/ScreenScale.h"

#include <QFontDatabase>
#include <QtTest>

class tst_ScreenScale : public QObject
{
    Q_OBJECT
private slots:
    void scaledSizeForDpi_data();
    void scaledSizeForDpi();
    void appFont_data();
    void appFont();
    void appFontFallsBackToChineseFamily();
};

void tst_ScreenScale::scaledSizeForDpi_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("expected");
    QTest::newRow("72 dpi never shrinks") << 10 << 72.0 << 10;
    QTest::newRow("96 dpi") << 10 << 96.0 << 10;
    QTest::newRow("just under 110%") << 10 << 105.5 << 10;
    QTest::newRow("over 110% is 125%") << 12 << 106.0 << 15;
    QTest::newRow("120 dpi, 12 -> 15") << 12 << 120.0 << 15;
    QTest::newRow("120 dpi truncates 12.5") << 10 << 120.0 << 12;
    QTest::newRow("just under 140%") << 10 << 134.3 << 12;
    QTest::newRow("144 dpi, 10 -> 15") << 10 << 144.0 << 15;
    QTest::newRow("over 160%") << 10 << 154.0 << 17;
    QTest::newRow("168 dpi truncates 17.5") << 10 << 168.0 << 17;
    QTest::newRow("over 180%") << 10 << 173.0 << 20;
    QTest::newRow("192 dpi") << 10 << 192.0 << 20;
    QTest::newRow("288 dpi stays at 2x") << 10 << 288.0 << 20;
}

void tst_ScreenScale::scaledSizeForDpi()
{
    QFETCH(int, n);
    QFETCH(qreal, dpi);
    QFETCH(int, expected);
    QCOMPARE(ScaledSizeForDpi(n, dpi), expected);
}

void tst_ScreenScale::appFont_data()
{
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("96 dpi keeps 9 points") << 96.0 << 9 << -1;
    QTest::newRow("144 dpi gives 15 pixels") << 144.0 << -1 << 15;
    QTest::newRow("120 dpi gives 12 pixels") << 120.0 << -1 << 12;
}

void tst_ScreenScale::appFont()
{
    QFETCH(qreal, dpi);
    QFETCH(int, pointSize);
    QFETCH(int, pixelSize);
    const QFont font = AppFontForDpi(dpi);
    QCOMPARE(font.family(), QStringLiteral("Microsoft YaHei UI"));
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.pixelSize(), pixelSize);
}

void tst_ScreenScale::appFontFallsBackToChineseFamily()
{
    const QStringList families = QFontDatabase().families();
    if (families.contains("Microsoft YaHei UI"))
        QSKIP("the Windows family is installed here");
    if (!families.contains("WenQuanYi Micro Hei"))
        QSKIP("fonts-wqy-microhei is not installed");
    // Without the Windows family the Chinese-capable stand-in is used, not
    // whatever sans serif the system would choose.
    QCOMPARE(QFontInfo(AppFontForDpi(96.0)).family(), QStringLiteral("WenQuanYi Micro Hei"));
}

QTEST_MAIN(tst_ScreenScale)
#include "tst_ScreenScale.moc"
