#pragma once
// Web addresses as RFC 3986 defines them: a reference cut into its parts,
// a relative reference resolved against a base (pages, redirects), and an
// http or https address cut for a connection.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The five parts of a URI reference (RFC 3986 section 3, the regular
// expression of its Appendix B). A part that is absent differs from one that
// is present but empty: "http://h/p?" has an empty query, "http://h/p" none.
struct UriParts {
  std::optional<std::wstring> scheme;     // without the ":"
  std::optional<std::wstring> authority;  // without the "//"
  std::wstring path;
  std::optional<std::wstring> query;     // without the "?"
  std::optional<std::wstring> fragment;  // without the "#"
};

// A text before the first ":" that is not a scheme (it must start with a
// letter and hold only letters, digits, "+", "-" and ".") leaves the
// reference without a scheme: it is then a path.
UriParts ParseUriReference(std::wstring_view reference);
// The parts joined again (RFC 3986 section 5.3).
std::wstring RecomposeUri(const UriParts& parts);
// "." and ".." segments removed from a path (RFC 3986 section 5.2.4).
std::wstring RemoveDotSegments(std::wstring_view path);
// The reference resolved against the base address (RFC 3986 section 5.2,
// the strict parser: a reference with a scheme is taken as it is).
std::wstring ResolveReference(std::wstring_view base, std::wstring_view reference);

// An http or https address cut for a connection.
struct WebAddress {
  bool secure = false;  // https
  std::wstring host;    // IPv6 literals without their brackets; no user name
  uint16_t port = 0;    // as written, else 443 for https and 80 for http
  std::wstring target;  // path and query ("/" for an empty path); no fragment
};
// Nothing when the address is not http or https (any letter case), has no
// host, or has a port that is not a number from 1 to 65535.
std::optional<WebAddress> SplitWebAddress(std::wstring_view address);
bool IsWebAddress(std::wstring_view address);

// A path segment's "%XX" escapes as bytes, read as UTF-8 (as Windows-1252
// when they are not valid UTF-8, as old servers send them). Other characters
// stay; a "%" without two hexadecimal digits stays as it is.
std::wstring DecodePathSegment(std::wstring_view segment);

}  // namespace mf
