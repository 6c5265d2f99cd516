#pragma once
// Waiting for a condition while the thread's messages keep flowing.
#include <windows.h>

#include <functional>

namespace mf::test {

// Dispatches messages until `done` is true or `timeoutMs` has passed.
// Returns whether the condition was met.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches messages for the given time.
void PumpFor(DWORD ms);

}  // namespace mf::test
