#include "device/FirmwareUpgradeTask.h"

#include "base/FileUtils.h"
#include "device/DeviceState.h"
#include "device/MainInstall.h"
#include "device/device.h"
#include "widgets/MessageBox.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace
{

// Runs fn(window) on the GUI thread if the window has not been deleted by then.
template <class Fn> void PostToWindow(const QPointer<MainInstall> &pWindow, Fn fn)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [pWindow, fn] {
            if (pWindow)
                fn(pWindow.data());
        },
        Qt::QueuedConnection);
}

void CloseWindow(const QPointer<MainInstall> &pWindow)
{
    PostToWindow(pWindow, [](MainInstall *p) { p->close(); });
}

void ShowHint(const QPointer<MainInstall> &pWindow, const QString &sMsg, bool bProgress)
{
    PostToWindow(pWindow, [sMsg, bProgress](MainInstall *p) { p->showHint(sMsg, bProgress); });
}

// Shows sMsg in the application message box over pParent, on the GUI thread.
void ShowFailure(const QPointer<QWidget> &pParent, const QString &sMsg)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [pParent, sMsg] {
            if (pParent) // no main window any more: the program is closing
                ShowMessage(pParent.data(), QCoreApplication::translate("MainInstall", "提示"),
                            sMsg);
        },
        Qt::QueuedConnection);
}

void ConnectToWindow(device &dev, const QPointer<MainInstall> &pWindow)
{
    QObject *pGui = QCoreApplication::instance();
    QObject::connect(
        &dev, &device::sendprogress, pGui,
        [pWindow](int nCurrent, int nMax) {
            if (pWindow)
                pWindow->setprogress(nCurrent, nMax);
        },
        Qt::QueuedConnection);
    QObject::connect(
        &dev, &device::Finish, pGui,
        [pWindow] {
            if (pWindow)
                pWindow->close();
        },
        Qt::QueuedConnection);
    QObject::connect(
        &dev, &device::feedback, pGui,
        [pWindow](const QString &sCode) {
            if (pWindow)
                pWindow->showMessage(sCode);
        },
        Qt::QueuedConnection);
}

} // namespace

quint16 UpgradeProductId(const QString &sSN)
{
    return sSN.startsWith(QLatin1Char('D'), Qt::CaseInsensitive) ? device::UpgradeProductIdD
                                                                 : device::ProductId;
}

QString FirmwareImagePath(const QString &sDisk)
{
    return QStringLiteral("%1/Home/MAIN.bin").arg(sDisk);
}

bool SameFirmwareDigest(const QString &sDeviceMd5, const QString &sFileMd5)
{
    return sDeviceMd5.compare(sFileMd5, Qt::CaseInsensitive) == 0;
}

void FirmwareUpgradeTask(QPointer<MainInstall> pWindow, QPointer<QWidget> pMessageParent,
                         QString sDisk, QString sSN)
{
    if (sSN.isEmpty())
        sSN = CurrentSerialNumber();
    QElapsedTimer timer;
    timer.start();

    device dev;
    ConnectToWindow(dev, pWindow);
    dev.Init(true);
    if (!dev.OpenPort(device::VendorId, UpgradeProductId(sSN))) {
        qDebug() << "firmware: no device port";
        CloseWindow(pWindow);
        return;
    }

    ShowHint(pWindow, QCoreApplication::translate("MainWindow", "正在升级GD32..."), false);
    if (!dev.SendRaw(QByteArray::fromHex(device::EnterUpgradeFrame))) {
        qDebug() << "firmware: device did not enter upgrade mode";
        CloseWindow(pWindow);
        return;
    }
    QThread::msleep(50);

    const QString sFile = FirmwareImagePath(sDisk);
    bool bDone = false;
    if (QFileInfo::exists(sFile)) {
        const QString sFileMd5 = FileMd5(sFile);
        ShowHint(pWindow, QCoreApplication::translate("MainWindow", "正在升级固件，请稍候..."),
                 true);
        QString sDeviceMd5;
        if (!dev.ReadFirmwareHash(sDeviceMd5) || SameFirmwareDigest(sDeviceMd5, sFileMd5)) {
            qDebug() << "firmware: nothing to flash" << sDeviceMd5;
            CloseWindow(pWindow);
            return;
        }
        const quint32 nSize = quint32(QFileInfo(sFile).size() & 0xFFFFFFFFu);
        // The device emits on this thread: the flag is set before the calls return.
        bool bDeviceSaidWhy = false;
        const QMetaObject::Connection watch = QObject::connect(
            &dev, &device::feedback, &dev, [&bDeviceSaidWhy] { bDeviceSaidWhy = true; },
            Qt::DirectConnection);
        dev.ResetTiming();
        bDone = dev.BeginUpgrade(nSize) && dev.SendFile(sFile) && dev.FinishUpgrade();
        QObject::disconnect(watch);
        // A flash broken off by a device that went silent or was pulled out would
        // otherwise just close the window, as a finished one does.
        if (!bDone && !bDeviceSaidWhy)
            ShowFailure(pMessageParent,
                        QCoreApplication::translate(
                            "MainWindow",
                            "固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。"));
        const device::Timing timing = dev.LastTiming();
        qDebug().noquote() << QStringLiteral(
                                  "firmware: %1 bytes, %2 exchanges, %3 ms in all, %4 ms waiting "
                                  "for replies, %5 ms waiting for silence")
                                  .arg(nSize)
                                  .arg(timing.nExchanges)
                                  .arg(timer.elapsed())
                                  .arg(timing.nReplyWaitNs / 1000000.0, 0, 'f', 1)
                                  .arg(timing.nSilenceWaitNs / 1000000.0, 0, 'f', 1);
    } else {
        qDebug() << "firmware: no image at" << sFile;
    }
    qDebug() << (bDone ? "成功" : "firmware: upgrade ended");
    // Leaving the scope closes the port; its Finish closes the window on every path here.
}
