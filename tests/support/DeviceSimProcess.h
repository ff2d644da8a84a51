#pragma once
// Runs the simulated device (device-sim) as a child process for a test.
//
//   DeviceSimProcess sim;
//   QVERIFY(sim.Start({"--version", "V01.2"}));
//   device::SetSerialOverride(sim.PtyPath());   // or set UPDATEASSIST_SERIAL for a child
//   ...
//   QCOMPARE(sim.FlashedImage(), expected);      // what the last finished upgrade left
//
// The simulator writes its image to OutputPath() (a private temporary folder) unless the
// arguments already name an --output. The process is ended when the object goes away.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class DeviceSimProcess
{
public:
    DeviceSimProcess();
    ~DeviceSimProcess();
    DeviceSimProcess(const DeviceSimProcess &) = delete;
    DeviceSimProcess &operator=(const DeviceSimProcess &) = delete;

    // Starts device-sim with slArgs and waits for the terminal's path. False (with the
    // reason in ErrorString()) when it does not come up within nTimeoutMs.
    bool Start(const QStringList &slArgs = QStringList(), int nTimeoutMs = 10000);
    QString PtyPath() const { return m_sPtyPath; }
    QString OutputPath() const { return m_sOutput; }
    QByteArray FlashedImage() const;
    QString ErrorString() const { return m_sError; }
    // Waits for the simulator to end by itself (for example after --unplug-after).
    bool WaitForExit(int nTimeoutMs = 10000);
    void Stop();
    QProcess &Process() { return m_process; }

    static QString ProgramPath();

    // nSize bytes of firmware-like content, the same for the same nSeed and
    // different for different seeds.
    static QByteArray SampleImage(int nSize, quint32 nSeed);

    // A flashing case on the disk folder sDisk: "Home/MAIN.bin" holds
    // FlashCaseImage(nFileSize) (no file when nFileSize < 0), and the device,
    // started with slArgs, runs that image when bSameImage, else an older one.
    // The program's serial port is pointed at the device, or with "--no-port"
    // among slArgs at a path where there is none. False (see ErrorString())
    // when a file could not be written or the device did not start.
    bool StartFlashCase(const QString &sDisk, int nFileSize, bool bSameImage, QStringList slArgs);
    // The new image of a flashing case: nFileSize bytes, empty when nFileSize < 0.
    static QByteArray FlashCaseImage(int nFileSize);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_sPtyPath;
    QString m_sOutput;
    QString m_sError;
};
