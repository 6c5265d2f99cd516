// Answers the installer test's questions from inside the Wine prefix, one
// line per question, "question<TAB>answer":
//   window           "left top right bottom visible tray" of Marrowfin's main
//                    window (tray: 1 when the taskbar knows its icon), or "none"
//   watcher          1 while the clipboard watcher runs, else 0
//   class:PROGID     the file of the module that serves the class, or "none"
//   typelib          the registered file of the type library Quenbrook, or "none"
//   shortcut:PATH    the target of a shell link, or "none"
//   version:PATH     the file version of PATH, or "none"
//   hold             holds Marrowfin's single-instance mutex, as a Marrowfin
//                    that does not close would, until standard input ends
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT kTrayIconId = 999;  // the tray icon control's icon id
constexpr GUID kQuenbrookLibrary = {
    0xE0461D71, 0x0B0B, 0x472D, {0xB7, 0x86, 0x4C, 0xCF, 0xA7, 0x31, 0x76, 0x03}};

std::string Utf8(const std::wstring& s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, out.data(), n);
  return out;
}

// NIM_MODIFY with nothing to change succeeds only for an icon the taskbar has.
bool TaskbarKnowsIcon(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = owner;
  data.uID = kTrayIconId;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::string MainWindow() {
  HWND main = FindWindowA("MarrowfinMain", "Marrowfin");
  if (!main) return "none";
  RECT r{};
  GetWindowRect(main, &r);
  char text[96];
  std::snprintf(text, sizeof text, "%ld %ld %ld %ld %d %d", r.left, r.top, r.right, r.bottom,
                IsWindowVisible(main) ? 1 : 0, TaskbarKnowsIcon(main) ? 1 : 0);
  return text;
}

std::string WatcherRuns() {
  return FindWindowExA(HWND_MESSAGE, nullptr, "MarrowfinClipWatcher", nullptr) ? "1" : "0";
}

std::string ModuleFile(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  return GetModuleFileNameW(module, path, MAX_PATH) ? Utf8(path) : "none";
}

// Creates the object the way a host does and names the file its code is in.
std::string ClassModule(const std::string& progId) {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(Wide(progId).c_str(), &clsid))) return "none";
  IUnknown* object = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&object))))
    return "none";
  // The object's first word is its vtable, which lies in the serving module.
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      *reinterpret_cast<LPCWSTR*>(object), &module);
  std::string file = module ? ModuleFile(module) : "none";
  object->Release();
  return file;
}

std::string TypeLibraryFile() {
  BSTR path = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(kQuenbrookLibrary, 1, 0, LOCALE_NEUTRAL, &path))) return "none";
  std::string file = Utf8(path);
  SysFreeString(path);
  return file;
}

std::string ShortcutTarget(const std::string& link) {
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shellLink))))
    return "none";
  std::string target = "none";
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(Wide(link).c_str(), STGM_READ)) &&
        SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) && path[0])
      target = Utf8(path);
    file->Release();
  }
  shellLink->Release();
  return target;
}

std::string FileVersion(const std::string& file) {
  std::wstring name = Wide(file);
  DWORD size = GetFileVersionInfoSizeW(name.c_str(), nullptr);
  std::string block(size, '\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!size || !GetFileVersionInfoW(name.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return "none";
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                LOWORD(info->dwFileVersionLS));
  return text;
}

std::string HoldMutex() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "tallowmeremarrowfin");
  if (!mutex) return "failed";
  std::printf("hold\theld\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(mutex);
  return "released";
}

std::string Answer(const std::string& question) {
  auto colon = question.find(':');
  std::string kind = question.substr(0, colon);
  std::string subject = colon == std::string::npos ? "" : question.substr(colon + 1);
  if (kind == "window") return MainWindow();
  if (kind == "watcher") return WatcherRuns();
  if (kind == "class") return ClassModule(subject);
  if (kind == "typelib") return TypeLibraryFile();
  if (kind == "shortcut") return ShortcutTarget(subject);
  if (kind == "version") return FileVersion(subject);
  if (kind == "hold") return HoldMutex();
  return "unknown question";
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (int i = 1; i < argc; ++i) std::printf("%s\t%s\n", argv[i], Answer(argv[i]).c_str());
  CoUninitialize();
  return 0;
}
