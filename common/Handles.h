#pragma once
// The handle kinds only the program holds, beside the owners it shares with
// Sabledrift (base/), which are named here as the program's own.
#include <windows.h>

#include "base/ComPtr.h"
#include "base/Handles.h"

namespace mf {

using base::ComPtr;
using base::UniqueHandle;
using base::UniqueKernelHandle;
using base::UniqueRegKey;

// CreateFile and friends report failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { ::CloseHandle(h); }
};
struct WindowTraits {
  using type = HWND;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::DestroyWindow(h); }
};
struct GdiObjectTraits {
  using type = HGDIOBJ;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::DeleteObject(h); }
};
struct IconTraits {
  using type = HICON;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::DestroyIcon(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;

// Selects an object into a DC for the length of a scope and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace mf
