#pragma once
// The proxy the user set for the system (Internet Options' manual proxy
// server and its exceptions): which server a connection goes through.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Uri.h"

namespace mf {

struct ProxyServer {
  std::wstring host;
  uint16_t port = 80;
};

struct ProxySettings {
  std::optional<ProxyServer> http, https;
  std::vector<std::wstring> bypass;  // host patterns with "*", and "<local>"
  // The proxy a connection to this address goes through; none: straight.
  std::optional<ProxyServer> For(const WebAddress& address) const;
};

// "proxy:8080" or "http=p1:80;https=p2:443" with the exceptions
// "*.example.com;<local>", as the system keeps them.
ProxySettings ParseProxySettings(const std::wstring& proxy, const std::wstring& bypass);
// The current user's settings; none when no manual proxy is set.
ProxySettings SystemProxy();

}  // namespace mf
