#pragma once

// The program's start-up, event loop and orderly end; main() only calls this.
// Returns the event loop's result, or 0 when another copy already runs.
int RunUpdateAssist(int argc, char *argv[]);
