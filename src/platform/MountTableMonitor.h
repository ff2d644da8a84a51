#pragma once
// A handle that signals changes of the mount table without polling.

// Returns a file descriptor that reports an exceptional condition (POLLPRI)
// whenever a file system is mounted or unmounted, or -1 where the platform has
// no such handle (on Windows volume changes arrive as window messages instead).
int OpenMountTableMonitor();
void CloseMountTableMonitor(int nHandle);
