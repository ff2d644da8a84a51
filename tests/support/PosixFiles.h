#pragma once
// Links and FIFOs: files a POSIX disk may hold and some tests make on purpose. Windows has
// none of them in that form (QFile::link makes a shortcut file there, and its named pipes live
// apart from the file system), so the cases that need one skip there.

bool CanMakePosixSpecialFiles();
