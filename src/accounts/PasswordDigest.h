#pragma once
#include <QString>

// What travels and rests in place of a password: MD5 of the trimmed text in the code page the
// Windows client hashes (PasswordCodePage.h), 32 upper-case hexadecimal digits.
QString PasswordDigest(const QString &sPassword);
