#pragma once
// The calls that need a person or the outside world: message boxes, shell
// launches, the folder picker and the connectivity test. The program uses the
// real calls; a test installs its own implementation that answers and records.
#include <windows.h>

#include <string>

namespace mf {

class IPlatform {
 public:
  virtual ~IPlatform() = default;
  // MessageBoxW: returns the button chosen (IDOK, IDYES, IDNO...).
  virtual int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title,
                             UINT type) = 0;
  // ShellExecuteW: returns its result (above 32 on success).
  virtual INT_PTR ShellOpen(HWND owner, const std::wstring& verb, const std::wstring& file,
                            const std::wstring& parameters, const std::wstring& directory,
                            int show) = 0;
  // SHBrowseForFolderW rooted at the desktop, SHGetPathFromIDListW into 260
  // characters, CoTaskMemFree: the chosen folder, or empty when cancelled or failed.
  virtual std::wstring PickFolder(HWND owner, const std::wstring& title, UINT flags) = 0;
  // InternetGetConnectedState.
  virtual bool IsOnline() = 0;
};

// The platform in use: the real one unless a test has put its own in place.
IPlatform& Platform();

// Puts another platform in place for the life of this object (tests).
class ScopedPlatform {
 public:
  explicit ScopedPlatform(IPlatform& replacement);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  IPlatform* previous_;
};

}  // namespace mf
