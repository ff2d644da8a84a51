// The crash handler on Windows: a process that faults leaves a minidump that a
// minidump reader (dbghelp's own) accepts, and ends without the system's dialog.
#include "platform/CrashHandler.h"

#include <QtTest>

#include <windows.h>

#include <dbghelp.h>

namespace
{
const char *const kChild = "UA_CRASH_CHILD";

[[noreturn]] void CrashNow()
{
    volatile int *pNull = nullptr;
    *pNull = 1;
    ExitProcess(3); // not reached
}

quint32 ReadU32(const QByteArray &baData, qint64 nOffset)
{
    quint32 nValue = 0;
    for (int i = 3; i >= 0; --i)
        nValue = (nValue << 8) | quint8(baData.at(int(nOffset) + i));
    return nValue;
}

// A read-only view of a whole file, for dbghelp's reader.
class MappedFile
{
public:
    explicit MappedFile(const QString &sPath)
    {
        hFile =
            CreateFileW(reinterpret_cast<const wchar_t *>(sPath.utf16()), GENERIC_READ,
                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE)
            return;
        hMapping = CreateFileMappingW(hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (hMapping)
            pView = MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, 0);
    }
    ~MappedFile()
    {
        if (pView)
            UnmapViewOfFile(pView);
        if (hMapping)
            CloseHandle(hMapping);
        if (hFile != INVALID_HANDLE_VALUE)
            CloseHandle(hFile);
    }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    void *View() const { return pView; }

private:
    HANDLE hFile = INVALID_HANDLE_VALUE;
    HANDLE hMapping = nullptr;
    void *pView = nullptr;
};
// Starts this test as a child that faults in sFolder; false unless it was
// ended by the handler with the fault's code.
bool RunFaultingChild(const QString &sFolder)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChild, QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(sFolder);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished(10000);
        return false;
    }
    return quint32(child.exitCode()) == quint32(EXCEPTION_ACCESS_VIOLATION);
}

const wchar_t *Wide(const QString &sPath)
{
    return reinterpret_cast<const wchar_t *>(sPath.utf16());
}
} // namespace

class tst_WinCrashDump : public QObject
{
    Q_OBJECT
private slots:
    void faultLeavesReadableMinidump();
    void plantedNameIsNotFollowed_data();
    void plantedNameIsNotFollowed();
};

void tst_WinCrashDump::faultLeavesReadableMinidump()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDump = dir.filePath(QStringLiteral("crash.dmp"));
    // An older dump is replaced, not appended to.
    {
        QFile old(sDump);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4 << 20, 'x'));
    }

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChild, QStringLiteral("1"));
    child.setProcessEnvironment(env);
    // The handler resolves "crash.dmp" against the current folder of the crashing process.
    child.setWorkingDirectory(dir.path());
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(120000));
    // Ended by the handler with the fault's code, not by a dialog or a debugger.
    QCOMPARE(quint32(child.exitCode()), quint32(EXCEPTION_ACCESS_VIOLATION));

    QFile file(sDump);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray baDump = file.readAll();
    file.close();
    QVERIFY2(baDump.size() >= 32 && baDump.size() < (4 << 20),
             qPrintable(QString::number(baDump.size())));
    QCOMPARE(baDump.left(4), QByteArray("MDMP"));
    QCOMPARE(ReadU32(baDump, 4) & 0xFFFF, quint32(MINIDUMP_VERSION));
    // The stream directory and every stream lie inside the file.
    const quint32 nStreams = ReadU32(baDump, 8);
    const quint32 nDirectory = ReadU32(baDump, 12);
    QVERIFY(nStreams >= 3);
    QVERIFY(qint64(nDirectory) + qint64(nStreams) * 12 <= baDump.size());
    QSet<quint32> streamTypes;
    for (quint32 i = 0; i < nStreams; ++i) {
        const qint64 nEntry = qint64(nDirectory) + qint64(i) * 12;
        const quint32 nType = ReadU32(baDump, nEntry);
        const quint32 nSize = ReadU32(baDump, nEntry + 4);
        const quint32 nRva = ReadU32(baDump, nEntry + 8);
        QVERIFY2(qint64(nRva) + nSize <= baDump.size(), qPrintable(QString::number(nType)));
        streamTypes.insert(nType);
    }
    QVERIFY(streamTypes.contains(ExceptionStream));
    QVERIFY(streamTypes.contains(ThreadListStream));
    QVERIFY(streamTypes.contains(ModuleListStream));

    // dbghelp's reader finds the fault and the faulting thread among the threads.
    MappedFile mapped(sDump);
    QVERIFY(mapped.View() != nullptr);
    PMINIDUMP_DIRECTORY pEntry = nullptr;
    void *pStream = nullptr;
    ULONG nStreamSize = 0;
    QVERIFY(
        MiniDumpReadDumpStream(mapped.View(), ExceptionStream, &pEntry, &pStream, &nStreamSize));
    const auto *pException = static_cast<const MINIDUMP_EXCEPTION_STREAM *>(pStream);
    QCOMPARE(quint32(pException->ExceptionRecord.ExceptionCode),
             quint32(EXCEPTION_ACCESS_VIOLATION));
    QVERIFY(
        MiniDumpReadDumpStream(mapped.View(), ThreadListStream, &pEntry, &pStream, &nStreamSize));
    const auto *pThreads = static_cast<const MINIDUMP_THREAD_LIST *>(pStream);
    bool bFaultingThreadListed = false;
    for (ULONG i = 0; i < pThreads->NumberOfThreads; ++i)
        bFaultingThreadListed |= pThreads->Threads[i].ThreadId == pException->ThreadId;
    QVERIFY(bFaultingThreadListed);
}

void tst_WinCrashDump::plantedNameIsNotFollowed_data()
{
    // What someone put in the dump's place beforehand; the file it leads to stays as it was.
    QTest::addColumn<QString>("sPlant");
    QTest::newRow("hard link to another file") << "hard link";
    QTest::newRow("symbolic link to another file") << "symbolic link";
}

void tst_WinCrashDump::plantedNameIsNotFollowed()
{
    QFETCH(QString, sPlant);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDump = QDir::toNativeSeparators(dir.filePath(QStringLiteral("crash.dmp")));
    const QString sVictim = QDir::toNativeSeparators(dir.filePath(QStringLiteral("User.bin")));
    const QByteArray baVictim("the user's remembered login");
    {
        QFile victim(sVictim);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write(baVictim);
    }
    if (sPlant == QLatin1String("hard link")) {
        QVERIFY(CreateHardLinkW(Wide(sDump), Wide(sVictim), nullptr));
    } else {
        // Without the privilege (or developer mode) no link can be made to test with.
        const DWORD nUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
        if (!CreateSymbolicLinkW(Wide(sDump), Wide(sVictim), nUnprivileged) &&
            !CreateSymbolicLinkW(Wide(sDump), Wide(sVictim), 0))
            QSKIP("symbolic links cannot be made here");
    }

    QVERIFY(RunFaultingChild(dir.path()));
    QFile victim(sVictim);
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), baVictim);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(kChild)) {
        InstallCrashHandler(QStringLiteral("crash.dmp"));
        CrashNow();
    }
    QCoreApplication app(argc, argv);
    tst_WinCrashDump test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WinCrashDump.moc"
