#pragma once
#include <QString>

// What travels and rests in place of a password: MD5 of the trimmed text in
// the local 8-bit encoding, 32 upper-case hexadecimal digits.
QString PasswordDigest(const QString &sPassword);
