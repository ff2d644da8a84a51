// The driver routine on Windows: which system tool it runs with which
// arguments. The tool is this test itself, copied as "pnputil.exe" into the
// current folder (searched before the system folder), where it writes down its
// arguments; the real driver store is not touched.
#include "platform/UsbSerialDriver.h"

#include <QtTest>

namespace
{
const char *const kRecord = "UA_DRIVER_TOOL_RECORD";

// Runs as the stand-in tool: one line of arguments per call.
int RecordCall(int argc, char *argv[])
{
    QFile record(QString::fromLocal8Bit(qgetenv(kRecord)));
    if (!record.open(QIODevice::WriteOnly | QIODevice::Append))
        return 1;
    QStringList slArgs;
    for (int i = 1; i < argc; ++i)
        slArgs << QString::fromLocal8Bit(argv[i]);
    record.write(slArgs.join(QLatin1Char('|')).toUtf8() + '\n');
    return 0;
}
} // namespace

class tst_WinUsbDriver : public QObject
{
    Q_OBJECT
private slots:
    void registersInstallationFileWithPnputil();
    void missingInstallationFileRunsNothing();

private:
    QStringList Run(bool bWithInf);
};

QStringList tst_WinUsbDriver::Run(bool bWithInf)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return {QStringLiteral("no temporary folder")};
    QDir::setCurrent(dir.path());
    QFile::copy(QCoreApplication::applicationFilePath(),
                dir.filePath(QStringLiteral("pnputil.exe")));
    QDir().mkpath(dir.filePath(QStringLiteral("driver")));
    if (bWithInf) {
        QFile inf(dir.filePath(QStringLiteral("driver/fsl_ucwxp.inf")));
        inf.open(QIODevice::WriteOnly);
        inf.write("; installation file\r\n");
    }
    const QString sRecord = dir.filePath(QStringLiteral("calls.txt"));
    qputenv(kRecord, sRecord.toLocal8Bit());
    QStringList slLog;
    SetUpUsbSerialDriver(dir.path().toStdString(),
                         [&](const std::string &sLine) { slLog << QString::fromStdString(sLine); });
    qInfo("driver routine log: %s", qPrintable(slLog.join(QStringLiteral(", "))));
    QFile record(sRecord);
    QStringList slCalls;
    if (record.open(QIODevice::ReadOnly))
        slCalls = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    return slCalls;
}

void tst_WinUsbDriver::registersInstallationFileWithPnputil()
{
    // Wine reports Windows 10: no system files are copied, only the two runs of the tool.
    const QStringList slExpected = {QStringLiteral("-i|-a|./driver/fsl_ucwxp.inf"),
                                    QStringLiteral("-e")};
    QCOMPARE(Run(true), slExpected);
}

void tst_WinUsbDriver::missingInstallationFileRunsNothing()
{
    QCOMPARE(Run(false), QStringList());
}

int main(int argc, char *argv[])
{
    if (QFileInfo(QString::fromLocal8Bit(argv[0]))
            .baseName()
            .compare(QStringLiteral("pnputil"), Qt::CaseInsensitive) == 0)
        return RecordCall(argc, argv);
    QCoreApplication app(argc, argv);
    tst_WinUsbDriver test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WinUsbDriver.moc"
