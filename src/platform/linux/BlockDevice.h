#pragma once
// Linux: what sysfs and the udev database say about a block device.

#include <QString>

// True when the disk behind sDevice ("/dev/sdb1") is removable (its sysfs
// "removable" attribute is 1) or sits on USB (udev property ID_BUS=usb). A
// partition is judged by its disk. The roots are parameters so that other trees
// can stand in for /sys and /run/udev/data.
bool IsRemovableBlockDevice(const QString &sDevice,
                            const QString &sSysRoot = QStringLiteral("/sys"),
                            const QString &sUdevDataRoot = QStringLiteral("/run/udev/data"));
