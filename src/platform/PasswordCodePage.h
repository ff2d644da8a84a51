#pragma once
// The 8-bit encoding a password is hashed in. Accounts are shared with the Windows client,
// which hashes the local code page of a Chinese Windows (GBK); a password with Chinese
// characters only signs in when every client hashes the same bytes.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// sUtf8 converted to the local 8-bit code page on Windows, and to GBK elsewhere (where the
// local encoding is UTF-8, which no Windows client produces). ASCII stays as it is; characters
// the code page lacks become "?", as on Windows.
std::string PasswordCodePageBytes(const std::string &sUtf8);
