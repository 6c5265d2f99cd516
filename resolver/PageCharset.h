#pragma once
// Page bytes to text by the encoding the page declares.
#include <string>
#include <string_view>

namespace mf {

// The code page of a charset label ("utf-8", "ISO-8859-1", "shift_jis"...),
// 0 when unknown. Labels name what browsers decode: "iso-8859-1" and
// "us-ascii" are read as Windows-1252.
unsigned CodePageOfCharset(std::wstring_view label);

// The "charset" parameter of a Content-Type value; empty when none.
std::wstring CharsetOfContentType(std::wstring_view contentType);

// The page's code page: a byte order mark first, then the charset of the
// HTTP Content-Type, then a <meta charset> or <meta http-equiv content>
// near the start of the page; UTF-8 when none names one this system knows.
unsigned PageCodePage(std::string_view page, std::wstring_view contentType);

// The page as text in that code page (without its byte order mark).
std::wstring DecodePage(std::string_view page, std::wstring_view contentType);

}  // namespace mf
