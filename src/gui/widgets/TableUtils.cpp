#include "widgets/TableUtils.h"

#include <QFontMetrics>
#include <QTableWidget>
#include <QVector>
#include <algorithm>

void FitColumnsToContents(QTableWidget *pTable)
{
    const int nColumns = pTable->columnCount();
    if (nColumns <= 0)
        return;
    const QFontMetrics metrics(pTable->font());
    QVector<int> widths(nColumns, 0);
    int nSum = 0;
    for (int nCol = 0; nCol < nColumns; ++nCol) {
        int nWidth = 0;
        if (QTableWidgetItem *pHeader = pTable->horizontalHeaderItem(nCol))
            nWidth = metrics.horizontalAdvance(pHeader->text()) + 20;
        for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
            if (QTableWidgetItem *pItem = pTable->item(nRow, nCol))
                nWidth = std::max(nWidth, metrics.horizontalAdvance(pItem->text()) + 20);
        }
        widths[nCol] = nWidth;
        nSum += nWidth;
    }
    // Never shrink below the contents when the table is only just wide enough.
    if (nSum < pTable->width()) {
        const int nExtra = std::max(0, (pTable->width() - nSum - 20) / nColumns);
        for (int &nWidth : widths)
            nWidth += nExtra;
    }
    for (int nCol = 0; nCol < nColumns; ++nCol)
        pTable->setColumnWidth(nCol, widths[nCol]);
}
