// A downloaded file replaces its copy on the device disk in one rename. On
// Windows the old copy may be open in another program at that moment: the
// update must then neither damage the copy nor report it as replaced, and must
// leave no temporary file behind; the next run replaces it. A holder that lets
// go within moments (a second package hashing a file both bring, a virus
// scanner) is waited for.
#include "TestHttpServer.h"
#include "update/DiffDownload.h"

#include <QCryptographicHash>
#include <QtTest>
#include <chrono>
#include <thread>

#include <windows.h>

namespace
{
QString Md5(const QByteArray &baData)
{
    return QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
}

// A handle to a file held by "someone else", with the given sharing.
class HeldFile
{
public:
    HeldFile(const QString &sPath, DWORD nShare)
    {
        hFile = CreateFileW(reinterpret_cast<const wchar_t *>(sPath.utf16()), GENERIC_READ, nShare,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~HeldFile() { Close(); }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;
    bool IsOpen() const { return hFile != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (IsOpen())
            CloseHandle(hFile);
        hFile = INVALID_HANDLE_VALUE;
    }
    QByteArray ReadAll() const
    {
        char buffer[256];
        DWORD nRead = 0;
        SetFilePointer(hFile, 0, nullptr, FILE_BEGIN);
        if (!ReadFile(hFile, buffer, sizeof buffer, &nRead, nullptr))
            return QByteArray();
        return QByteArray(buffer, int(nRead));
    }

private:
    HANDLE hFile = INVALID_HANDLE_VALUE;
};

struct Finish {
    int nSuccess;
    int nErr;
};

const QByteArray kOld("old contents of the file");
const QByteArray kNew("new contents, longer than the old ones");

// A device disk in a temporary folder whose "Diag/data.bin" holds kOld.
struct OldCopy {
    QTemporaryDir dir;
    QString sDisk = dir.path();
    QString sTarget = sDisk + QStringLiteral("/Diag/data.bin");
    bool bWritten = dir.isValid() && QDir().mkpath(sDisk + QStringLiteral("/Diag")) && Write();

    bool IsValid() const { return bWritten; }
    bool Write() const
    {
        QFile file(sTarget);
        return file.open(QIODevice::WriteOnly) && file.write(kOld) == kOld.size();
    }
    QByteArray Contents() const
    {
        QFile file(sTarget);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList DiagFiles() const
    {
        return QDir(sDisk + QStringLiteral("/Diag")).entryList(QDir::Files);
    }
    std::wstring Native() const { return QDir::toNativeSeparators(sTarget).toStdWString(); }
    bool SetReadOnly() const
    {
        return SetFileAttributesW(Native().c_str(), FILE_ATTRIBUTE_READONLY) && IsReadOnly();
    }
    bool IsReadOnly() const
    {
        const DWORD nAttributes = GetFileAttributesW(Native().c_str());
        return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_READONLY);
    }
};
} // namespace

class tst_WinFileReplace : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fileOpenElsewhereIsKeptAndRetried_data();
    void fileOpenElsewhereIsKeptAndRetried();
    void fileLetGoSoonIsReplaced();
    void readOnlyCopyIsReplaced();

private:
    std::unique_ptr<TestHttpServer> pServer;
    Finish Run(const QString &sDisk, const QByteArray &baNew);
};

void tst_WinFileReplace::initTestCase()
{
    curl_global_init(CURL_GLOBAL_ALL);
    pServer = std::make_unique<TestHttpServer>(QHostAddress(QStringLiteral("127.0.16.1")));
    QVERIFY(pServer->IsListening());
}

Finish tst_WinFileReplace::Run(const QString &sDisk, const QByteArray &baNew)
{
    pServer->SetFile(QStringLiteral("/Diag/data.bin"), baNew);
    const QJsonArray jaFiles = {
        QJsonObject{{"Path", "Diag/data.bin"}, {"Hash", Md5(baNew)}, {"Size", int(baNew.size())}}};
    const QJsonObject joPackage{{"root", pServer->BaseUrl()},
                                {"lang", ""},
                                {"dir", "Diag"},
                                {"rev", "2.0"},
                                {"files", jaFiles}};
    DiffDownload downloader;
    QSignalSpy finished(&downloader, &DiffDownload::DownloadFinish);
    downloader.SetSavePath(sDisk);
    downloader.SetPackageJson(joPackage);
    downloader.StartDownload();
    if (finished.size() != 1)
        return {-2, -2};
    return {finished.at(0).at(0).toInt(), finished.at(0).at(1).toInt()};
}

void tst_WinFileReplace::fileOpenElsewhereIsKeptAndRetried_data()
{
    QTest::addColumn<quint32>("nShare");
    QTest::addColumn<bool>("bReadOnly");
    QTest::newRow("read and write shared") << quint32(FILE_SHARE_READ | FILE_SHARE_WRITE) << false;
    QTest::newRow("only read shared") << quint32(FILE_SHARE_READ) << false;
    // The read-only attribute, cleared to replace it, comes back with the old copy.
    QTest::newRow("read-only") << quint32(FILE_SHARE_READ | FILE_SHARE_WRITE) << true;
}

void tst_WinFileReplace::fileOpenElsewhereIsKeptAndRetried()
{
    QFETCH(quint32, nShare);
    QFETCH(bool, bReadOnly);
    const OldCopy old;
    QVERIFY(old.IsValid());
    if (bReadOnly)
        QVERIFY(old.SetReadOnly());

    HeldFile held(old.sTarget, nShare);
    QVERIFY(held.IsOpen());
    const Finish first = Run(old.sDisk, kNew);
    QCOMPARE(first.nSuccess, 0);
    QCOMPARE(first.nErr, 1);
    QCOMPARE(held.ReadAll(), kOld);
    QCOMPARE(old.DiagFiles(), QStringList{QStringLiteral("data.bin")});
    held.Close();
    QCOMPARE(old.Contents(), kOld);
    QCOMPARE(old.IsReadOnly(), bReadOnly);

    const Finish second = Run(old.sDisk, kNew);
    QCOMPARE(second.nSuccess, 1);
    QCOMPARE(second.nErr, 0);
    QCOMPARE(old.Contents(), kNew);
}

void tst_WinFileReplace::fileLetGoSoonIsReplaced()
{
    const OldCopy old;
    QVERIFY(old.IsValid());
    HeldFile held(old.sTarget, FILE_SHARE_READ | FILE_SHARE_WRITE);
    QVERIFY(held.IsOpen());
    std::thread letGo([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        held.Close();
    });
    const Finish finish = Run(old.sDisk, kNew);
    letGo.join();
    QCOMPARE(finish.nSuccess, 1);
    QCOMPARE(finish.nErr, 0);
    QCOMPARE(old.Contents(), kNew);
    QCOMPARE(old.DiagFiles(), QStringList{QStringLiteral("data.bin")});
}

void tst_WinFileReplace::readOnlyCopyIsReplaced()
{
    // Files copied from a read-only medium keep the attribute. Windows refuses to
    // replace such a file; Wine 8 lets it through, so this guards Windows alone.
    const OldCopy old;
    QVERIFY(old.IsValid());
    QVERIFY(old.SetReadOnly());
    const Finish finish = Run(old.sDisk, kNew);
    QCOMPARE(finish.nSuccess, 1);
    QCOMPARE(finish.nErr, 0);
    QCOMPARE(old.Contents(), kNew);
    QCOMPARE(old.DiagFiles(), QStringList{QStringLiteral("data.bin")});
}

QTEST_GUILESS_MAIN(tst_WinFileReplace)
#include "tst_WinFileReplace.moc"
