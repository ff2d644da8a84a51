// Qt-free.
#include "platform/win/WideText.h"

#include <windows.h>

std::wstring WideFromUtf8(const std::string &sUtf8)
{
    if (sUtf8.empty())
        return std::wstring();
    const int nChars =
        MultiByteToWideChar(CP_UTF8, 0, sUtf8.data(), static_cast<int>(sUtf8.size()), nullptr, 0);
    if (nChars <= 0)
        return std::wstring();
    std::wstring sWide(static_cast<std::size_t>(nChars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, sUtf8.data(), static_cast<int>(sUtf8.size()), &sWide[0],
                        nChars);
    return sWide;
}
