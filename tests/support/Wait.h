#pragma once
// Waiting for a condition while the thread's messages keep flowing.
#include <windows.h>

#include <functional>
#include <optional>

namespace mf::test {

// Dispatches messages until `done` is true or `timeoutMs` has passed.
// Returns whether the condition was met.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches messages for the given time.
void PumpFor(DWORD ms);

// Begins an operation that answers through a callback, and dispatches
// messages until it has: the answer (T{} when none came in time).
template <typename T, typename Begin>
T Await(Begin begin, DWORD timeoutMs = 30000) {
  std::optional<T> answer;
  begin([&answer](const T& value) { answer = value; });
  PumpUntil([&answer] { return answer.has_value(); }, timeoutMs);
  return answer.value_or(T{});
}

}  // namespace mf::test
