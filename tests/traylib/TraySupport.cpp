#include "tests/traylib/TraySupport.h"

#include <cstdlib>
#include <sstream>

namespace sd::test {

namespace {
const char kClassA[] = "SdTestWindowA";
const wchar_t kClassW[] = L"SdTestWindowW";

bool Noted(UINT msg) { return msg >= WM_APP || msg == WM_TIMER || msg == WM_USER + 1; }
}  // namespace

TestWindow::TestWindow(std::vector<std::string>* log_, bool unicode) : log(log_) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  if (unicode) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProcW;
    wc.hInstance = inst;
    wc.lpszClassName = kClassW;
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, kClassW, L"test", WS_POPUP, 40, 40, 20, 20, nullptr, nullptr, inst,
                            this);
    original_ = GetWindowLongPtrW(hwnd_, GWLP_WNDPROC);
  } else {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProcA;
    wc.hInstance = inst;
    wc.lpszClassName = kClassA;
    RegisterClassA(&wc);
    hwnd_ =
        CreateWindowExA(0, kClassA, "test", WS_POPUP, 40, 40, 20, 20, nullptr, nullptr, inst, this);
    original_ = GetWindowLongPtrA(hwnd_, GWLP_WNDPROC);
  }
}

TestWindow::~TestWindow() { Destroy(); }

void TestWindow::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT TestWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (onMessage) onMessage(msg, wParam, lParam);
  *handled = false;
  if (!Noted(msg)) return 0;
  seen.push_back({msg, wParam, lParam});
  if (log) log->push_back("old " + std::to_string(msg));
  *handled = msg >= WM_APP;
  return answer;
}

static TestWindow* Self(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return self;
}

LRESULT CALLBACK TestWindow::ProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (TestWindow* self = Self(hwnd, msg, lParam)) {
    bool handled = false;
    LRESULT r = self->Handle(msg, wParam, lParam, &handled);
    if (handled) return r;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK TestWindow::ProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (TestWindow* self = Self(hwnd, msg, lParam)) {
    bool handled = false;
    LRESULT r = self->Handle(msg, wParam, lParam, &handled);
    if (handled) return r;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

namespace {
BOOL CALLBACK CollectProp(HWND, LPSTR key, HANDLE value, ULONG_PTR param) {
  if (HIWORD(reinterpret_cast<ULONG_PTR>(key)) == 0) return TRUE;  // an atom, not ours
  std::string k = key;
  if (!k.empty() && k.find_first_not_of("0123456789-#C") == std::string::npos)
    (*reinterpret_cast<Props*>(param))[k] = reinterpret_cast<LONG_PTR>(value);
  return TRUE;
}
}  // namespace

Props EngineProps(HWND hwnd) {
  Props props;
  EnumPropsExA(hwnd, CollectProp, reinterpret_cast<LPARAM>(&props));
  return props;
}

std::string HandleKey(HWND hwnd) {
  return std::to_string(static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd)));
}

std::string AttachKey(HWND hwnd) { return std::string("C").append(HandleKey(hwnd)); }

std::string MessageKey(HWND hwnd, UINT msg) {
  return HandleKey(hwnd) + "#" + std::to_string(static_cast<LONG>(msg));
}

NotifyRecorder::NotifyRecorder() : previous_(SetNotifyIconSeam(this)) {
  forward = [](DWORD message, NOTIFYICONDATAA& data) { return ShellNotifyIcon(message, data); };
}

NotifyRecorder::~NotifyRecorder() { SetNotifyIconSeam(previous_); }

BOOL NotifyRecorder::NotifyIcon(DWORD message, NOTIFYICONDATAA& data) {
  BOOL result = forward ? forward(message, data) : FALSE;
  calls.push_back({message, data, result});
  return result;
}

namespace {
const char kHookProp[] = "SdTestHostHook";
}  // namespace

HostHook::HostHook(HWND hwnd, std::vector<std::string>* log) : hwnd_(hwnd), log_(log) {
  SetPropA(hwnd, kHookProp, this);
  previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, Proc()));
}

// Put back only while still on top, as a careful host does.
HostHook::~HostHook() {
  if (!IsWindow(hwnd_)) return;
  if (GetWindowLongPtrA(hwnd_, GWLP_WNDPROC) == Proc())
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  RemovePropA(hwnd_, kHookProp);
}

LRESULT CALLBACK HostHook::Hook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<HostHook*>(GetPropA(hwnd, kHookProp));
  if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (self->log_ && (Noted(msg) || msg == WM_NCDESTROY))
    self->log_->push_back("hook " + std::to_string(msg));
  return CallWindowProcA(self->previous_, hwnd, msg, wParam, lParam);
}

bool StartHelper(mf::test::ChildProcess& child, const std::wstring& args,
                 std::map<std::string, HWND>& fields) {
  if (!child.Start(mf::test::BesideTest(L"traylib_standin.exe"), args, true)) return false;
  std::string line;
  if (!child.ReadLine(line, 20000) || line.rfind("ready", 0) != 0) return false;
  std::istringstream in(line.substr(5));
  std::string word;
  while (in >> word) {
    size_t eq = word.find('=');
    std::string name = eq == std::string::npos ? "hwnd" : word.substr(0, eq);
    std::string value = eq == std::string::npos ? word : word.substr(eq + 1);
    fields[name] =
        reinterpret_cast<HWND>(static_cast<LONG_PTR>(std::strtoll(value.c_str(), nullptr, 10)));
  }
  return true;
}

}  // namespace sd::test
