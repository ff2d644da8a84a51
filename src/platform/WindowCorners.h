#pragma once
// Rounded window corners drawn by the desktop window manager where it offers
// them (Windows 11); nothing elsewhere.

// Given the native window handle (a widget's winId()).
void SetNativeRoundCorners(void *pHandle);
