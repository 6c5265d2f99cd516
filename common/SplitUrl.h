#pragma once
// Cutting an address into the host and path that a connection needs.
#include <cstdint>
#include <string>

namespace mf {

// A leading "http://" (any letter case) is dropped; the host runs up to the
// first "/", the path is the rest from that "/" on. An address without "/" is
// all host and leaves `path` as it was. Nothing else is recognised: a port
// stays in the host, and so does any other scheme.
void SplitUrl(const std::wstring& url, std::wstring& host, std::wstring& path);

// A host part as SplitUrl leaves it, cut for a connection: "name:port" gives
// the name and the port; without a port (or with one that is not a number
// from 1 to 65535) the whole host is the name and the port is 0, the
// service's default.
struct HostAndPort {
  std::wstring name;
  uint16_t port = 0;
};
HostAndPort SplitHostPort(const std::wstring& host);

}  // namespace mf
