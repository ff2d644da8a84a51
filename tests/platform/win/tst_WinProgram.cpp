// The Windows program as a user starts it: its main window comes up on the
// desktop, a second start is refused with a line on standard error and exit
// code 0, and closing the window ends the program cleanly. Needs a desktop
// (under Wine an X display, which scripts/windows/test provides).
#include <QtTest>

#include <windows.h>

namespace
{
QString ProgramPath()
{
    return QStringLiteral(UA_BIN_DIR "/UpdateAssist.exe");
}

struct WindowSearch {
    DWORD nProcessId;
    HWND hWindow;
};

BOOL CALLBACK MatchWindow(HWND hWindow, LPARAM lParam)
{
    auto *pSearch = reinterpret_cast<WindowSearch *>(lParam);
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWindow, &nProcessId);
    wchar_t szTitle[256] = {};
    GetWindowTextW(hWindow, szTitle, 255);
    if (nProcessId != pSearch->nProcessId || !IsWindowVisible(hWindow))
        return TRUE;
    if (!QString::fromWCharArray(szTitle).contains(QStringLiteral("Update Assist")))
        return TRUE;
    pSearch->hWindow = hWindow;
    return FALSE;
}

BOOL CALLBACK CollectWindow(HWND hWindow, LPARAM lParam)
{
    auto *pSearch = reinterpret_cast<QPair<DWORD, QList<HWND>> *>(lParam);
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWindow, &nProcessId);
    if (nProcessId == pSearch->first && IsWindowVisible(hWindow))
        pSearch->second << hWindow;
    return TRUE;
}

QList<HWND> VisibleWindows(const QProcess &process)
{
    QPair<DWORD, QList<HWND>> search(DWORD(process.processId()), {});
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The visible main window of the process, once it is there.
HWND WaitForMainWindow(QProcess &process, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nTimeoutMs && process.state() == QProcess::Running) {
        WindowSearch search = {DWORD(process.processId()), nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.hWindow)
            return search.hWindow;
        process.waitForFinished(200);
    }
    return nullptr;
}

// What the desktop shows, read through the system's own drawing interface.
QImage GrabDesktop()
{
    const int nWidth = GetSystemMetrics(SM_CXSCREEN);
    const int nHeight = GetSystemMetrics(SM_CYSCREEN);
    HDC hScreen = GetDC(nullptr);
    HDC hMemory = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, nWidth, nHeight);
    HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    BitBlt(hMemory, 0, 0, nWidth, nHeight, hScreen, 0, 0, SRCCOPY);
    SelectObject(hMemory, hOld);
    QImage image(nWidth, nHeight, QImage::Format_RGB32);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(hMemory, hBitmap, 0, UINT(nHeight), image.bits(), &info, DIB_RGB_COLORS);
    DeleteObject(hBitmap);
    DeleteDC(hMemory);
    ReleaseDC(nullptr, hScreen);
    return image;
}

int CountColours(const QImage &image, const QRect &rect)
{
    QSet<QRgb> colours;
    for (int y = rect.top(); y <= rect.bottom(); y += 4) {
        for (int x = rect.left(); x <= rect.right(); x += 4)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}
} // namespace

class tst_WinProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void showsWindowRefusesSecondCopyAndCloses();

private:
    QTemporaryDir dir;
    QProcessEnvironment env;
};

void tst_WinProgram::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no display: Wine shows windows on X (scripts/windows/test starts Xvfb)");
    QVERIFY(QFileInfo::exists(ProgramPath()));
    QVERIFY(dir.isValid());
    env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("windows"));
    // No server: the window comes up and stays idle.
    env.insert(QStringLiteral("UPDATEASSIST_DISKS"), QString());
    env.insert(QStringLiteral("UPDATEASSIST_SERVER"), QStringLiteral("127.0.16.9"));
    env.remove(QStringLiteral("UA_SCREENSHOT"));
}

void tst_WinProgram::showsWindowRefusesSecondCopyAndCloses()
{
    const QString sDump = QFileInfo(ProgramPath()).absolutePath() + QStringLiteral("/crash.dmp");
    QFile::remove(sDump);
    QProcess first;
    first.setProcessEnvironment(env);
    // Started from another folder: the program still finds its own files.
    first.setWorkingDirectory(dir.path());
    first.start(ProgramPath(), QStringList());
    QVERIFY(first.waitForStarted(60000));
    const HWND hWindow = WaitForMainWindow(first, 120000);
    QVERIFY2(hWindow != nullptr, first.readAllStandardError().constData());

    RECT rect = {};
    QVERIFY(GetWindowRect(hWindow, &rect));
    QVERIFY2(rect.right - rect.left >= 765 && rect.bottom - rect.top >= 565,
             qPrintable(
                 QStringLiteral("%1x%2").arg(rect.right - rect.left).arg(rect.bottom - rect.top)));
    // The window's own drawing (title bar, tool bar, table), not an empty area.
    // Under Wine on a busy machine the first paint may take seconds.
    QImage desktop;
    QRect windowRect;
    QTRY_VERIFY_WITH_TIMEOUT(
        (desktop = GrabDesktop(),
         windowRect = QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1))
                          .intersected(desktop.rect()),
         CountColours(desktop, windowRect) > 8),
        60000);
    const QString sShot = QDir::current().absoluteFilePath(QStringLiteral("wine-main-window.png"));
    QVERIFY(desktop.save(sShot));
    qInfo("screenshot of the desktop: %s", qPrintable(QDir::toNativeSeparators(sShot)));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(ProgramPath(), QStringList());
    QVERIFY(second.waitForFinished(120000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // The standard error stream is in text mode: the line ends in CR LF on Windows.
    const QByteArray baStderr = second.readAllStandardError().replace("\r\n", "\n");
    QVERIFY2(baStderr.endsWith("UpdateAssist.exe already running.\n"), baStderr.constData());
    QVERIFY(first.state() == QProcess::Running);

    // A device disk, when one is present (the test run maps one), has opened the login
    // window over the main window: it is closed first, as a user would.
    for (HWND hOther : VisibleWindows(first)) {
        if (hOther != hWindow)
            PostMessageW(hOther, WM_CLOSE, 0, 0);
    }
    QVERIFY(QTest::qWaitFor([&] { return VisibleWindows(first).size() == 1; }, 30000));
    QVERIFY(PostMessageW(hWindow, WM_CLOSE, 0, 0));
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(sDump));
}

QTEST_GUILESS_MAIN(tst_WinProgram)
#include "tst_WinProgram.moc"
