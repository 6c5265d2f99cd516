#include "resolver/UnescapeUrl.h"

#include <shlwapi.h>
#include <windows.h>

#include "common/Text.h"

namespace mf {

std::optional<std::string> UnescapeUrlBytes(std::string_view address) {
  if (address.empty()) return std::string();
  // The call reads up to the first NUL; a NUL inside would cut the address short.
  if (address.find('\0') != std::string_view::npos) return std::nullopt;
  std::string in(address);  // UrlUnescapeA wants a writable, terminated string
  char out[kMaxUnescapedLength + 1] = {};
  DWORD count = sizeof out;
  // URL_DONT_SIMPLIFY: the part after "?" is decoded as well (UrlUnescape docs).
  if (FAILED(UrlUnescapeA(in.data(), out, &count, URL_DONT_SIMPLIFY))) return std::nullopt;
  if (count > kMaxUnescapedLength) return std::nullopt;
  return std::string(out, count);
}

std::wstring UnescapeUrl(const std::wstring& address) {
  std::optional<std::string> decoded = UnescapeUrlBytes(ToAnsi(address));
  return decoded ? FromAnsi(*decoded) : std::wstring();
}

}  // namespace mf
