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
    QTest::newRow("read and write shared") << quint32(FILE_SHARE_READ | FILE_SHARE_WRITE);
    QTest::newRow("only read shared") << quint32(FILE_SHARE_READ);
}

void tst_WinFileReplace::fileOpenElsewhereIsKeptAndRetried()
{
    QFETCH(quint32, nShare);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDisk = dir.path();
    const QString sTarget = sDisk + QStringLiteral("/Diag/data.bin");
    QVERIFY(QDir().mkpath(sDisk + QStringLiteral("/Diag")));
    const QByteArray baOld("old contents of the file");
    const QByteArray baNew("new contents, longer than the old ones");
    {
        QFile file(sTarget);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(baOld);
    }

    HeldFile held(sTarget, nShare);
    QVERIFY(held.IsOpen());
    const Finish first = Run(sDisk, baNew);
    QCOMPARE(first.nSuccess, 0);
    QCOMPARE(first.nErr, 1);
    QCOMPARE(held.ReadAll(), baOld);
    QCOMPARE(QDir(sDisk + QStringLiteral("/Diag")).entryList(QDir::Files),
             QStringList{QStringLiteral("data.bin")});
    held.Close();
    {
        QFile file(sTarget);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), baOld);
    }

    const Finish second = Run(sDisk, baNew);
    QCOMPARE(second.nSuccess, 1);
    QCOMPARE(second.nErr, 0);
    QFile file(sTarget);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), baNew);
}

void tst_WinFileReplace::fileLetGoSoonIsReplaced()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDisk = dir.path();
    const QString sTarget = sDisk + QStringLiteral("/Diag/data.bin");
    QVERIFY(QDir().mkpath(sDisk + QStringLiteral("/Diag")));
    {
        QFile file(sTarget);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old contents of the file");
    }
    const QByteArray baNew("new contents, longer than the old ones");

    HeldFile held(sTarget, FILE_SHARE_READ | FILE_SHARE_WRITE);
    QVERIFY(held.IsOpen());
    std::thread letGo([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        held.Close();
    });
    const Finish finish = Run(sDisk, baNew);
    letGo.join();
    QCOMPARE(finish.nSuccess, 1);
    QCOMPARE(finish.nErr, 0);
    QFile file(sTarget);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), baNew);
    QCOMPARE(QDir(sDisk + QStringLiteral("/Diag")).entryList(QDir::Files),
             QStringList{QStringLiteral("data.bin")});
}

void tst_WinFileReplace::readOnlyCopyIsReplaced()
{
    // Files copied from a read-only medium keep the attribute. Windows refuses to
    // replace such a file; Wine 8 lets it through, so this guards Windows alone.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sDisk = dir.path();
    const QString sTarget = sDisk + QStringLiteral("/Diag/data.bin");
    QVERIFY(QDir().mkpath(sDisk + QStringLiteral("/Diag")));
    {
        QFile file(sTarget);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old contents of the file");
    }
    const std::wstring sNative = QDir::toNativeSeparators(sTarget).toStdWString();
    QVERIFY(SetFileAttributesW(sNative.c_str(), FILE_ATTRIBUTE_READONLY));
    QVERIFY(GetFileAttributesW(sNative.c_str()) & FILE_ATTRIBUTE_READONLY);
    const QByteArray baNew("new contents, longer than the old ones");

    const Finish finish = Run(sDisk, baNew);
    QCOMPARE(finish.nSuccess, 1);
    QCOMPARE(finish.nErr, 0);
    QFile file(sTarget);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), baNew);
    QCOMPARE(QDir(sDisk + QStringLiteral("/Diag")).entryList(QDir::Files),
             QStringList{QStringLiteral("data.bin")});
}

QTEST_GUILESS_MAIN(tst_WinFileReplace)
#include "tst_WinFileReplace.moc"
