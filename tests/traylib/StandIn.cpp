// The tests' helper program: a window of another process, or a stand-in taskbar
// laid out like the real one, whose tooltip window holds tools the position
// search must read from this process's memory.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/traylib/StandInProtocol.h"

namespace {

using sd::test::RelayedIcon;

struct Options {
  bool pager = true;
  bool toolbar = true;
  std::vector<std::pair<RECT, std::wstring>> tools;
  std::vector<RECT> slots;
  std::wstring decoy;
  bool hang = false;
};

struct Taskbar {
  Options options;
  HWND tray = nullptr, notify = nullptr, pager = nullptr, toolbar = nullptr;
  HWND tooltip = nullptr, decoy = nullptr;
  HWND toolOwner = nullptr;  // the window the tools belong to
  UINT nextToolId = 1;
  size_t nextSlot = 0;
  std::map<std::pair<int64_t, uint32_t>, UINT> iconTools;  // (owner, id) -> tool id
};

Taskbar g_bar;

std::wstring Wide(const char* text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), n);
  return w;
}

TTTOOLINFOW ToolInfo(UINT id) {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = g_bar.toolOwner;
  ti.uId = id;
  return ti;
}

void AddTool(HWND tooltip, UINT id, const RECT& rect, std::wstring text) {
  TTTOOLINFOW ti = ToolInfo(id);
  ti.rect = rect;
  ti.lpszText = text.data();
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void OnRelay(const RelayedIcon& icon) {
  const auto key = std::make_pair(icon.owner, icon.id);
  std::wstring tip = Wide(std::string(icon.tip, strnlen(icon.tip, sizeof icon.tip)).c_str());
  auto known = g_bar.iconTools.find(key);
  if (icon.message == NIM_ADD && known == g_bar.iconTools.end()) {
    RECT slot = g_bar.nextSlot < g_bar.options.slots.size() ? g_bar.options.slots[g_bar.nextSlot++]
                                                            : RECT{};
    UINT id = g_bar.nextToolId++;
    g_bar.iconTools[key] = id;
    AddTool(g_bar.tooltip, id, slot, tip);
  } else if (icon.message == NIM_MODIFY && known != g_bar.iconTools.end() &&
             (icon.flags & NIF_TIP)) {
    TTTOOLINFOW ti = ToolInfo(known->second);
    ti.lpszText = tip.data();
    SendMessageW(g_bar.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  } else if (icon.message == NIM_DELETE && known != g_bar.iconTools.end()) {
    TTTOOLINFOW ti = ToolInfo(known->second);
    SendMessageW(g_bar.tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    g_bar.iconTools.erase(known);
  }
}

void DumpTools() {
  int count = static_cast<int>(SendMessageW(g_bar.tooltip, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    SendMessageW(g_bar.tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&ti));
    ti.lpszText = text;
    SendMessageW(g_bar.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    std::printf("tool %d %ls\n", i, text);
  }
  std::printf("end\n");
  std::fflush(stdout);
}

void MoveIcons(int dx) {
  for (const auto& [key, id] : g_bar.iconTools) {
    TTTOOLINFOW ti = ToolInfo(id);
    SendMessageW(g_bar.tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti));
    OffsetRect(&ti.rect, dx, 0);
    SendMessageW(g_bar.tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COPYDATA: {
      auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      // Shell_NotifyIcon's own requests are taken, as a taskbar takes them.
      if (data->dwData != sd::test::kRelayTag || data->cbData != sizeof(RelayedIcon)) return TRUE;
      OnRelay(*static_cast<const RelayedIcon*>(data->lpData));
      return TRUE;
    }
    case sd::test::kDumpTools:
      DumpTools();
      return 1;
    case sd::test::kMoveIcons:
      MoveIcons(static_cast<int>(wParam));
      return 1;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND Child(const wchar_t* cls, HWND parent, int x, int y, int w, int h, DWORD style = 0) {
  return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

HWND Tooltip(DWORD style) {
  return CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | style,
                         0, 0, 0, 0, g_bar.tray, nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool ParseRect(const char*& p, RECT& r) {
  int n = 0;
  if (std::sscanf(p, "%ld,%ld,%ld,%ld%n", &r.left, &r.top, &r.right, &r.bottom, &n) != 4)
    return false;
  p += n;
  return true;
}

// Windows of the layout, all at fixed places so that the toolbar's screen
// position is the same with and without the pager: (810, 954).
void BuildTaskbar() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW tray{};
  tray.lpfnWndProc = TrayProc;
  tray.hInstance = inst;
  tray.lpszClassName = L"Shell_TrayWnd";
  RegisterClassW(&tray);
  WNDCLASSW plain{};
  plain.lpfnWndProc = DefWindowProcW;
  plain.hInstance = inst;
  plain.lpszClassName = L"TrayNotifyWnd";
  RegisterClassW(&plain);
  plain.lpszClassName = L"SysPager";
  RegisterClassW(&plain);

  // Not shown: the search needs its place, not its pixels, and hidden windows
  // spare the window system's waits for a window manager when they go.
  g_bar.tray = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP,
                               100, 950, 1000, 40, nullptr, nullptr, inst, nullptr);
  g_bar.notify = Child(L"TrayNotifyWnd", g_bar.tray, 700, 2, 290, 36);
  HWND parent = g_bar.notify;
  int x = 10, y = 2;
  if (g_bar.options.pager) {
    g_bar.pager = Child(L"SysPager", g_bar.notify, 10, 2, 270, 30);
    parent = g_bar.pager;
    x = 0;
    y = 0;
  }
  g_bar.toolOwner = parent;
  if (g_bar.options.toolbar) {
    g_bar.toolbar = Child(TOOLBARCLASSNAMEW, parent, x, y, 250, 28,
                          CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | TBSTYLE_FLAT);
    g_bar.toolOwner = g_bar.toolbar;
  }
  g_bar.tooltip = Tooltip(0);
  for (auto& [rect, text] : g_bar.options.tools)
    AddTool(g_bar.tooltip, g_bar.nextToolId++, rect, text);
  if (!g_bar.options.decoy.empty()) {
    g_bar.decoy = Tooltip(TTS_NOPREFIX);
    AddTool(g_bar.decoy, 1, RECT{200, 2, 216, 22}, g_bar.options.decoy);
  }
}

int RunTaskbar(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strncmp(a, "desktop=", 8) == 0) {
      HDESK desk = OpenDesktopA(a + 8, 0, FALSE, GENERIC_ALL);
      if (!desk || !SetThreadDesktop(desk)) return 5;
    } else if (std::strcmp(a, "nopager") == 0) {
      g_bar.options.pager = false;
    } else if (std::strcmp(a, "notoolbar") == 0) {
      g_bar.options.toolbar = false;
    } else if (std::strncmp(a, "tool=", 5) == 0) {
      const char* p = a + 5;
      RECT r{};
      if (!ParseRect(p, r) || *p != ',') return 2;
      g_bar.options.tools.emplace_back(r, Wide(p + 1));
    } else if (std::strncmp(a, "slot=", 5) == 0) {
      const char* p = a + 5;
      RECT r{};
      if (!ParseRect(p, r)) return 2;
      g_bar.options.slots.push_back(r);
    } else if (std::strcmp(a, "hang") == 0) {
      g_bar.options.hang = true;
    } else if (std::strncmp(a, "decoy=", 6) == 0) {
      g_bar.options.decoy = Wide(a + 6);
    } else {
      return 2;
    }
  }
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  BuildTaskbar();
  auto h = [](HWND w) { return static_cast<long long>(reinterpret_cast<LONG_PTR>(w)); };
  std::printf("ready tray=%lld notify=%lld pager=%lld toolbar=%lld tooltip=%lld decoy=%lld\n",
              h(g_bar.tray), h(g_bar.notify), h(g_bar.pager), h(g_bar.toolbar), h(g_bar.tooltip),
              h(g_bar.decoy));
  std::fflush(stdout);
  // A hung taskbar answers no message; it ends by itself in case nobody ends it.
  if (g_bar.options.hang) {
    Sleep(60000);
    return 0;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int RunWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SdForeignWindow";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, "foreign", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
  std::printf("ready %lld\n", static_cast<long long>(reinterpret_cast<LONG_PTR>(w)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "window") == 0) return RunWindow();
  if (argc >= 2 && std::strcmp(argv[1], "taskbar") == 0) return RunTaskbar(argc, argv);
  return 2;
}
