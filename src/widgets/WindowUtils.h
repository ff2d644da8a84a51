#pragma once
#include <QString>

// True when a native top-level window exists for a widget whose object name
// is sName (Qt names such windows "<objectName>Window"); case-insensitive.
bool IsWindowOpen(const QString &sName);
