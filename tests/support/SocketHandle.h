#pragma once
// Owner of a Winsock socket, in the manner of common/Handles.h.
#include <winsock2.h>

#include "common/Handles.h"

namespace mf::test {

struct SocketTraits {
  using type = SOCKET;
  static type invalid() noexcept { return INVALID_SOCKET; }
  static void close(type s) noexcept { ::closesocket(s); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

}  // namespace mf::test
