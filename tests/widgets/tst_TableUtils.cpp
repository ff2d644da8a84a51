#include "widgets/TableUtils.h"

#include <QTableWidget>
#include <QtTest>

class tst_TableUtils : public QObject
{
    Q_OBJECT
private slots:
    void fitColumns_data();
    void fitColumns();
    void noColumnsIsHarmless();
};

namespace
{
QTableWidget *MakeTable(int nWidth)
{
    auto *pTable = new QTableWidget(2, 3);
    pTable->setHorizontalHeaderLabels({"Name", "Version", "Size"});
    pTable->setItem(0, 0, new QTableWidgetItem("a rather long package name"));
    pTable->setItem(1, 1, new QTableWidgetItem("1.2.3"));
    // Column 2 has a header and an empty row only.
    pTable->resize(nWidth, 200);
    return pTable;
}

QList<int> ContentWidths(QTableWidget *pTable)
{
    const QFontMetrics metrics(pTable->font());
    const QList<int> widths = {metrics.horizontalAdvance("a rather long package name") + 20,
                               metrics.horizontalAdvance("Version") + 20,
                               metrics.horizontalAdvance("Size") + 20};
    return widths;
}
} // namespace

void tst_TableUtils::fitColumns_data()
{
    QTest::addColumn<int>("tableWidth");
    QTest::addColumn<bool>("shared"); // whether the spare width is shared out
    QTest::newRow("wide table") << 900 << true;
    QTest::newRow("narrow table") << 120 << false;
}

void tst_TableUtils::fitColumns()
{
    QFETCH(int, tableWidth);
    QFETCH(bool, shared);
    std::unique_ptr<QTableWidget> pTable(MakeTable(tableWidth));
    const QList<int> content = ContentWidths(pTable.get());
    FitColumnsToContents(pTable.get());
    const int nSum = content[0] + content[1] + content[2];
    const int nExtra = shared ? (tableWidth - nSum - 20) / 3 : 0;
    for (int nCol = 0; nCol < 3; ++nCol)
        QCOMPARE(pTable->columnWidth(nCol), content[nCol] + nExtra);
}

void tst_TableUtils::noColumnsIsHarmless()
{
    QTableWidget table(3, 0);
    FitColumnsToContents(&table);
    QCOMPARE(table.columnCount(), 0);
}

QTEST_MAIN(tst_TableUtils)
#include "tst_TableUtils.moc"
