#pragma once
// Facts about the library module itself: its instance, its file name and its
// application title.
#include <windows.h>

#include <string>

namespace sd {

// The application title the library shows where a caller gave no text.
inline constexpr wchar_t kAppTitle[] = L"Quenbrook";

// The module that holds the library's code (the DLL, or the program it is linked into).
HINSTANCE LibraryInstance() noexcept;
// The module's file name without folder and extension, e.g. "Sabledrift".
std::wstring LibraryBaseName();

}  // namespace sd
