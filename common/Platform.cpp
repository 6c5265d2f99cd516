#include "common/Platform.h"

#include <shlobj.h>
#include <wininet.h>

#include "common/Text.h"

namespace mf {
namespace {

class RealPlatform final : public IPlatform {
 public:
  int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title,
                     UINT type) override {
    return MessageBoxA(owner, ToAnsi(text).c_str(), ToAnsi(title).c_str(), type);
  }

  INT_PTR ShellOpen(HWND owner, const std::wstring& verb, const std::wstring& file,
                    const std::wstring& parameters, const std::wstring& directory,
                    int show) override {
    std::string v = ToAnsi(verb), f = ToAnsi(file), p = ToAnsi(parameters), d = ToAnsi(directory);
    HINSTANCE r = ShellExecuteA(owner, v.empty() ? nullptr : v.c_str(), f.c_str(),
                                p.empty() ? nullptr : p.c_str(), d.empty() ? nullptr : d.c_str(),
                                show);
    return reinterpret_cast<INT_PTR>(r);
  }

  std::wstring PickFolder(HWND owner, const std::wstring& title, UINT flags) override {
    std::string ansiTitle = ToAnsi(title);
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = nullptr;  // the desktop
    bi.lpszTitle = ansiTitle.c_str();
    bi.ulFlags = flags;
    // The new dialog style needs COM on this thread (SHBrowseForFolder docs).
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring result;
    if (LPITEMIDLIST item = SHBrowseForFolderA(&bi)) {
      char path[260] = {};
      if (SHGetPathFromIDListA(item, path)) result = FromAnsi(path);
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
