#pragma once
// The worker side of a firmware installation: switches the device into its upgrade mode,
// compares the firmware digests and, when they differ, flashes "Home/MAIN.bin" of the device
// disk block by block.

#include <QPointer>
#include <QString>
#include <QtGlobal>

class QWidget;

class MainInstall;

// 0x009F for serial numbers beginning with "D" or "d", 0x009E otherwise.
quint16 UpgradeProductId(const QString &sSN);
// "%1/Home/MAIN.bin" on the device disk sDisk ("E:" or a mount folder).
QString FirmwareImagePath(const QString &sDisk);

// The device already runs the file's image: digests equal without regard to letter case.
bool SameFirmwareDigest(const QString &sDeviceMd5, const QString &sFileMd5);

// Runs on a worker thread. The window is only touched on the GUI thread and only while it
// still exists; every path ends with a request to close it. A flash that breaks off without
// a message from the device is reported over pMessageParent (the window is gone by then).
// An empty sSN falls back to the process-wide serial number.
void FirmwareUpgradeTask(QPointer<MainInstall> pWindow, QPointer<QWidget> pMessageParent,
                         QString sDisk, QString sSN);
