#include "RecordingStyle.h"
#include "widgets/KXButtonDelegate.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

namespace
{
const int kColumn = 1;

struct Table {
    Table()
    {
        model.setRowCount(3);
        model.setColumnCount(2);
        for (int nRow = 0; nRow < 3; ++nRow)
            model.setItem(nRow, kColumn, new QStandardItem);
        view.setStyle(&style);
        view.setModel(&model);
        view.setItemDelegateForColumn(kColumn, &delegate);
        view.setColumnWidth(kColumn, 120);
        view.verticalHeader()->setDefaultSectionSize(28);
        view.resize(400, 200);
        view.show();
    }
    QRect ButtonRect(int nRow) const
    {
        return KXButtonDelegate::ButtonRect(view.visualRect(model.index(nRow, kColumn)));
    }
    QStandardItemModel model;
    QTableView view;
    RecordingStyle style;
    KXButtonDelegate delegate;
};
} // namespace

class tst_KXButtonDelegate : public QObject
{
    Q_OBJECT
private slots:
    void click_data();
    void click();
    void paintsButtonOrText_data();
    void paintsButtonOrText();
    void pressedButtonDrawnSunken();
    void stateTextKeepsItsColourWhenSelected();
};

void tst_KXButtonDelegate::click_data()
{
    QTest::addColumn<QString>("stateText"); // role 256
    QTest::addColumn<QString>("display");
    QTest::addColumn<QPoint>("offset"); // from the button's top left
    QTest::addColumn<bool>("emitted");
    QTest::newRow("inside the button") << ""
                                       << "" << QPoint(5, 5) << true;
    QTest::newRow("left of the button") << ""
                                        << "" << QPoint(-8, 5) << false;
    QTest::newRow("below the button") << ""
                                      << "" << QPoint(5, 21) << false;
    QTest::newRow("state text: no button") << "等待下载"
                                           << "" << QPoint(5, 5) << false;
    QTest::newRow("display text: inactive") << ""
                                            << "50%" << QPoint(5, 5) << false;
}

void tst_KXButtonDelegate::click()
{
    QFETCH(QString, stateText);
    QFETCH(QString, display);
    QFETCH(QPoint, offset);
    QFETCH(bool, emitted);
    Table table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    QStandardItem *pItem = table.model.item(1, kColumn);
    if (!stateText.isEmpty())
        pItem->setData(stateText, Qt::UserRole);
    if (!display.isEmpty())
        pItem->setText(display);
    QSignalSpy spy(&table.delegate, &KXButtonDelegate::OnButtonClick);
    QTest::mouseClick(table.view.viewport(), Qt::LeftButton, {},
                      table.ButtonRect(1).topLeft() + offset);
    QCOMPARE(spy.size(), emitted ? 1 : 0);
    if (emitted)
        QCOMPARE(spy.first().first().toInt(), 1);
}

void tst_KXButtonDelegate::paintsButtonOrText_data()
{
    QTest::addColumn<QString>("stateText");
    QTest::addColumn<QString>("caption"); // role 356
    QTest::addColumn<bool>("button");
    QTest::addColumn<QString>("buttonText");
    QTest::newRow("default caption") << ""
                                     << "" << true << "下载";
    QTest::newRow("own caption") << ""
                                 << "安装" << true << "安装";
    QTest::newRow("state text instead of a button") << "下载完成"
                                                    << "" << false << "";
}

void tst_KXButtonDelegate::paintsButtonOrText()
{
    QFETCH(QString, stateText);
    QFETCH(QString, caption);
    QFETCH(bool, button);
    QFETCH(QString, buttonText);
    Table table;
    table.model.setRowCount(1);
    QStandardItem *pItem = table.model.item(0, kColumn);
    if (!stateText.isEmpty()) {
        pItem->setData(stateText, Qt::UserRole);
        pItem->setForeground(QColor(Qt::red));
    }
    if (!caption.isEmpty())
        pItem->setData(caption, Qt::UserRole + 100);
    table.style.Clear();
    table.view.grab();
    QCOMPARE(table.style.pushButtons.size(), button ? 1 : 0);
    if (button) {
        QCOMPARE(table.style.pushButtons.first().text, buttonText);
        QCOMPARE(table.style.pushButtons.first().rect, table.ButtonRect(0));
    }
}

void tst_KXButtonDelegate::pressedButtonDrawnSunken()
{
    Table table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    const QPoint pt = table.ButtonRect(0).center();
    QTest::mousePress(table.view.viewport(), Qt::LeftButton, {}, pt);
    table.style.Clear();
    table.view.grab();
    QList<QStyleOptionButton> sunken;
    for (const QStyleOptionButton &option : qAsConst(table.style.pushButtons)) {
        if (option.state & QStyle::State_Sunken)
            sunken.append(option);
    }
    // Only the button under the mouse.
    QCOMPARE(sunken.size(), 1);
    QCOMPARE(sunken.first().rect, table.ButtonRect(0));
    QTest::mouseRelease(table.view.viewport(), Qt::LeftButton, {}, pt);
}

void tst_KXButtonDelegate::stateTextKeepsItsColourWhenSelected()
{
    Table table;
    table.model.setRowCount(1);
    QStandardItem *pItem = table.model.item(0, kColumn);
    pItem->setData(QStringLiteral("下载失败"), Qt::UserRole);
    pItem->setForeground(QColor(255, 0, 0));
    table.view.selectRow(0);
    const QRect cell = table.view.visualRect(table.model.index(0, kColumn));
    const QImage image = table.view.viewport()->grab().toImage();
    int nRed = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80)
                ++nRed;
        }
    }
    // The text is drawn in the cell's own colour, not the selection's.
    QVERIFY(nRed > 10);
}

QTEST_MAIN(tst_KXButtonDelegate)
#include "tst_KXButtonDelegate.moc"
