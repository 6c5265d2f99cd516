#pragma once
// Watches the tooltip windows ("tooltips_class32") this thread makes while
// the watch lives. Each is subclassed the moment it is created, before any
// message reaches it, so the recorder sits beneath whatever subclasses the
// window later: it sees exactly what reaches the tooltip's own procedure.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace sd::test {

struct TooltipMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;    // TTM_SETTITLEA's title, or the tool record's text
  TTTOOLINFOA tool{};  // the tool record of TTM_ADDTOOLA, TTM_UPDATETIPTEXTA, TTM_TRACKACTIVATE
  WINDOWPOS pos{};     // what WM_WINDOWPOSCHANGING asks
  int depth = 0;       // 0 unless it came while the tooltip handled another message
};

class TooltipWatch {
 public:
  TooltipWatch();
  ~TooltipWatch();
  TooltipWatch(const TooltipWatch&) = delete;
  TooltipWatch& operator=(const TooltipWatch&) = delete;

  // The tooltip windows made so far, in order.
  std::vector<HWND> windows;
  // Tooltip messages (WM_USER and up), WM_TIMER, WM_WINDOWPOSCHANGING and
  // the mouse messages that reached a watched tooltip's own procedure.
  std::vector<TooltipMessage> messages;

  HWND Last() const { return windows.empty() ? nullptr : windows.back(); }
  // The messages of `hwnd` with number `msg`, in order.
  std::vector<TooltipMessage> Of(HWND hwnd, UINT msg) const;
  // The numbers of `hwnd`'s tooltip messages (WM_USER and up), in order.
  std::vector<UINT> TooltipMessagesOf(HWND hwnd) const;
  void Clear() { messages.clear(); }

 private:
  static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HHOOK hook_ = nullptr;
};

// The text of the tooltip's one tool (TTM_GETTEXTA), and how many tools it has.
std::string ToolText(HWND tooltip);
int ToolCount(HWND tooltip);

}  // namespace sd::test
