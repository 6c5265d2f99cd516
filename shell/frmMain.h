#pragma once
// The main window: the movie player that is the program's face, the hidden
// classic controls behind it, the timers, the tray icon and its menu form,
// and the two window hooks. The work itself belongs to the program's parts
// (see Program.h); the window's handlers forward to them.
#include <windows.h>

#include <string>
#include <vector>

#include "common/Window.h"
#include "common/WindowTimer.h"
#include "controls/player/MoviePlayer.h"
#include "shell/LinkDrop.h"
#include "shell/MainFrame.h"
#include "shell/SysTray.h"
#include "shell/frmMenu.h"

namespace mf {

class Program;
class frmMain;

namespace test {
class FormAccess;
}

// The window's controls: the movie, the hidden classic controls behind it,
// the timers, the menu form, the frame and the tray icon. Only the window,
// its own pieces and the program that composes it reach them.
struct FormControls {
  enum TimerId : UINT_PTR { idTmrDownload = 1, idTmrEnd = 2, idTmrMonitor = 3 };
  explicit FormControls(frmMain& form) : Menu{form}, Frame{form} {}

  MoviePlayer Flash;
  HWND cmdStartDownload = nullptr;
  HWND txtURL = nullptr;
  HWND txtMonitor = nullptr;
  HWND chkMonitor = nullptr;
  HWND cmdAdd2List = nullptr;
  HWND cmdClear = nullptr;
  HWND cmdRemoveSelected = nullptr;
  HWND cmdSelectAll = nullptr;
  HWND cmdUp = nullptr;
  HWND cmdDown = nullptr;
  HWND cmdBrowse = nullptr;
  HWND ToolTips = nullptr;  // the tooltips of the classic buttons

  WindowTimer tmrDownload{idTmrDownload, 200};
  WindowTimer tmrend{idTmrEnd, 200};
  WindowTimer tmrMonitor{idTmrMonitor, 2000};

  frmMenu Menu;
  // Size, DPI, look and place of the window (shell/MainFrame.cpp).
  MainFrame Frame;

  // The notification-area icon: Sabledrift's TrayIcon control, hosted here.
  TrayIconHost SysTray;
};

class frmMain : public Window,
                private FormControls,
                private IMoviePlayerEvents,
                private ITrayIconHostEvents {
  friend class Program;
  friend class frmMenu;
  friend class MainFrame;
  friend class test::FormAccess;

 public:
  static constexpr const char* kClassName = "MarrowfinMain";
  static constexpr int kWidth = MainFrame::kWidth;  // outer size at 96 DPI, and the least
  static constexpr int kHeight = MainFrame::kHeight;

  // Child control ids of the hidden classic controls.
  enum ControlId : int {
    idCmdStartDownload = 101,
    idTxtURL,
    idTxtMonitor,
    idChkMonitor,
    idCmdAdd2List,
    idCmdClear,
    idCmdRemoveSelected,
    idCmdSelectAll,
    idCmdUp,
    idCmdDown,
    idCmdBrowse,
    idDownloadGrid,
  };

  explicit frmMain(Program& app);
  ~frmMain() override;

  // Creates the window and runs the start-up. False when the start-up refused
  // to run (another instance is running): the window is gone again.
  bool Load();
  // The window's destruction ends the message loop (Marrowfin.exe sets this).
  void SetQuitOnDestroy(bool quit) noexcept { quitOnDestroy_ = quit; }
  Program& App() const noexcept { return app_; }

  // ---- Start-up and shutdown
  void EndMe();
  bool ConfirmExit();
  void tmrend_Timer();

  // ---- Front end (shell/FrontEnd.cpp, shell/WindowHooks.cpp)
  std::wstring CurrentTab;  // the movie page last chosen
  void SetFlashVariable(const std::wstring& name, const std::wstring& value);
  void Flash_FSCommand(const std::wstring& command, const std::wstring& args);
  void SetUpFrontEnd();
  // "Version 1.0.0.0", CR LF and the about sentence.
  static std::wstring AboutText();
  void ShowDownloadGrid();
  void DragMainWindow(HWND window);
  void StartHook();
  void StopHook();
  void ScrollUp();
  void ScrollDown();
  // The movie's window found by StartHook; null when none was.
  HWND FlashWindow() const noexcept { return flashWindow_; }

  // ---- Notification-area icon's events
  void SysTray_TrayMouseEvent(long mouseEvent);
  void SysTray_BalloonClick(long clickType);

  // ---- Links dropped on the window (shell/DroppedLinks.cpp)
  // The drop target registered on the window, and RegisterDragDrop's result.
  LinkDrop& DropTarget() noexcept { return linkDrop_; }
  HRESULT DropRegistration() const noexcept { return linkDrop_.Registration(); }
  // Each line of the text that is the page address of a supported site is
  // added as if typed; the other lines are counted in one notice.
  void AddDroppedLinks(const std::wstring& text);

  // ---- Handlers of the controls and timers, forwarded to the parts
  void cmdStartDownload_Click();
  void tmrDownload_Timer();
  void txtMonitor_Change();
  void chkMonitor_Click();
  void tmrMonitor_Timer();
  void cmdAdd2List_Click();
  void cmdClear_Click();
  void cmdRemoveSelected_Click();
  void cmdSelectAll_Click();
  void cmdUp_Click();
  void cmdDown_Click();
  void cmdBrowse_Click();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // IMoviePlayerEvents
  void FSCommand(const std::wstring& command, const std::wstring& args) override;
  // ITrayIconHostEvents
  void TrayMouseEvent(long mouseEvent) override { SysTray_TrayMouseEvent(mouseEvent); }
  void BalloonClick(long clickType) override { SysTray_BalloonClick(clickType); }

  bool Create();
  bool Form_Load();
  // Shutdown past its question: hooks, watcher, menu form, end of process.
  void Shutdown();
  void CreateClassicControls();
  void OnTimer(UINT_PTR id);
  void OnCommand(int id, int code);
  // The keyboard's way around the window (shell/KeyboardFocus.cpp); true
  // when the message was answered.
  bool OnKeyboardMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void MoveFocusByTab(bool backwards);
  void RestoreFocus();

  // Front end
  void HideDownloadGrid();
  void AddDownloadURLFromMovie();
  void FS_Drag();
  void FS_Minimize();
  void FS_Tray();
  void FS_Download();
  void FS_About();
  void FS_Help();
  void FS_WebSite();
  void FS_StartDownload();
  void FS_DownloadBrowse();
  void FS_AutoDownloadCheck();
  void FS_AutoDownloadUncheck();
  // The limits on the settings page: true when `command` was one of the steps.
  bool FS_LimitCommand(const std::wstring& command);
  void FS_LimitSpeedCheck();
  void FS_LimitSpeedUncheck();
  void FS_TimeWindowCheck();
  void FS_TimeWindowUncheck();
  void FS_StopDownload() { cmdStartDownload_Click(); }
  void FS_SelectAll();
  void FS_RemoveSelected();
  void FS_MoveUp();
  void FS_MoveDown();
  void FS_ClearComplete();
  HWND FindFlashWindow() const;
  void HookFlashWindow(HWND window);
  void HookMainWindow(HWND window);
  static LRESULT CALLBACK FlashWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // A drop is taken in after the drag has ended: the list's rebuilds yield
  // to the message loop, which the drag's source is waiting on.
  static constexpr UINT kMsgLinksDropped = WM_APP + 1;
  void OnLinksDropped();
  static UINT TaskbarCreatedMessage();
  void OnTaskbarCreated();

  Program& app_;
  LinkDrop linkDrop_{kMsgLinksDropped};
  HWND flashWindow_ = nullptr;
  LONG_PTR previousFlashProc_ = 0;  // zero while nothing is installed
  LONG_PTR previousMainProc_ = 0;
  bool quitOnDestroy_ = false;
  HWND lastFocus_ = nullptr;  // where the focus was when the window was last left
};

}  // namespace mf
