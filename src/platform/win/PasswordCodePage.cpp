#include "platform/PasswordCodePage.h"

#include <windows.h>

#include <vector>

std::string PasswordCodePageBytes(const std::string &sUtf8)
{
    if (sUtf8.empty())
        return std::string();
    const int nWide =
        MultiByteToWideChar(CP_UTF8, 0, sUtf8.data(), static_cast<int>(sUtf8.size()), nullptr, 0);
    if (nWide <= 0)
        return std::string();
    std::vector<wchar_t> wide(static_cast<size_t>(nWide));
    MultiByteToWideChar(CP_UTF8, 0, sUtf8.data(), static_cast<int>(sUtf8.size()), wide.data(),
                        nWide);
    // The local ANSI code page, as the program has always hashed passwords here.
    const int nBytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0)
        return std::string();
    std::string sOut(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, &sOut[0], nBytes, nullptr, nullptr);
    return sOut;
}
