#pragma once
// Bytes in a named encoding to UTF-16 and back, for text that arrives from
// the network: pages, header values, escaped addresses.
#include <optional>
#include <string>
#include <string_view>

namespace mf {

// Code page numbers as MultiByteToWideChar knows them, and two it does not:
// UTF-16 in either byte order is decoded here.
constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageWindows1252 = 1252;
constexpr unsigned kCodePageUtf16Le = 1200;
constexpr unsigned kCodePageUtf16Be = 1201;

// The bytes as UTF-8; nothing when they are not valid UTF-8.
std::optional<std::wstring> FromUtf8Strict(std::string_view bytes);
// The bytes in the code page; bytes it cannot map become U+FFFD (or the
// code page's own default). An unknown code page decodes as UTF-8.
std::wstring FromCodePage(unsigned codePage, std::string_view bytes);
// Whether this system can decode the code page.
bool CanDecode(unsigned codePage);
std::string ToUtf8(std::wstring_view text);

}  // namespace mf
