#include "device/DriverInstall.h"

#include "platform/UsbSerialDriver.h"

#include <QCoreApplication>
#include <QDebug>

void InstallUsbDriver()
{
    const QString sAppDir = QCoreApplication::applicationDirPath();
    SetUpUsbSerialDriver(sAppDir.toStdString(), [](const std::string &sLine) {
        qDebug().noquote() << QString::fromStdString(sLine);
    });
}
