#include "common/Uri.h"

#include <algorithm>

#include "common/Text.h"
#include "common/TextCodec.h"

namespace mf {
namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsScheme(std::wstring_view text) {
  if (text.empty() || !IsAsciiLetter(text[0])) return false;
  for (wchar_t c : text)
    if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'+' && c != L'-' && c != L'.') return false;
  return true;
}

// RFC 3986 section 5.2.3.
std::wstring Merge(const UriParts& base, std::wstring_view path) {
  if (base.authority && base.path.empty()) return L"/" + std::wstring(path);
  size_t slash = base.path.rfind(L'/');
  if (slash == std::wstring::npos) return std::wstring(path);
  return base.path.substr(0, slash + 1) + std::wstring(path);
}

bool StartsWith(std::wstring_view text, size_t at, std::wstring_view what) {
  return text.substr(at, what.size()) == what;
}

void RemoveLastSegment(std::wstring& output) {
  size_t slash = output.rfind(L'/');
  output.erase(slash == std::wstring::npos ? 0 : slash);
}

// "[::1]:8080" or "name:8080" or "name": the host and the port text.
bool SplitHostPort(std::wstring_view hostPort, std::wstring& host, std::wstring_view& port) {
  port = {};
  if (!hostPort.empty() && hostPort[0] == L'[') {
    size_t close = hostPort.find(L']');
    if (close == std::wstring_view::npos) return false;
    host = hostPort.substr(1, close - 1);
    std::wstring_view rest = hostPort.substr(close + 1);
    if (!rest.empty() && rest[0] != L':') return false;
    if (!rest.empty()) port = rest.substr(1);
    return true;
  }
  size_t colon = hostPort.rfind(L':');
  host = hostPort.substr(0, colon);
  if (colon != std::wstring_view::npos) port = hostPort.substr(colon + 1);
  return true;
}

std::optional<uint16_t> PortNumber(std::wstring_view text, uint16_t standard) {
  if (text.empty()) return standard;  // "http://h:/" is allowed and means the default
  if (text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (wchar_t c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

void FlushBytes(std::string& bytes, std::wstring& out) {
  if (bytes.empty()) return;
  std::optional<std::wstring> utf8 = FromUtf8Strict(bytes);
  out += utf8 ? *utf8 : FromCodePage(kCodePageWindows1252, bytes);
  bytes.clear();
}

}  // namespace

UriParts ParseUriReference(std::wstring_view reference) {
  UriParts parts;
  std::wstring_view rest = reference;
  size_t colon = rest.find_first_of(L":/?#");
  if (colon != std::wstring_view::npos && rest[colon] == L':' && IsScheme(rest.substr(0, colon))) {
    parts.scheme = rest.substr(0, colon);
    rest.remove_prefix(colon + 1);
  }
  if (rest.substr(0, 2) == L"//") {
    size_t end = std::min(rest.find_first_of(L"/?#", 2), rest.size());
    parts.authority = rest.substr(2, end - 2);
    rest.remove_prefix(end);
  }
  size_t end = std::min(rest.find_first_of(L"?#"), rest.size());
  parts.path = rest.substr(0, end);
  rest.remove_prefix(end);
  if (!rest.empty() && rest[0] == L'?') {
    end = std::min(rest.find(L'#'), rest.size());
    parts.query = rest.substr(1, end - 1);
    rest.remove_prefix(end);
  }
  if (!rest.empty()) parts.fragment = rest.substr(1);
  return parts;
}

std::wstring RecomposeUri(const UriParts& parts) {
  std::wstring out;
  if (parts.scheme) out += *parts.scheme + L":";
  if (parts.authority) out += L"//" + *parts.authority;
  out += parts.path;
  if (parts.query) out += L"?" + *parts.query;
  if (parts.fragment) out += L"#" + *parts.fragment;
  return out;
}

std::wstring RemoveDotSegments(std::wstring_view path) {
  std::wstring output;
  size_t i = 0;
  while (i < path.size()) {
    std::wstring_view rest = path.substr(i);
    if (StartsWith(path, i, L"../")) {
      i += 3;
    } else if (StartsWith(path, i, L"./") || StartsWith(path, i, L"/./")) {
      i += 2;  // "/./" leaves its last "/" in front of the rest
    } else if (rest == L"/.") {
      output += L'/';
      i = path.size();
    } else if (StartsWith(path, i, L"/../")) {
      i += 3;
      RemoveLastSegment(output);
    } else if (rest == L"/..") {
      RemoveLastSegment(output);
      output += L'/';
      i = path.size();
    } else if (rest == L"." || rest == L"..") {
      i = path.size();
    } else {
      size_t next = path.find(L'/', i + 1);
      if (next == std::wstring_view::npos) next = path.size();
      output += path.substr(i, next - i);
      i = next;
    }
  }
  return output;
}

std::wstring ResolveReference(std::wstring_view base, std::wstring_view reference) {
  const UriParts r = ParseUriReference(reference);
  if (r.scheme) {
    UriParts t = r;
    t.path = RemoveDotSegments(r.path);
    return RecomposeUri(t);
  }
  const UriParts b = ParseUriReference(base);
  UriParts t;
  t.scheme = b.scheme;
  t.fragment = r.fragment;
  if (r.authority) {
    t.authority = r.authority;
    t.path = RemoveDotSegments(r.path);
    t.query = r.query;
    return RecomposeUri(t);
  }
  t.authority = b.authority;
  if (r.path.empty()) {
    t.path = b.path;
    t.query = r.query ? r.query : b.query;
  } else {
    t.path = RemoveDotSegments(r.path[0] == L'/' ? r.path : Merge(b, r.path));
    t.query = r.query;
  }
  return RecomposeUri(t);
}

std::optional<WebAddress> SplitWebAddress(std::wstring_view address) {
  const UriParts parts = ParseUriReference(address);
  if (!parts.scheme || !parts.authority) return std::nullopt;
  WebAddress web;
  std::wstring scheme = AsciiLowerText(*parts.scheme);
  if (scheme != L"http" && scheme != L"https") return std::nullopt;
  web.secure = scheme == L"https";
  std::wstring_view authority = *parts.authority;
  size_t at = authority.rfind(L'@');
  if (at != std::wstring_view::npos) authority.remove_prefix(at + 1);
  std::wstring_view portText;
  if (!SplitHostPort(authority, web.host, portText) || web.host.empty()) return std::nullopt;
  std::optional<uint16_t> port = PortNumber(portText, web.secure ? 443 : 80);
  if (!port) return std::nullopt;
  web.port = *port;
  web.target = parts.path.empty() ? L"/" : parts.path;
  if (parts.query) web.target += L"?" + *parts.query;
  return web;
}

bool IsWebAddress(std::wstring_view address) { return SplitWebAddress(address).has_value(); }

std::wstring DecodePathSegment(std::wstring_view segment) {
  std::wstring out;
  std::string bytes;  // a run of escaped and plain ASCII bytes, decoded together
  for (size_t i = 0; i < segment.size(); ++i) {
    wchar_t c = segment[i];
    if (c == L'%' && i + 2 < segment.size() && HexDigitValue(segment[i + 1]) >= 0 &&
        HexDigitValue(segment[i + 2]) >= 0) {
      bytes +=
          static_cast<char>(HexDigitValue(segment[i + 1]) * 16 + HexDigitValue(segment[i + 2]));
      i += 2;
    } else if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else {
      FlushBytes(bytes, out);
      out += c;
    }
  }
  FlushBytes(bytes, out);
  return out;
}

}  // namespace mf
