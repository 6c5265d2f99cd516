#include "traylib/Library.h"

// The linker's symbol for the start of the current module's image.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace sd {

HINSTANCE LibraryInstance() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring LibraryBaseName() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(LibraryInstance(), path, MAX_PATH);
  std::wstring name(path, n);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

}  // namespace sd
