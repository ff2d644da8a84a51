#pragma once
class QTableWidget;

// Widens every column to its widest text (header included) plus 20 pixels and
// shares what is left of the table's width equally among the columns.
void FitColumnsToContents(QTableWidget *pTable);
