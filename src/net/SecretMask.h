#pragma once
// Debug output shows the server's JSON as it came and went, but never a secret in it: the
// password digest (which the server takes as the password), proxy passwords or session tokens.

#include <QByteArray>

// The text with the value of every JSON member whose name contains "password", "passwd", "pwd",
// "token" or "session" (without regard to case) replaced by "***". Works on any bytes, JSON or
// not, whole or cut off; empty values stay empty, everything else stays as it was.
QByteArray MaskSecrets(const QByteArray &baText);
