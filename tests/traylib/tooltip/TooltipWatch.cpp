#include "tests/traylib/tooltip/TooltipWatch.h"

#include <map>

namespace sd::test {

namespace {
// The recorder outlives any watch: a window it still sits in forwards to the
// tooltip's own procedure whether or not a watch is listening.
std::map<HWND, WNDPROC> g_original;
TooltipWatch* g_current = nullptr;
int g_depth = 0;

bool Recorded(UINT msg) {
  return msg >= WM_USER || msg == WM_TIMER || msg == WM_WINDOWPOSCHANGING ||
         (msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK);
}

bool CarriesTool(UINT msg) {
  return msg == TTM_ADDTOOLA || msg == TTM_UPDATETIPTEXTA || msg == TTM_TRACKACTIVATE;
}
}  // namespace

TooltipWatch::TooltipWatch() {
  g_current = this;
  hook_ = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
}

TooltipWatch::~TooltipWatch() {
  UnhookWindowsHookEx(hook_);
  g_current = nullptr;
}

LRESULT CALLBACK TooltipWatch::OnCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_current) {
    auto hwnd = reinterpret_cast<HWND>(wParam);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0) {
      g_current->windows.push_back(hwnd);
      g_original[hwnd] = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK TooltipWatch::Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto found = g_original.find(hwnd);
  if (found == g_original.end()) return DefWindowProcA(hwnd, msg, wParam, lParam);
  WNDPROC original = found->second;
  if (g_current && Recorded(msg)) {
    TooltipMessage seen{hwnd, msg, wParam, lParam, {}, {}, {}, g_depth};
    if (msg == WM_WINDOWPOSCHANGING && lParam)
      seen.pos = *reinterpret_cast<const WINDOWPOS*>(lParam);
    if (msg == TTM_SETTITLEA && lParam) seen.text = reinterpret_cast<const char*>(lParam);
    if (CarriesTool(msg) && lParam) {
      seen.tool = *reinterpret_cast<const TTTOOLINFOA*>(lParam);
      if (seen.tool.lpszText && !IS_INTRESOURCE(seen.tool.lpszText) &&
          seen.tool.lpszText != LPSTR_TEXTCALLBACKA)
        seen.text = seen.tool.lpszText;
    }
    g_current->messages.push_back(seen);
  }
  ++g_depth;
  LRESULT result = CallWindowProcA(original, hwnd, msg, wParam, lParam);
  --g_depth;
  if (msg == WM_NCDESTROY) g_original.erase(hwnd);
  return result;
}

std::vector<TooltipMessage> TooltipWatch::Of(HWND hwnd, UINT msg) const {
  std::vector<TooltipMessage> found;
  for (const TooltipMessage& m : messages)
    if (m.hwnd == hwnd && m.msg == msg) found.push_back(m);
  return found;
}

std::vector<UINT> TooltipWatch::TooltipMessagesOf(HWND hwnd) const {
  std::vector<UINT> found;
  for (const TooltipMessage& m : messages)
    if (m.hwnd == hwnd && m.msg >= WM_USER) found.push_back(m.msg);
  return found;
}

int ToolCount(HWND tooltip) {
  return static_cast<int>(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0));
}

std::string ToolText(HWND tooltip) {
  TTTOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  if (!SendMessageA(tooltip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)))
    return "<no tool>";
  char text[1024] = "<unchanged>";
  tool.lpszText = text;
  SendMessageA(tooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  return text;
}

}  // namespace sd::test
