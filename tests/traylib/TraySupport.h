#pragma once
// What the library's tests share: a window of the test whose own procedure
// records what reaches it, the engine's properties on a window, a recorder in
// the Shell_NotifyIconA door, a log of icon events, and the helper program.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "traylib/trayicon/ITrayIconEvents.h"
#include "traylib/trayicon/NotifyIcon.h"

namespace sd::test {

// A top-level window of this thread. Its procedure (the one any subclassing
// replaces) notes every message from WM_APP up, and WM_TIMER and the icon's
// callback message, in `log` as "old <message>", and answers `answer` to them.
class TestWindow {
 public:
  explicit TestWindow(std::vector<std::string>* log = nullptr, bool unicode = false);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const noexcept { return hwnd_; }
  // The procedure the window was created with.
  LONG_PTR OriginalProc() const noexcept { return original_; }
  void Destroy();

  LRESULT answer = 99;
  // Sees every message that reaches the window's own procedure.
  std::function<void(UINT, WPARAM, LPARAM)> onMessage;
  std::vector<std::string>* log;
  // (message, wParam, lParam) of the noted messages.
  struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Seen> seen;

 private:
  static LRESULT CALLBACK ProcA(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK ProcW(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
  HWND hwnd_ = nullptr;
  LONG_PTR original_ = 0;
};

// A host's own subclassing, installed the usual way on top of whatever the
// window has (the engine's procedure included) while it lives: it notes the
// messages TestWindow notes, and WM_NCDESTROY, as "hook <message>" and calls
// the procedure it replaced.
class HostHook {
 public:
  HostHook(HWND hwnd, std::vector<std::string>* log);
  ~HostHook();
  HostHook(const HostHook&) = delete;
  HostHook& operator=(const HostHook&) = delete;
  static LONG_PTR Proc() noexcept { return reinterpret_cast<LONG_PTR>(&Hook); }

 private:
  static LRESULT CALLBACK Hook(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_;
  std::vector<std::string>* log_;
  WNDPROC previous_;
};

// The window's properties that look like the engine's keys (digits, '-', '#', 'C').
using Props = std::map<std::string, LONG_PTR>;
Props EngineProps(HWND hwnd);
// The engine's key names for a window and message.
std::string HandleKey(HWND hwnd);
std::string AttachKey(HWND hwnd);
std::string MessageKey(HWND hwnd, UINT msg);

// One call that reached the Shell_NotifyIconA door.
struct NotifyCall {
  DWORD message;
  NOTIFYICONDATAA data;
  BOOL result;
  std::string Tip() const { return data.szTip; }
  std::string Info() const { return data.szInfo; }
  std::string InfoTitle() const { return data.szInfoTitle; }
};

// Sits in the door while it lives, recording every call and passing it on to
// `forward` (the shell's own function unless replaced).
class NotifyRecorder : public INotifyIconSeam {
 public:
  NotifyRecorder();
  ~NotifyRecorder();
  BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override;

  std::function<BOOL(DWORD, NOTIFYICONDATAA&)> forward;
  std::vector<NotifyCall> calls;

 private:
  INotifyIconSeam* previous_;
};

struct EventLog : ITrayIconEvents {
  std::vector<std::string> events;
  std::function<void(const std::string&)> onEvent;
  void TrayMouseEvent(LONG e) override { Add("mouse " + std::to_string(e)); }
  void TrayKeyEvent(LONG e) override { Add("key " + std::to_string(e)); }
  void TrayIconMoved(LONG x, LONG y) override {
    Add("moved " + std::to_string(x) + "," + std::to_string(y));
  }
  void BalloonClick(LONG e) override { Add("balloon " + std::to_string(e)); }
  void TaskBarRecreated() override { Add("recreated"); }
  void Add(const std::string& e) {
    events.push_back(e);
    if (onEvent) onEvent(e);
  }
};

// Starts traylib_standin with `args` and reads its "ready" line into `fields`
// (name=value pairs; a lone value is stored under "hwnd").
bool StartHelper(mf::test::ChildProcess& child, const std::wstring& args,
                 std::map<std::string, HWND>& fields);

}  // namespace sd::test
