#include "shell/frmMain.h"

#include <commctrl.h>

#include "shell/Program.h"
#include "common/WindowText.h"
#include "shell/Resources.h"

namespace mf {
namespace {

struct ClassicControl {
  HWND FormControls::*member;
  int id;
  const wchar_t* windowClass;
  const wchar_t* caption;
  DWORD style;
  const wchar_t* toolTip;
};

// The classic controls lie behind the movie and are never shown; they carry
// the same operations as some movie commands. They are made through the wide
// entry points: the boxes hold addresses in any script.
constexpr ClassicControl kClassicControls[] = {
    {&FormControls::cmdStartDownload, frmMain::idCmdStartDownload, L"BUTTON", L"Start Downloading",
     BS_PUSHBUTTON, nullptr},
    {&FormControls::txtURL, frmMain::idTxtURL, L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER, nullptr},
    {&FormControls::txtMonitor, frmMain::idTxtMonitor, L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER,
     nullptr},
    {&FormControls::chkMonitor, frmMain::idChkMonitor, L"BUTTON",
     L"Monitor video URL's in clipboard and automatically add and download", BS_CHECKBOX, nullptr},
    {&FormControls::cmdAdd2List, frmMain::idCmdAdd2List, L"BUTTON", L"Add to download list",
     BS_PUSHBUTTON, nullptr},
    {&FormControls::cmdClear, frmMain::idCmdClear, L"BUTTON", L"&X", BS_PUSHBUTTON,
     L"Clear Completed items"},
    {&FormControls::cmdRemoveSelected, frmMain::idCmdRemoveSelected, L"BUTTON", L"X", BS_PUSHBUTTON,
     L"Remove Selected Items"},
    {&FormControls::cmdSelectAll, frmMain::idCmdSelectAll, L"BUTTON", L"&A", BS_PUSHBUTTON,
     L"Select All"},
    {&FormControls::cmdUp, frmMain::idCmdUp, L"BUTTON", L"/|\\", BS_PUSHBUTTON, L"Move Item Up"},
    {&FormControls::cmdDown, frmMain::idCmdDown, L"BUTTON", L"\\|/", BS_PUSHBUTTON,
     L"Move item down"},
    {&FormControls::cmdBrowse, frmMain::idCmdBrowse, L"BUTTON", L"Browse...", BS_PUSHBUTTON,
     nullptr},
};

HICON LoadMainIcon() {
  auto icon = static_cast<HICON>(LoadImageA(
      GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MARROWFIN), IMAGE_ICON, 32, 32, 0));
  return icon ? icon : LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

}  // namespace

frmMain::frmMain(Program& app) : FormControls(*this), app_(app) {}

frmMain::~frmMain() {
  // The window's own procedure must be back before the window goes.
  StopHook();
  linkDrop_.Revoke();
  SysTray.Unload();
  Menu.Unload();
}

bool frmMain::Create() {
  RegisterClassOnce(kClassName, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE), LoadMainIcon());
  // No system caption: moving, minimising and closing are the movie's commands.
  const RECT r = MainFrame::DefaultRect();
  if (!CreateFor(0, kClassName, "Marrowfin", MainFrame::kStyle, r.left, r.top, r.right - r.left,
                 r.bottom - r.top, nullptr, nullptr))
    return false;
  tmrDownload.Attach(Hwnd());
  tmrend.Attach(Hwnd());
  tmrMonitor.Attach(Hwnd());
  CreateClassicControls();
  // The tray icon control, placed like the form's other controls; the icon
  // itself appears when the front end calls its Create.
  SysTray.Load(Hwnd(), this);
  app_.gridView.Create(Hwnd(), idDownloadGrid);
  // Dropped links are taken anywhere on the window: OLE looks for a drop
  // target from the window under the mouse up through its parents.
  linkDrop_.Register(Hwnd());
  // Placed and sized, with its movie, by the front end's set-up.
  Flash.Create({.parent = Hwnd(), .events = this});
  // The grid is brought in front of the movie on the download page; the
  // movie must not paint over it then.
  if (Flash.Hwnd())
    SetWindowLongPtrA(Flash.Hwnd(), GWL_STYLE,
                      GetWindowLongPtrA(Flash.Hwnd(), GWL_STYLE) | WS_CLIPSIBLINGS);
  return true;
}

void frmMain::CreateClassicControls() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  ToolTips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                             Hwnd(), nullptr, inst, nullptr);
  int top = 0;
  for (const ClassicControl& c : kClassicControls) {
    // Created without WS_VISIBLE: the user never reaches them.
    HWND h = CreateWindowExW(0, c.windowClass, c.caption, WS_CHILD | WS_TABSTOP | c.style, 0, top,
                             120, 22, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                             inst, nullptr);
    this->*c.member = h;
    top += 24;
    if (c.toolTip && ToolTips) {
      TOOLINFOW ti{};
      ti.cbSize = sizeof ti;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = Hwnd();
      ti.uId = reinterpret_cast<UINT_PTR>(h);
      ti.lpszText = const_cast<wchar_t*>(c.toolTip);
      SendMessageW(ToolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
  }
}

void frmMain::SetFlashVariable(const std::wstring& name, const std::wstring& value) {
  Flash.SetVariable(name, value);
}

void frmMain::FSCommand(const std::wstring& command, const std::wstring& args) {
  Flash_FSCommand(command, args);
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (LRESULT result = 0; Frame.HandleMessage(msg, wParam, lParam, result)) return result;
  if (LRESULT answer = 0; OnKeyboardMessage(msg, wParam, lParam, answer)) return answer;
  switch (msg) {
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      // Alt+F4 and the taskbar's "Close window" end the program as its own
      // close command does, asking first during a download.
      EndMe();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // Windows is ending the session: no question can be answered any more.
      if (wParam) {
        app_.queue.CancelRequested = true;
        Shutdown();
      }
      return 0;
    case kMsgLinksDropped:
      OnLinksDropped();
      return 0;
    case WM_DESTROY:
      linkDrop_.Revoke();
      if (quitOnDestroy_) PostQuitMessage(0);
      return 0;
    default:
      if (msg == TaskbarCreatedMessage()) OnTaskbarCreated();
      return Window::HandleMessage(msg, wParam, lParam);
  }
}

UINT frmMain::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

void frmMain::OnTaskbarCreated() {
  // An icon the control has, it adds again itself. One the notification area
  // refused (Marrowfin started before the taskbar, at log-on) comes now.
  if (SysTray.Available() && !SysTray.Created()) SysTray.Create(Hwnd());
}

void frmMain::OnTimer(UINT_PTR id) {
  switch (id) {
    case idTmrEnd:
      tmrend_Timer();
      break;
    case idTmrDownload:
      tmrDownload_Timer();
      break;
    case idTmrMonitor:
      tmrMonitor_Timer();
      break;
    default:
      break;
  }
}

void frmMain::OnCommand(int id, int code) {
  if (id == idTxtMonitor && code == EN_CHANGE) {
    txtMonitor_Change();
    return;
  }
  if (code != BN_CLICKED) return;
  struct Route {
    int id;
    void (frmMain::*click)();
  };
  static constexpr Route kButtons[] = {
      {idCmdAdd2List, &frmMain::cmdAdd2List_Click},
      {idCmdClear, &frmMain::cmdClear_Click},
      {idCmdRemoveSelected, &frmMain::cmdRemoveSelected_Click},
      {idCmdSelectAll, &frmMain::cmdSelectAll_Click},
      {idCmdUp, &frmMain::cmdUp_Click},
      {idCmdDown, &frmMain::cmdDown_Click},
      {idCmdStartDownload, &frmMain::cmdStartDownload_Click},
      {idCmdBrowse, &frmMain::cmdBrowse_Click},
      {idChkMonitor, &frmMain::chkMonitor_Click},
  };
  for (const Route& r : kButtons)
    if (r.id == id) (this->*r.click)();
}

// ---- The handlers, forwarded to the parts that own the work

void frmMain::cmdStartDownload_Click() { app_.queue.cmdStartDownload_Click(); }

void frmMain::tmrDownload_Timer() {
  tmrDownload.SetEnabled(false);
  cmdStartDownload_Click();
}

// Runs for every change of the box, the program's own emptying included.
void frmMain::txtMonitor_Change() {
  const std::wstring address = GetText(txtMonitor);
  if (address.empty()) return;
  app_.monitor.txtMonitor_Change(address);
  SetText(txtMonitor, L"");
}
void frmMain::chkMonitor_Click() { app_.monitor.chkMonitor_Click(); }
void frmMain::tmrMonitor_Timer() { app_.monitor.CallMonTimer(); }
void frmMain::cmdAdd2List_Click() { app_.gridView.AddURLToList(GetText(txtURL)); }
void frmMain::cmdClear_Click() { app_.gridView.ClearComplete(); }
void frmMain::cmdRemoveSelected_Click() { app_.gridView.RemoveSelected(); }
void frmMain::cmdSelectAll_Click() { app_.gridView.SelectAll(); }
void frmMain::cmdUp_Click() { app_.gridView.MoveUp(); }
void frmMain::cmdDown_Click() { app_.gridView.MoveDown(); }
void frmMain::cmdBrowse_Click() { app_.settings.cmdBrowse_Click(); }

}  // namespace mf
