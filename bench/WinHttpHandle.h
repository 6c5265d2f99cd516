#pragma once
// Owner of a WinHTTP handle (session, connection or request), in the manner
// of common/Handles.h.
#include <windows.h>
#include <winhttp.h>

#include "common/Handles.h"

namespace mf {

struct WinHttpHandleTraits {
  using type = HINTERNET;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueWinHttp = UniqueHandle<WinHttpHandleTraits>;

}  // namespace mf
