#pragma once
// Owner of a WinINet handle (session, connection, request or URL), in the
// manner of common/Handles.h.
#include <windows.h>
#include <wininet.h>

#include "common/Handles.h"

namespace mf {

struct InternetHandleTraits {
  using type = HINTERNET;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetHandleTraits>;

}  // namespace mf
