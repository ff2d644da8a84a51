#include "DeviceSimProcess.h"

#include "TestWidgets.h"
#include "device/device.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

DeviceSimProcess::DeviceSimProcess()
{
    // Requests and statuses go to our stderr, which ctest shows for a failing test.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

DeviceSimProcess::~DeviceSimProcess()
{
    Stop();
}

QString DeviceSimProcess::ProgramPath()
{
    // Tests run from <build>/tests and find the tools in <build>/bin (UA_BIN_DIR under ctest).
    QString sBin = qEnvironmentVariable("UA_BIN_DIR");
    if (sBin.isEmpty())
        sBin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    return QDir(sBin).filePath(QStringLiteral("device-sim"));
}

bool DeviceSimProcess::Start(const QStringList &slArgs, int nTimeoutMs)
{
    Stop();
    m_sPtyPath.clear();
    m_sError.clear();
    QStringList slAll = slArgs;
    slAll << QStringLiteral("--exit-with-parent");
    const int nOutput = slArgs.indexOf(QStringLiteral("--output"));
    if (nOutput >= 0 && nOutput + 1 < slArgs.size()) {
        m_sOutput = slArgs.at(nOutput + 1);
    } else {
        m_sOutput = m_dir.filePath(QStringLiteral("flashed.bin"));
        QFile::remove(m_sOutput);
        slAll << QStringLiteral("--output") << m_sOutput;
    }
    const QString sProgram = ProgramPath();
    if (!QFileInfo(sProgram).isExecutable()) {
        m_sError = QStringLiteral("no simulator at %1").arg(sProgram);
        return false;
    }
    m_process.start(sProgram, slAll);
    if (!m_process.waitForStarted(nTimeoutMs)) {
        m_sError = m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(nTimeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running ||
            !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_process.canReadLine())
                break;
            m_sError = QStringLiteral("simulator gave no terminal (exit code %1)")
                           .arg(m_process.exitCode());
            Stop();
            return false;
        }
    }
    m_sPtyPath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_sPtyPath.isEmpty();
}

QByteArray DeviceSimProcess::SampleImage(int nSize, quint32 nSeed)
{
    QByteArray ba(nSize, '\0');
    for (int i = 0; i < nSize; ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        ba[i] = char(nSeed >> 16);
    }
    return ba;
}

QByteArray DeviceSimProcess::FlashCaseImage(int nFileSize)
{
    return nFileSize >= 0 ? SampleImage(nFileSize, 2) : QByteArray();
}

bool DeviceSimProcess::StartFlashCase(const QString &sDisk, int nFileSize, bool bSameImage,
                                      QStringList slArgs)
{
    const QByteArray baOld = SampleImage(7000, 1);
    const QByteArray baNew = FlashCaseImage(nFileSize);
    const QString sMain = QDir(sDisk).filePath(QStringLiteral("Home/MAIN.bin"));
    const QString sImage = QDir(sDisk).filePath(QStringLiteral("device-image.bin"));
    if ((nFileSize >= 0 && !TestWidgets::WriteFile(sMain, baNew)) ||
        !TestWidgets::WriteFile(sImage, bSameImage ? baNew : baOld)) {
        m_sError = QStringLiteral("cannot write the images below %1").arg(sDisk);
        return false;
    }
    const bool bNoPort = slArgs.removeAll(QStringLiteral("--no-port")) > 0;
    if (!Start(QStringList({QStringLiteral("--image"), sImage}) + slArgs))
        return false;
    device::SetSerialOverride(bNoPort ? QDir(sDisk).filePath(QStringLiteral("no-such-tty"))
                                      : PtyPath());
    return true;
}

QByteArray DeviceSimProcess::FlashedImage() const
{
    QFile file(m_sOutput);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool DeviceSimProcess::WaitForExit(int nTimeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    return m_process.waitForFinished(nTimeoutMs);
}

void DeviceSimProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}
