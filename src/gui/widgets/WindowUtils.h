#pragma once
#include <QString>

class QWidget;

// True when a native top-level window exists for a widget whose object name
// is sName (Qt names such windows "<objectName>Window"); case-insensitive.
bool IsWindowOpen(const QString &sName);

// Asks the desktop for rounded corners of the top-level window pWindow, where
// it draws them (SetNativeRoundCorners).
void SetRoundCorners(QWidget *pWindow);
