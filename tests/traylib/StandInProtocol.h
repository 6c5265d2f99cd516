#pragma once
// What the tests and their helper program (traylib_standin) say to each other.
//
//   traylib_standin window
//     a plain top-level window of another process; prints "ready <hwnd>".
//   traylib_standin taskbar [desktop=NAME] [nopager] [notoolbar] [hang]
//                           [tool=L,T,R,B,TEXT]... [slot=L,T,R,B]... [decoy=TEXT]
//     a stand-in taskbar: "Shell_TrayWnd" > "TrayNotifyWnd" > "SysPager" >
//     "ToolbarWindow32" and a tooltip window whose tools are the fixed tools and
//     one tool per icon (icons take the slots in the order they are added).
//     The decoy is a second tooltip window, with TTS_NOPREFIX, above the first.
//     With hang, it answers no message once it is ready (for a minute).
//     Prints "ready tray=H notify=H pager=H toolbar=H tooltip=H decoy=H".
#include <windows.h>

#include <cstdint>

namespace sd::test {

// WM_COPYDATA to the stand-in's "Shell_TrayWnd": what the shell would have been told.
inline constexpr ULONG_PTR kRelayTag = 0x53445249;  // "SDRI"
struct RelayedIcon {
  uint32_t message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
  uint32_t flags;
  uint32_t id;
  int64_t owner;
  char tip[128];
};

// Sent to the stand-in's "Shell_TrayWnd":
// prints "tool <index> <text>" for every tool of its tooltip window, then "end".
inline constexpr UINT kDumpTools = WM_APP + 1;
// moves every icon's tool by wParam pixels to the right; returns 1.
inline constexpr UINT kMoveIcons = WM_APP + 2;

}  // namespace sd::test
