#pragma once
// Text crosses into the window system's ANSI entry points here.
#include <string>

namespace sd {

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// Copies `text` in the ANSI code page into a fixed field of `size` bytes,
// always ending it with a NUL: a longer text is cut at a character boundary.
void ToAnsiField(const std::wstring& text, char* field, size_t size);

}  // namespace sd
