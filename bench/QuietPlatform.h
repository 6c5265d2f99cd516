#pragma once
// The benchmarks run the main window unattended: every question gets its
// default answer, nothing is launched, and the run counts as online.
#include <windows.h>

#include <string>

#include "common/Platform.h"

namespace mf::bench {

class QuietPlatform : public IPlatform {
 public:
  int ShowMessageBox(HWND, const std::wstring&, const std::wstring&, UINT type) override {
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
  INT_PTR ShellOpen(HWND, const std::wstring&, const std::wstring&, const std::wstring&,
                    const std::wstring&, int) override {
    return 42;
  }
  std::wstring PickFolder(HWND, const std::wstring&, UINT) override { return {}; }
  bool IsOnline() override { return true; }
};

}  // namespace mf::bench
