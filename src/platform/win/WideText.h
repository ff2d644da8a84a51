#pragma once
// Qt-free. The Windows interfaces take UTF-16; the platform layer's callers
// hand over UTF-8.

#include <string>

// sUtf8 as UTF-16; empty when it is empty or not valid UTF-8.
std::wstring WideFromUtf8(const std::string &sUtf8);
