// Clip.exe, the clipboard watcher. Started with the decimal handle of a window,
// it watches the clipboard (the system's clipboard listener, no polling) and
// sets that window's text (in UTF-16) to every address copied afterwards that
// Marrowfin downloads without asking (a page of its sites, a direct link to a
// video). Started with "Exit", it stops the watcher that runs. Only one
// watcher runs at a time: a second start with a handle hands the new window to
// the running one and ends.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/ClipboardText.h"
#include "common/TextCodec.h"
#include "monitor/clip/AddressFilter.h"
#include "resolver/SiteId.h"

namespace {

constexpr char kWatcherClass[] = "MarrowfinClipWatcher";
constexpr UINT kSetTarget = WM_APP + 1;  // wParam: the new window to deliver to

struct Watcher {
  HWND target = nullptr;
  DWORD startSequence = 0;
};

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return text;
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(owner)); ++attempt) Sleep(20);
  if (!open) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) text = mf::ClipboardBlockText(data);
  CloseClipboard();
  return text;
}

LRESULT CALLBACK WatcherProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* w = reinterpret_cast<Watcher*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_CLIPBOARDUPDATE: {
      // What was on the clipboard when the watcher started is never sent.
      if (!w || GetClipboardSequenceNumber() == w->startSequence) return 0;
      // The filter reads addresses as bytes; UTF-8 keeps every character of one.
      std::string address;
      if (!mf::clip::SingleWebAddress(mf::ToUtf8(ClipboardText(hwnd)), address)) return 0;
      const std::wstring text = mf::FromUtf8Strict(address).value_or(std::wstring());
      // Only what Marrowfin downloads without asking, a page of one of its
      // sites or a video's own address, never every link copied.
      if (mf::IsAutomaticAddress(text) && IsWindow(w->target)) {
        // In UTF-16 to the box, which takes it so: an address in any script arrives whole.
        SendMessageTimeoutW(w->target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, 5000, nullptr);
      }
      return 0;
    }
    case kSetTarget:
      if (w) w->target = reinterpret_cast<HWND>(wParam);
      return 0;
    case WM_DESTROY:
      RemoveClipboardFormatListener(hwnd);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

HWND RunningWatcher() { return FindWindowExA(HWND_MESSAGE, nullptr, kWatcherClass, nullptr); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  std::string arg = commandLine ? commandLine : "";
  while (!arg.empty() && (arg.back() == ' ' || arg.back() == '"')) arg.pop_back();
  while (!arg.empty() && (arg.front() == ' ' || arg.front() == '"')) arg.erase(0, 1);

  if (lstrcmpiA(arg.c_str(), "Exit") == 0) {
    if (HWND running = RunningWatcher()) PostMessageA(running, WM_CLOSE, 0, 0);
    return 0;
  }
  char* end = nullptr;
  unsigned long long handle = std::strtoull(arg.c_str(), &end, 10);
  if (arg.empty() || *end != '\0') return 1;
  HWND target = reinterpret_cast<HWND>(static_cast<UINT_PTR>(handle));

  // One watcher at a time, named so a second start finds the first.
  HANDLE once = CreateMutexA(nullptr, FALSE, "MarrowfinClipWatcherOnce");
  if (once && GetLastError() == ERROR_ALREADY_EXISTS) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (HWND running = RunningWatcher()) {
        PostMessageA(running, kSetTarget, reinterpret_cast<WPARAM>(target), 0);
        return 0;
      }
      Sleep(20);  // the first one is still starting
    }
    return 1;
  }

  WNDCLASSA wc{};
  wc.lpfnWndProc = WatcherProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWatcherClass;
  RegisterClassA(&wc);
  Watcher watcher;
  watcher.target = target;
  watcher.startSequence = GetClipboardSequenceNumber();
  HWND hwnd = CreateWindowExA(0, kWatcherClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
  if (!hwnd) return 1;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&watcher));
  if (!AddClipboardFormatListener(hwnd)) return 1;

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  if (once) CloseHandle(once);
  return 0;
}
