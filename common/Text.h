#pragma once
// Text helpers. The program holds text as UTF-16 and calls the system's wide
// entry points with names and paths; the ANSI conversions (shared with
// Sabledrift) are for text that arrives or leaves as bytes of the system's code page.
#include <string>
#include <string_view>

#include "base/AnsiText.h"

namespace mf {

using base::FromAnsi;
using base::ToAnsi;

std::wstring LowerCase(std::wstring_view text);
// Position of `what` in `text` at or after `from`, ignoring letter case;
// npos when absent.
size_t FindNoCase(std::wstring_view text, std::wstring_view what, size_t from = 0);
// Leading and trailing blanks (U+0020 only, as the design's Trim) removed.
std::wstring TrimSpaces(std::wstring_view text);
// Only A to Z lowered: names of protocols and markup, whatever the user's locale.
std::wstring AsciiLowerText(std::wstring_view text);
// The value of a hexadecimal digit; -1 for any other character.
int HexDigitValue(wchar_t c);

}  // namespace mf
