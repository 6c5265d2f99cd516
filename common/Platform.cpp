#include "common/Platform.h"

#include <shlobj.h>
#include <wininet.h>

namespace mf {
namespace {

class RealPlatform final : public IPlatform {
 public:
  int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title,
                     UINT type) override {
    return MessageBoxW(owner, text.c_str(), title.c_str(), type);
  }

  INT_PTR ShellOpen(HWND owner, const std::wstring& verb, const std::wstring& file,
                    const std::wstring& parameters, const std::wstring& directory,
                    int show) override {
    const auto orNull = [](const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); };
    HINSTANCE r = ShellExecuteW(owner, orNull(verb), file.c_str(), orNull(parameters),
                                orNull(directory), show);
    return reinterpret_cast<INT_PTR>(r);
  }

  std::wstring PickFolder(HWND owner, const std::wstring& title, UINT flags) override {
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = nullptr;  // the desktop
    bi.lpszTitle = title.c_str();
    bi.ulFlags = flags;
    // The new dialog style needs COM on this thread (SHBrowseForFolder docs).
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring result;
    if (LPITEMIDLIST item = SHBrowseForFolderW(&bi)) {
      wchar_t path[MAX_PATH] = {};
      if (SHGetPathFromIDListW(item, path)) result = path;
      CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
  }

  bool IsOnline() override {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
  }
};

RealPlatform g_real;
IPlatform* g_current = &g_real;

}  // namespace

IPlatform& Platform() { return *g_current; }

ScopedPlatform::ScopedPlatform(IPlatform& replacement) : previous_(g_current) {
  g_current = &replacement;
}
ScopedPlatform::~ScopedPlatform() { g_current = previous_; }

}  // namespace mf
