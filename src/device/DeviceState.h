#pragma once
// Process-wide facts about the connected device, shared between the GUI thread
// and the worker threads that transfer packages or flash firmware.

#include <QString>
#include <atomic>

// Raised while a device is being removed (and when the main window goes away):
// running transfers abort at their next progress check.
extern std::atomic<quint8> TransferStopFlag;

// The process-wide copy of the device serial number (the first 13 bytes of
// "/sn.txt"), for code outside the main window. Safe from any thread.
QString CurrentSerialNumber();
void SetCurrentSerialNumber(const QString &sSN);
