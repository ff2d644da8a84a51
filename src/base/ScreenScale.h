#pragma once
#include <QtGlobal>

// Scale factor for a logical dpi: 1.0, 1.25, 1.5, 1.75 or 2.0 in steps of the
// ratio to 96 dpi.
double ScaleFactorForDpi(qreal dDpi);

// n scaled for that dpi, truncated.
int ScaledSizeForDpi(int n, qreal dDpi);

// Scales a pixel size by the first screen's logical dpi (factor 1.0 without a
// screen), truncating: 10 at 150 % gives 15.
int ScaledSize(int n);
