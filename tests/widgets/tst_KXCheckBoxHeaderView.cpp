#include "RecordingStyle.h"
#include "widgets/KXCheckBoxHeaderView.h"

#include <QTableWidget>
#include <QtTest>

class tst_KXCheckBoxHeaderView : public QObject
{
    Q_OBJECT
private slots:
    void clickOnFirstSectionToggles();
    void clickOnOtherSectionDoesNothing();
    void checkBoxPaintedInFirstSection();
};

namespace
{
QPoint SectionPoint(QHeaderView *pHeader, int nSection)
{
    return QPoint(pHeader->sectionViewportPosition(nSection) + 10, pHeader->height() / 2);
}
} // namespace

void tst_KXCheckBoxHeaderView::clickOnFirstSectionToggles()
{
    QTableWidget table(2, 3);
    auto *pHeader = new KXCheckBoxHeaderView(&table);
    table.setHorizontalHeader(pHeader);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QVERIFY(!pHeader->IsChecked());
    QSignalSpy spy(pHeader, &KXCheckBoxHeaderView::checkStausChange);
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, SectionPoint(pHeader, 0));
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, SectionPoint(pHeader, 0));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).first().toBool(), true);
    QCOMPARE(spy.at(1).first().toBool(), false);
    QVERIFY(!pHeader->IsChecked());
}

void tst_KXCheckBoxHeaderView::clickOnOtherSectionDoesNothing()
{
    QTableWidget table(2, 3);
    auto *pHeader = new KXCheckBoxHeaderView(&table);
    table.setHorizontalHeader(pHeader);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QSignalSpy spy(pHeader, &KXCheckBoxHeaderView::checkStausChange);
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, SectionPoint(pHeader, 1));
    QCOMPARE(spy.size(), 0);
    QVERIFY(!pHeader->IsChecked());
    // Setting it from code (rows changed) does not report back.
    pHeader->SetChecked(true);
    QCOMPARE(spy.size(), 0);
    QVERIFY(pHeader->IsChecked());
}

void tst_KXCheckBoxHeaderView::checkBoxPaintedInFirstSection()
{
    QTableWidget table(2, 3);
    RecordingStyle style;
    auto *pHeader = new KXCheckBoxHeaderView(&table);
    table.setHorizontalHeader(pHeader);
    pHeader->setStyle(&style);
    table.resize(400, 200);
    style.Clear();
    table.grab();
    QCOMPARE(style.checkBoxes.size(), 1);
    QVERIFY(style.checkBoxes.first().state & QStyle::State_Off);
    const int nLeft = pHeader->sectionViewportPosition(0);
    QCOMPARE(style.checkBoxes.first().rect, QRect(nLeft + 3, 5, 21, 21));

    pHeader->SetChecked(true);
    style.Clear();
    table.grab();
    QCOMPARE(style.checkBoxes.size(), 1);
    QVERIFY(style.checkBoxes.first().state & QStyle::State_On);
}

QTEST_MAIN(tst_KXCheckBoxHeaderView)
#include "tst_KXCheckBoxHeaderView.moc"
