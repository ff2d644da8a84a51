#pragma once
// Shared by the libFuzzer targets and by the test that replays their
// regression inputs (tests/reliability/tst_FuzzRegressions).

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// Creates the offscreen QApplication the targets need, once per process.
void EnsureFuzzApplication();

// A private scratch folder for this process, created on first use and kept
// on a memory file system when one is available.
QString FuzzScratchDir();

// Writes baData to sPath (folders included); false when it cannot.
bool WriteFuzzFile(const QString &sPath, const QByteArray &baData);

inline QByteArray FuzzBytes(const uint8_t *pData, size_t nSize)
{
    return QByteArray(reinterpret_cast<const char *>(pData), static_cast<int>(nSize));
}

// A broken invariant of the code under test: report it and stop, so that the
// fuzzer keeps the input and the replay test fails.
[[noreturn]] void FuzzFail(const char *pCondition, const char *pFile, int nLine);
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzFail(#condition, __FILE__, __LINE__);                                              \
    } while (0)
