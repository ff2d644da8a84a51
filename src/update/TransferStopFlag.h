#pragma once
// Raised while a device is being removed (and when the main window goes away):
// running package transfers abort at their next progress check, and the
// installed-package scan stops at its next folder. Safe from any thread.

#include <QtGlobal>
#include <atomic>

extern std::atomic<quint8> TransferStopFlag;
