#pragma once
// Makes the device's USB serial port usable on this system. Runs once at start-up on a worker
// thread; nothing waits for it and nothing depends on its outcome.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <functional>
#include <string>

using DriverLogFn = std::function<void(const std::string &sLine)>;

// sAppDir is the program's folder (UTF-8), which holds the "driver" folder; the start-up
// sequence has also made it the current directory. Diagnostic lines go to log.
//
// Windows: registers "./driver/fsl_ucwxp.inf" with the system's driver store (pnputil, or the
// bundled devcon on XP), first copying the system's own serial driver files from the
// "driver" folder on systems older than Windows 10.
// Linux: the kernel's CDC driver serves the port; only a udev rule decides whether the user
// may open it and whether ModemManager leaves it alone. Logs how to install the shipped rule
// when none covers the device.
void SetUpUsbSerialDriver(const std::string &sAppDir, const DriverLogFn &log);
