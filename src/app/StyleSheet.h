#pragma once
#include <QString>

// The compiled-in application style sheet (":/other/style.css"), empty when
// the resource cannot be read.
QString AppStyleSheet();
