// Qt-free: registers the device's installation file with the system's driver store.
#include "platform/UsbSerialDriver.h"
#include "platform/win/WideText.h"

#include "platform/SystemInfo.h"

#include <windows.h>

#include <string>
#include <vector>

namespace
{

const wchar_t *const kInfFile = L"./driver/fsl_ucwxp.inf";
const wchar_t *const kDevcon = L"./driver/devcon.exe";
const wchar_t *const kHardwareId = L"USB\\VID_1FC9&PID_0094";

class Handle
{
public:
    explicit Handle(HANDLE h = nullptr) : m_h(h) {}
    ~Handle()
    {
        if (m_h && m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h;
};

std::string Narrow(const std::wstring &sWide)
{
    if (sWide.empty())
        return std::string();
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, sWide.data(), int(sWide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string sText(size_t(nBytes > 0 ? nBytes : 0), '\0');
    if (nBytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, sWide.data(), int(sWide.size()), &sText[0], nBytes, nullptr,
                            nullptr);
    return sText;
}

// The real system version: the compatibility layer would lie to GetVersionEx about it.
void WindowsVersion(DWORD &nMajor, DWORD &nMinor)
{
    nMajor = 0;
    nMinor = 0;
    using RtlGetVersionFn = LONG(WINAPI *)(OSVERSIONINFOW *);
    HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC pProc = hNtdll ? GetProcAddress(hNtdll, "RtlGetVersion") : nullptr;
    auto pRtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(pProc));
    if (!pRtlGetVersion)
        return;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (pRtlGetVersion(&info) == 0) {
        nMajor = info.dwMajorVersion;
        nMinor = info.dwMinorVersion;
    }
}

// One argument quoted the way the C runtime splits command lines.
std::wstring QuoteArgument(const std::wstring &sArg)
{
    if (!sArg.empty() && sArg.find_first_of(L" \t\"") == std::wstring::npos)
        return sArg;
    std::wstring sQuoted = L"\"";
    size_t nSlashes = 0;
    for (wchar_t c : sArg) {
        if (c == L'\\') {
            ++nSlashes;
            continue;
        }
        if (c == L'"')
            sQuoted.append(nSlashes * 2 + 1, L'\\');
        else
            sQuoted.append(nSlashes, L'\\');
        nSlashes = 0;
        sQuoted += c;
    }
    sQuoted.append(nSlashes * 2, L'\\');
    sQuoted += L'"';
    return sQuoted;
}

// Runs a program to its end, without a console window; its exit code is not examined.
void RunToEnd(const std::wstring &sProgram, const std::vector<std::wstring> &args,
              const DriverLogFn &log)
{
    std::wstring sCommand = QuoteArgument(sProgram);
    for (const std::wstring &sArg : args)
        sCommand += L" " + QuoteArgument(sArg);
    std::vector<wchar_t> commandLine(sCommand.begin(), sCommand.end());
    commandLine.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        if (log)
            log("cannot start " + Narrow(sCommand));
        return;
    }
    Handle hProcess(process.hProcess);
    Handle hThread(process.hThread);
    WaitForSingleObject(hProcess.Get(), INFINITE);
}

std::wstring BackSlashed(std::wstring sPath)
{
    for (wchar_t &c : sPath) {
        if (c == L'/')
            c = L'\\';
    }
    return sPath;
}

// Copies over an existing target; the same file named twice counts as copied.
bool CopyReplacing(const std::wstring &sSource, const std::wstring &sTarget)
{
    const std::wstring sFrom = BackSlashed(sSource);
    const std::wstring sTo = BackSlashed(sTarget);
    if (lstrcmpiW(sFrom.c_str(), sTo.c_str()) == 0)
        return true;
    if (GetFileAttributesW(sFrom.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (GetFileAttributesW(sTo.c_str()) != INVALID_FILE_ATTRIBUTES)
        DeleteFileW(sTo.c_str());
    return CopyFileW(sFrom.c_str(), sTo.c_str(), TRUE) != FALSE;
}

void CopySystemSerialDriver(const std::wstring &sAppDir, const wchar_t *pFolder,
                            const DriverLogFn &log)
{
    const std::wstring sSource = sAppDir + L"/driver/" + pFolder + L"/";
    const wchar_t *const files[][2] = {
        {L"mdmcpq.inf", L"C:/Windows/inf/mdmcpq.inf"},
        {L"mdmcpq.pnf", L"C:/Windows/inf/mdmcpq.pnf"},
        {L"usbser.sys", L"C:/Windows/System32/drivers/usbser.sys"},
    };
    for (const auto &file : files) {
        const bool bCopied = CopyReplacing(sSource + file[0], file[1]);
        if (log)
            log(bCopied ? "true" : "false");
    }
}

void RegisterWithPnputil(const DriverLogFn &log)
{
    RunToEnd(L"pnputil.exe", {L"-i", L"-a", kInfFile}, log);
    RunToEnd(L"pnputil.exe", {L"-e"}, log);
}

void RegisterInstallationFile(bool bVistaOrLater, const DriverLogFn &log)
{
    if (bVistaOrLater) {
        RegisterWithPnputil(log);
        return;
    }
    RunToEnd(kDevcon, {L"/r", L"install", kInfFile, kHardwareId}, log);
    RunToEnd(kDevcon, {L"rescan"}, log);
}

} // namespace

void SetUpUsbSerialDriver(const std::string &sAppDir, const DriverLogFn &log)
{
    DWORD nMajor = 0;
    DWORD nMinor = 0;
    WindowsVersion(nMajor, nMinor);
    if (GetFileAttributesW(kInfFile) == INVALID_FILE_ATTRIBUTES)
        return;
    const std::wstring sDir = WideFromUtf8(sAppDir);
    const bool bWindows10 = nMajor >= 10;
    const bool bVistaOrLater = nMajor >= 6;

    if (bWindows10) {
        void *pOld = nullptr;
        DisableFsRedirection(&pOld);
        RegisterWithPnputil(log);
        RevertFsRedirection(pOld);
        return;
    }
    if (IsX64Os()) {
        if (log)
            log("x64");
        void *pOld = nullptr;
        DisableFsRedirection(&pOld);
        CopySystemSerialDriver(sDir, L"mdmcpq.inf_amd64", log);
        RegisterInstallationFile(bVistaOrLater, log);
        RevertFsRedirection(pOld);
        return;
    }
    if (log)
        log("x86");
    CopySystemSerialDriver(sDir, L"mdmcpq.inf_x86", log);
    RegisterInstallationFile(bVistaOrLater, log);
}
