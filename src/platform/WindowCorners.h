#pragma once
// Rounded window corners drawn by the desktop window manager where it offers
// them (Windows 11); nothing elsewhere.

class QWidget;

void SetRoundCorners(QWidget *pWindow);

// Qt-free part, given the native window handle.
void SetNativeRoundCorners(void *pHandle);
