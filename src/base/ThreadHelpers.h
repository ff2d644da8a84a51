#pragma once
#include <functional>

// Runs function once on a fresh QThread that deletes itself afterwards.
// Returns false when the thread could not be started.
bool RunOnNewThread(std::function<void()> function);
