// Under Wine, stands in for a command-line tool of the Linux build machine that
// the tests call (poppler's pdfinfo and pdftotext read the PDFs the report tests
// write): it is built once per tool under the tool's name, turns the Windows
// paths among its arguments into Linux paths, runs the Linux program and hands
// on its output and exit code. Wine starts Linux programs but cannot wait for
// them nor connect them to a Windows parent's pipes, so the program's shell
// writes its output and exit code into files that this one waits for.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace
{
using UnixFileNameFn = char *(CDECL *)(LPCWSTR);

std::wstring Widen(const char *pText)
{
    const int nChars = MultiByteToWideChar(CP_UTF8, 0, pText, -1, nullptr, 0);
    std::wstring sWide(size_t(nChars > 0 ? nChars : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, pText, -1, &sWide[0], nChars);
    sWide.resize(sWide.size() - 1);
    return sWide;
}

// One argument for the Linux shell, in single quotes.
std::wstring ShellQuote(const std::wstring &sArg)
{
    std::wstring sQuoted = L"'";
    for (wchar_t c : sArg)
        sQuoted += c == L'\'' ? std::wstring(L"'\\''") : std::wstring(1, c);
    return sQuoted + L"'";
}

bool IsWindowsPath(const std::wstring &sArg)
{
    return sArg.size() >= 3 && sArg[1] == L':' && (sArg[2] == L'\\' || sArg[2] == L'/');
}

std::wstring UnixName(UnixFileNameFn pUnixFileName, const std::wstring &sPath)
{
    char *pUnix = pUnixFileName(sPath.c_str());
    if (!pUnix)
        return sPath;
    const std::wstring sUnix = Widen(pUnix);
    HeapFree(GetProcessHeap(), 0, pUnix);
    return sUnix;
}

// Copies a file to one of this program's standard handles.
void Pass(const std::wstring &sFile, DWORD nStdHandle)
{
    HANDLE hFile = CreateFileW(sFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    char buffer[65536];
    DWORD nRead = 0;
    while (ReadFile(hFile, buffer, sizeof buffer, &nRead, nullptr) && nRead > 0) {
        DWORD nWritten = 0;
        WriteFile(GetStdHandle(nStdHandle), buffer, nRead, &nWritten, nullptr);
    }
    CloseHandle(hFile);
}
} // namespace

int main()
{
    HMODULE hKernel = GetModuleHandleW(L"kernel32.dll");
    auto pUnixFileName = reinterpret_cast<UnixFileNameFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(hKernel, "wine_get_unix_file_name")));
    if (!pUnixFileName) {
        fprintf(stderr, "this stand-in runs the Linux tool under Wine only\n");
        return 127;
    }
    wchar_t szModule[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    std::wstring sTool = szModule;
    sTool = sTool.substr(sTool.find_last_of(L"\\/") + 1);
    sTool = sTool.substr(0, sTool.find_last_of(L'.'));

    wchar_t szTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    wchar_t szBase[MAX_PATH] = {};
    GetTempFileNameW(szTemp, L"htb", 0, szBase); // reserves the name
    const std::wstring sBase = szBase;
    const std::wstring sOut = sBase + L".out", sErr = sBase + L".err", sCode = sBase + L".rc";
    const std::wstring sCodeNew = sCode + L".new";

    int nArgs = 0;
    LPWSTR *ppArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    std::wstring sScript = L"/usr/bin/" + sTool;
    for (int i = 1; i < nArgs; ++i) {
        const std::wstring sArg = ppArgs[i];
        sScript += L" " + ShellQuote(IsWindowsPath(sArg) ? UnixName(pUnixFileName, sArg) : sArg);
    }
    LocalFree(ppArgs);
    // The exit code file appears complete (renamed into place) once the tool has ended.
    sScript += L" >" + ShellQuote(UnixName(pUnixFileName, sOut)) + L" 2>" +
               ShellQuote(UnixName(pUnixFileName, sErr)) + L" </dev/null; echo $? >" +
               ShellQuote(UnixName(pUnixFileName, sCodeNew)) + L" && mv " +
               ShellQuote(UnixName(pUnixFileName, sCodeNew)) + L" " +
               ShellQuote(UnixName(pUnixFileName, sCode));
    std::wstring sCommand = L"/bin/sh -c \"";
    for (wchar_t c : sScript) {
        if (c == L'"' || c == L'\\')
            sCommand += L'\\';
        sCommand += c;
    }
    sCommand += L"\"";

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &sCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        fprintf(stderr, "cannot start /usr/bin/%ls\n", sTool.c_str());
        return 127;
    }
    int nExit = 127;
    for (int nWaited = 0; nWaited < 120000; nWaited += 20) {
        FILE *pCode = _wfopen(sCode.c_str(), L"r");
        if (pCode) {
            if (fscanf(pCode, "%d", &nExit) != 1)
                nExit = 127;
            fclose(pCode);
            break;
        }
        Sleep(20);
    }
    Pass(sOut, STD_OUTPUT_HANDLE);
    Pass(sErr, STD_ERROR_HANDLE);
    for (const std::wstring &sFile : {sBase, sOut, sErr, sCode})
        DeleteFileW(sFile.c_str());
    return nExit;
}
