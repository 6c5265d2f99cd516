#pragma once
// The engine's operations as methods of an object, for callers that hold the
// engine as an object rather than calling the module.
#include <windows.h>

#include "traylib/subclass/MSubclass.h"

namespace sd {

class GSubclass {
 public:
  bool IsWindowLocal(HWND hwnd) const { return MSubclass::IsWindowLocal(hwnd); }
  bool InIDE() const { return MSubclass::InIDE(); }
  void AttachMessage(ISubclass* client, HWND hwnd, UINT iMsg) const {
    MSubclass::AttachMessage(client, hwnd, iMsg);
  }
  void DetachMessage(ISubclass* client, HWND hwnd, UINT iMsg) const noexcept {
    MSubclass::DetachMessage(client, hwnd, iMsg);
  }
  UINT CurrentMessage() const noexcept { return MSubclass::CurrentMessage(); }
  LRESULT CallOldWindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) const {
    return MSubclass::CallOldWindowProc(hwnd, iMsg, wParam, lParam);
  }
};

}  // namespace sd
