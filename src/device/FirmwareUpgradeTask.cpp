#include "device/FirmwareUpgradeTask.h"

#include "base/FileUtils.h"
#include "device/DeviceState.h"
#include "device/device.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

namespace
{

// The device's own reports become the task's: progress, its failure texts and
// its Finish (which closes the window), all emitted on the task's thread.
void ForwardDevice(device &dev, FirmwareUpgradeTask *pTask)
{
    QObject::connect(&dev, &device::sendprogress, pTask, &FirmwareUpgradeTask::Progress,
                     Qt::DirectConnection);
    QObject::connect(&dev, &device::feedback, pTask, &FirmwareUpgradeTask::Failure,
                     Qt::DirectConnection);
    QObject::connect(&dev, &device::Finish, pTask, &FirmwareUpgradeTask::Finish,
                     Qt::DirectConnection);
}

} // namespace

quint16 UpgradeProductId(const QString &sSN)
{
    return sSN.startsWith(QLatin1Char('D'), Qt::CaseInsensitive) ? device::UpgradeProductIdD
                                                                 : device::ProductId;
}

bool SameFirmwareDigest(const QString &sDeviceMd5, const QString &sFileMd5)
{
    return sDeviceMd5.compare(sFileMd5, Qt::CaseInsensitive) == 0;
}

FirmwareUpgradeTask::FirmwareUpgradeTask(QString sImagePath, QString sSN, QObject *parent)
    : QObject(parent), sImagePath(std::move(sImagePath)), sSN(std::move(sSN))
{
    qRegisterMetaType<FirmwareUpgradeTask::Outcome>();
}

QFuture<void> FirmwareUpgradeTask::Start(FirmwareUpgradeTask *pTask)
{
    return QtConcurrent::run([pTask] {
        pTask->Run();
        // Its queued reports need the receivers only, not the task.
        pTask->deleteLater();
    });
}

void FirmwareUpgradeTask::Run()
{
    QString sDetail;
    const Outcome outcome = Install(&sDetail);
    emit Ended(outcome, sDetail);
}

FirmwareUpgradeTask::Outcome FirmwareUpgradeTask::Install(QString *pDetail)
{
    if (sSN.isEmpty())
        sSN = CurrentSerialNumber();
    QElapsedTimer timer;
    timer.start();

    device dev;
    ForwardDevice(dev, this);
    dev.Init(true);
    const quint16 nProduct = UpgradeProductId(sSN);
    if (!dev.OpenPort(device::VendorId, nProduct)) {
        qDebug() << "firmware: no device port";
        emit Finish();
        // A port this user may not open would otherwise look like no device at all.
        *pDetail = device::DeniedPortPath(device::VendorId, nProduct);
        return pDetail->isEmpty() ? Outcome::NoPort : Outcome::PortDenied;
    }
    // The device emits on this thread: the flag is set before the calls return.
    QString sDeviceSaid;
    const QMetaObject::Connection watch = QObject::connect(
        &dev, &device::feedback, &dev, [&sDeviceSaid](const QString &sMsg) { sDeviceSaid = sMsg; },
        Qt::DirectConnection);

    emit Hint(QCoreApplication::translate("MainWindow", "正在升级GD32..."), false);
    if (!dev.SendRaw(QByteArray::fromHex(device::EnterUpgradeFrame))) {
        qDebug() << "firmware: device did not enter upgrade mode";
        emit Finish();
        return Outcome::NoAnswer;
    }
    QThread::msleep(50);

    const QString &sFile = sImagePath;
    // Only a regular file is an image: a FIFO would hold the task and its port, a device
    // is no firmware.
    if (!QFileInfo(sFile).isFile()) {
        qDebug() << "firmware: no image at" << sFile << "firmware: upgrade ended";
        // Leaving the scope closes the port; its Finish closes the window.
        return Outcome::NoImage;
    }
    const QString sFileMd5 = FileMd5(sFile);
    emit Hint(QCoreApplication::translate("MainWindow", "正在升级固件，请稍候..."), true);
    QString sDeviceMd5;
    if (!dev.ReadFirmwareHash(sDeviceMd5)) {
        qDebug() << "firmware: digest not read";
        emit Finish();
        *pDetail = sDeviceSaid;
        return sDeviceSaid.isEmpty() ? Outcome::NoAnswer : Outcome::Refused;
    }
    if (SameFirmwareDigest(sDeviceMd5, sFileMd5)) {
        qDebug() << "firmware: nothing to flash" << sDeviceMd5;
        emit Finish();
        return Outcome::AlreadyCurrent;
    }
    const quint32 nSize = quint32(QFileInfo(sFile).size() & 0xFFFFFFFFu);
    dev.ResetTiming();
    const bool bDone = dev.BeginUpgrade(nSize) && dev.SendFile(sFile) && dev.FinishUpgrade();
    const device::Timing timing = dev.LastTiming();
    qDebug().noquote() << QStringLiteral(
                              "firmware: %1 bytes, %2 exchanges, %3 ms in all, %4 ms waiting "
                              "for replies, %5 ms waiting for silence")
                              .arg(nSize)
                              .arg(timing.nExchanges)
                              .arg(timer.elapsed())
                              .arg(timing.nReplyWaitNs / 1000000.0, 0, 'f', 1)
                              .arg(timing.nSilenceWaitNs / 1000000.0, 0, 'f', 1);
    if (!bDone) {
        qDebug() << "firmware: upgrade ended";
        if (!sDeviceSaid.isEmpty()) {
            *pDetail = sDeviceSaid;
            return Outcome::Refused;
        }
        // A flash broken off by a device that went silent or was pulled out would
        // otherwise just close the window, as a finished one does.
        emit BrokenOff(QCoreApplication::translate(
            "MainWindow", "固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。"));
        return Outcome::BrokenOff;
    }
    QObject::disconnect(watch);
    emit Success();
    qDebug() << "成功";
    // What the device runs now, when it still answers on this port (it may restart).
    *pDetail = device::TrimFirmwareVersion(dev.QueryVersion());
    // Leaving the scope closes the port; its Finish closes the window on every path here.
    return Outcome::Written;
}
