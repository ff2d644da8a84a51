#pragma once
#include <QFont>

// The application font: "Microsoft YaHei UI" 9 pt, or ScaledSize(10) pixels
// on a scaled screen. Where that family is missing, Chinese-capable families
// stand in for it.
QFont AppFont();

// The same for a given logical dpi.
QFont AppFontForDpi(qreal dDpi);
