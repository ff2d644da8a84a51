#pragma once
// Whether this user may open the device's serial port, and what to do when not.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// True when the serial device sPath (UTF-8) exists but the system refuses this user read and
// write access to it. A missing port, or one another program holds, is no permission problem.
// Windows has no per-user rights on serial ports: always false there.
bool SerialPortAccessDenied(const std::string &sPath);

// Words in the interface language (UTF-8) telling the user how to get access to the port
// sPath: the command that installs the program's udev rule from sAppDir's "driver" folder,
// and the group to join. Empty where the system has no such remedy.
std::string SerialPortAccessHint(const std::string &sPath, const std::string &sAppDir);
