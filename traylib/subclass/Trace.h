#pragma once
// Diagnostic trace of the library. The delivered library discards every line;
// a listener may be set on a thread to look at them.
#include <string>

namespace sd::trace {

using Listener = void (*)(void* context, const std::wstring& line);

// Sets (or, with nullptr, clears) the current thread's listener.
void SetListener(Listener listener, void* context) noexcept;
void Write(const std::wstring& line);

}  // namespace sd::trace
