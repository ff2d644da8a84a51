#pragma once
// udev rules that decide who may open the device's serial port on Linux.

#include <string>
#include <vector>

// The folders udev reads installed rules from.
std::vector<std::string> UdevRuleFolders();

// True when a "*.rules" file in one of the folders has an active line matching the USB
// vendor (four hexadecimal digits, any case) through idVendor or ID_VENDOR_ID.
bool UdevRuleCoversVendor(const std::vector<std::string> &folders, const std::string &sVendor);

// The shell command that installs the shipped rule from sAppDir/driver and applies it to the
// ports already present.
std::string UdevInstallCommand(const std::string &sAppDir);

// The debug line telling how to install the shipped rule from sAppDir/driver.
std::string UdevInstallHint(const std::string &sAppDir);
