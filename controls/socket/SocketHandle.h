#pragma once
// Owner of a Winsock SOCKET, in the manner of common/Handles.h (its invalid
// value is INVALID_SOCKET, not null).
#include <winsock2.h>

#include "common/Handles.h"

namespace mf {

struct SocketTraits {
  using type = SOCKET;
  static type invalid() noexcept { return INVALID_SOCKET; }
  static void close(type s) noexcept { ::closesocket(s); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

}  // namespace mf
