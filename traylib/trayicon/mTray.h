#pragma once
// Finding where the library's icon sits on the screen. The platform has no
// call for it, so the icon is given a unique tooltip for a moment and the
// notification area's tooltip window is searched, inside the taskbar's
// process, for the tool that carries it.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace sd::mTray {

// One tool of a tooltip window: its text (at most 40 characters on the NT
// family) and its TOOLINFO, whose rectangle is in the client coordinates of
// the tool's window. Handles and the text address are pointer-sized on 64-bit.
struct ToolRecord {
  std::wstring text;
  TTTOOLINFOW info{};
};

// NT (platform id 2): memory inside the taskbar's process and the wide messages.
// Other (platform id 1): a shared file mapping and the ANSI messages.
enum class Family { Nt, Other };
Family CurrentFamily();

// The marker: "wAnTeD tRaY iCoN " and the library's module handle in signed decimal.
std::wstring Marker();

// The notification area's toolbar, or the deepest of "TrayNotifyWnd" and
// "SysPager" found when there is no toolbar; 0 without "TrayNotifyWnd".
HWND SysTrayHWnd();

// Reads every tool of a tooltip window of another (or this) process, waiting
// at most a second for each answer. One empty entry when it has no tools or
// stops answering; empty entries when no memory could be placed.
std::vector<ToolRecord> ReadTools(HWND tooltip, Family family);

// The screen rectangle of the first tool of the taskbar's tooltip window whose
// text is exactly `marker`; all zero when there is none.
RECT FindMarkedRect(const std::wstring& marker);

// The middle of low..high, rounded half to even (0..17 gives 8, 0..19 gives 10).
LONG Middle(LONG low, LONG high);

// The current thread's results of its last search.
DWORD TrayProcessId();
const std::vector<ToolRecord>& ToolTable();

}  // namespace sd::mTray
