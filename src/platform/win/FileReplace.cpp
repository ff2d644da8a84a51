#include "platform/FileReplace.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <windows.h>

namespace
{

// How long holders of the old file are given to let go.
constexpr int kWaitMs = 3000;
constexpr int kPauseMs = 50;

// The errors of a file that is open elsewhere at the moment.
bool IsHeldElsewhere(DWORD nError)
{
    return nError == ERROR_ACCESS_DENIED || nError == ERROR_SHARING_VIOLATION ||
           nError == ERROR_LOCK_VIOLATION;
}

// A read-only copy (one copied from a read-only medium, say) is replaced on Linux, where the
// folder decides; Windows refuses it with "access denied" until the attribute is gone. Returns
// the attributes it had when it was read-only and is no longer, 0 otherwise.
DWORD ClearReadOnly(const wchar_t *pPath)
{
    const DWORD nAttributes = GetFileAttributesW(pPath);
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_READONLY) == 0)
        return 0;
    return SetFileAttributesW(pPath, nAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) ? nAttributes
                                                                                    : 0;
}

} // namespace

bool ReplaceFileInOneStep(const QString &sSource, const QString &sTarget, QString *pError)
{
    const QString sFrom = QDir::toNativeSeparators(sSource);
    const QString sTo = QDir::toNativeSeparators(sTarget);
    const auto *pFrom = reinterpret_cast<const wchar_t *>(sFrom.utf16());
    const auto *pTo = reinterpret_cast<const wchar_t *>(sTo.utf16());
    const QDeadlineTimer deadline(kWaitMs);
    bool bAttributeLooked = false;
    DWORD nClearedAttributes = 0;
    for (;;) {
        if (MoveFileExW(pFrom, pTo, MOVEFILE_REPLACE_EXISTING))
            return true;
        const DWORD nError = GetLastError();
        if (nError == ERROR_ACCESS_DENIED && !bAttributeLooked) {
            bAttributeLooked = true;
            nClearedAttributes = ClearReadOnly(pTo);
            if (nClearedAttributes != 0)
                continue;
        }
        if (!IsHeldElsewhere(nError) || deadline.hasExpired()) {
            // The old copy stays, as it was.
            if (nClearedAttributes != 0)
                SetFileAttributesW(pTo, nClearedAttributes);
            *pError = qt_error_string(int(nError));
            return false;
        }
        QThread::msleep(kPauseMs);
    }
}
