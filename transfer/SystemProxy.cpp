#include "transfer/SystemProxy.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

#include "common/Text.h"

namespace mf {
namespace {

std::vector<std::wstring> Split(const std::wstring& text, const wchar_t* separators) {
  std::vector<std::wstring> parts;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find_first_of(separators, at), text.size());
    if (end > at) parts.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

std::optional<ProxyServer> Server(std::wstring text) {
  if (const size_t scheme = text.find(L"://"); scheme != std::wstring::npos)
    text = text.substr(scheme + 3);
  ProxyServer server{.host = text};
  if (const size_t colon = text.rfind(L':'); colon != std::wstring::npos) {
    server.host = text.substr(0, colon);
    server.port = static_cast<uint16_t>(std::wcstoul(text.c_str() + colon + 1, nullptr, 10));
  }
  if (server.host.empty() || server.port == 0) return std::nullopt;
  return server;
}

// "*" stands for any run of characters; letter case does not count.
bool Matches(std::wstring_view pattern, std::wstring_view host) {
  if (pattern.empty()) return host.empty();
  if (pattern.front() == L'*')
    return Matches(pattern.substr(1), host) || (!host.empty() && Matches(pattern, host.substr(1)));
  return !host.empty() && towlower(pattern.front()) == towlower(host.front()) &&
         Matches(pattern.substr(1), host.substr(1));
}

}  // namespace

std::optional<ProxyServer> ProxySettings::For(const WebAddress& address) const {
  const std::optional<ProxyServer>& proxy = address.secure ? https : http;
  if (!proxy) return std::nullopt;
  for (const std::wstring& pattern : bypass) {
    const bool local = pattern == L"<local>" && (address.host.find(L'.') == std::wstring::npos ||
                                                 address.host == L"127.0.0.1");
    if (local || Matches(pattern, address.host)) return std::nullopt;
  }
  return proxy;
}

ProxySettings ParseProxySettings(const std::wstring& proxy, const std::wstring& bypass) {
  ProxySettings settings;
  for (const std::wstring& entry : Split(proxy, L"; ")) {
    const size_t equals = entry.find(L'=');
    if (equals == std::wstring::npos) {
      settings.http = settings.https = Server(entry);
    } else if (const std::wstring scheme = AsciiLowerText(entry.substr(0, equals));
               scheme == L"http") {
      settings.http = Server(entry.substr(equals + 1));
    } else if (scheme == L"https") {
      settings.https = Server(entry.substr(equals + 1));
    }
  }
  settings.bypass = Split(bypass, L"; ");
  return settings;
}

ProxySettings SystemProxy() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG system{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&system)) return {};
  ProxySettings settings;
  if (system.lpszProxy)
    settings =
        ParseProxySettings(system.lpszProxy, system.lpszProxyBypass ? system.lpszProxyBypass : L"");
  for (LPWSTR text : {system.lpszAutoConfigUrl, system.lpszProxy, system.lpszProxyBypass})
    if (text) GlobalFree(text);
  return settings;
}

}  // namespace mf
