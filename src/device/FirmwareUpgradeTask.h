#pragma once
// A firmware installation: switches the device into its upgrade mode, compares
// the firmware digests and, when they differ, flashes the image file (the
// device disk's "Home/MAIN.bin") block by block. It knows no window: it reports by signals,
// emitted on the thread that runs it, and whoever shows the installation
// (the MainInstall window) listens with queued connections.

#include <QFuture>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QtGlobal>

// 0x009F for serial numbers beginning with "D" or "d", 0x009E otherwise.
quint16 UpgradeProductId(const QString &sSN);

// The device already runs the file's image: digests equal without regard to letter case.
bool SameFirmwareDigest(const QString &sDeviceMd5, const QString &sFileMd5);

class FirmwareUpgradeTask : public QObject
{
    Q_OBJECT
public:
    // How the installation ended, as far as the firmware in the device goes.
    enum class Outcome {
        Written,        // the new image is in the device (detail: the version it reports now)
        AlreadyCurrent, // the device already runs the file's image
        NoPort,         // no serial port of the device (not connected, or taken by another program)
        PortDenied,     // the port is there but this user may not open it (detail: its path)
        NoAnswer,       // the device did not answer before anything was written
        NoImage,        // no image file on the device disk
        Refused,        // the device refused a command (detail: its reason)
        BrokenOff       // the device went silent or away while the image was being written
    };
    Q_ENUM(Outcome)

    // sImagePath: the image on the device disk (FirmwareImagePath); an empty
    // sSN falls back to the process-wide serial number.
    FirmwareUpgradeTask(QString sImagePath, QString sSN, QObject *parent = nullptr);

    // The whole installation, blocking; on a worker thread. Every path ends
    // with Finish, once or more (a second one finds the window gone).
    void Run();

    // Runs Run() on Qt's global thread pool and deletes the task on its own
    // thread afterwards; returns at once. The future ends when Run has returned.
    static QFuture<void> Start(FirmwareUpgradeTask *pTask);

signals:
    // The text to show, and whether the progress bar belongs to it.
    void Hint(QString sMsg, bool bShowProgressBar);
    // Blocks sent of all blocks.
    void Progress(int nCurrent, int nMax);
    // The device refused a command and said why (its status text).
    void Failure(QString sMsg);
    // The flash broke off without a word from the device (silent or pulled
    // out); by then the window is usually gone, so this goes to the user
    // another way.
    void BrokenOff(QString sMsg);
    // The new image was written and the device accepted the end of the upgrade.
    void Success();
    // The installation is over as far as a window is concerned: close it.
    void Finish();
    // The last report of every run: what became of the firmware.
    void Ended(FirmwareUpgradeTask::Outcome outcome, QString sDetail);

private:
    // The installation; its outcome is reported by Run.
    Outcome Install(QString *pDetail);

    QString sImagePath;
    QString sSN;
};

Q_DECLARE_METATYPE(FirmwareUpgradeTask::Outcome)
