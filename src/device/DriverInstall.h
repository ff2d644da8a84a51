#pragma once
// Start-up step: make the device's USB serial port usable (driver registration on Windows,
// a udev rule check on Linux). Run it on a worker thread; it never reports to the user.
void InstallUsbDriver();
