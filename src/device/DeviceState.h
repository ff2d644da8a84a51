#pragma once
// Process-wide facts about the connected device, shared between the GUI thread
// and the worker threads that flash firmware or sign in.

#include <QString>

// The process-wide copy of the device serial number (the first 13 bytes of
// "/sn.txt"), for code outside the main window. Safe from any thread.
QString CurrentSerialNumber();
void SetCurrentSerialNumber(const QString &sSN);
