#pragma once
// Text crosses into the window system's ANSI entry points here; the
// conversions themselves are shared with the program (base/).
#include <string>

#include "base/AnsiText.h"

namespace sd {

using base::FromAnsi;
using base::ToAnsi;

// Copies `text` in the ANSI code page into a fixed field of `size` bytes,
// always ending it with a NUL: a longer text is cut at a character boundary.
void ToAnsiField(const std::wstring& text, char* field, size_t size);

}  // namespace sd
