#include "../FifoWatch.h"

// Windows has no FIFOs in its file system (its named pipes live apart, under \\.\pipe\): the
// watch is never valid there, and the tests that need one skip.

FifoWatch::FifoWatch(const QString &) {}

FifoWatch::~FifoWatch() = default;

bool FifoWatch::Opened()
{
    return false;
}
