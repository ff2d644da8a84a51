#pragma once
// Putting a finished file in the place of the old one.

#include <QString>

// Renames sSource to sTarget in one step, replacing a file there: whoever opens sTarget finds
// the old file or the new one, never a mix. On Windows a file that another handle holds open
// cannot be replaced. Such holders of a device-disk file let go soon (a second package hashing
// or replacing a file that both bring, a virus scanner), so the rename is tried again for a
// few seconds. A read-only sTarget is replaced too, as rename(2) does on Linux (Windows refuses
// it until its read-only attribute is cleared).
// False, with the system's reason in *pError, when it did not happen.
bool ReplaceFileInOneStep(const QString &sSource, const QString &sTarget, QString *pError);
