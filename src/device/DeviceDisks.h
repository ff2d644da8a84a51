#pragma once
// Finding the device disks: mounted removable volumes whose root holds the
// device's "/sn.txt". A disk is named by its root as the main window keeps it in
// sCurDisk: "E:" on Windows, the mount path ("/media/user/KX") elsewhere.

#include <QString>
#include <QStringList>

// Byte counts as "0 Bytes", "1023 Bytes", "1.50 KB" ... up to " YB".
QString FormatSize(quint64 nBytes);

// The device disks now present, in the order the system lists its volumes,
// followed by the folders of UPDATEASSIST_DISKS that look like device disks.
QStringList ListDeviceDisks();

// Folders that count as removable device volumes: UPDATEASSIST_DISKS
// (separated by QDir::listSeparator(): ":", ";" on Windows), read once; SetDeviceDiskFolders
// replaces them (tests).
QStringList DeviceDiskFolders();
void SetDeviceDiskFolders(const QStringList &slFolders);

// Whether two disk names denote the same disk: drive letters ignore case, mount
// paths (case-sensitive file systems) do not.
bool IsSameDisk(const QString &sDisk, const QString &sOther);

// Whether sDisk + "/sn.txt" is a regular file (links followed) of 1 to 1023 bytes.
bool HasSerialNumberFile(const QString &sDisk);

// The serial number in sDisk + "/sn.txt": the first 13 bytes as UTF-8 text, after a
// byte-order mark and blanks and up to a line break, without blanks at its end; *pOk tells
// whether the file could be opened (the text is empty when not). Only a regular file is read.
QString ReadSerialNumber(const QString &sDisk, bool *pOk = nullptr);

// What the status text shows for the disk: its drive letter on Windows, else the
// volume label, or the last component of the path when the volume has none.
QString DiskDisplayName(const QString &sDisk);

// Free bytes on the volume that holds sDisk.
quint64 DiskAvailableBytes(const QString &sDisk);

// The HTML tool tip of a disk button: label, file system, total and free space.
QString DiskTipHtml(const QString &sDisk);
