#include "traylib/subclass/Trace.h"

namespace sd::trace {

namespace {
thread_local Listener t_listener = nullptr;
thread_local void* t_context = nullptr;
}  // namespace

void SetListener(Listener listener, void* context) noexcept {
  t_listener = listener;
  t_context = context;
}

void Write(const std::wstring& line) {
  if (t_listener) t_listener(t_context, line);
}

}  // namespace sd::trace
