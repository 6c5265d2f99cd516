#pragma once
// The main window. It owns everything the program shows and runs: the movie
// player, the hidden classic controls, the timers and the run state that
// several parts of the program share.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/Window.h"
#include "common/WindowTimer.h"
#include "controls/grid/Grid.h"
#include "controls/player/MoviePlayer.h"
#include "controls/socket/TcpSocket.h"
#include "downloadlist/LocalFileInfo.h"
#include "downloadlist/modMain.h"
#include "shell/SysTray.h"
#include "shell/frmMenu.h"
#include "transfer/Download.h"

namespace mf {

class frmMain : public Window,
                public IListGrid,
                public grid::IDrawFilter,
                private IMoviePlayerEvents,
                private grid::IGridEvents {
 public:
  static constexpr const char* kClassName = "MarrowfinMain";
  static constexpr int kWidth = 630;   // outer size in pixels
  static constexpr int kHeight = 535;

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
  enum TimerId : UINT_PTR { idTmrDownload = 1, idTmrEnd = 2, idTmrMonitor = 3 };

  frmMain();
  ~frmMain() override;

  // Creates the window and runs the start-up. False when the start-up refused
  // to run (another instance is running): the window is gone again.
  bool Load();
  // The window's destruction ends the message loop (Marrowfin.exe sets this).
  void SetQuitOnDestroy(bool quit) noexcept { quitOnDestroy_ = quit; }

  // ---- Start-up and shutdown
  void EndMe();
  bool ConfirmExit();
  void tmrend_Timer();

  // ---- Front end (shell/FrontEnd.cpp, shell/WindowHooks.cpp)
  MoviePlayer Flash;
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

  // ---- Settings
  bool MonitorOn = false;      // clipboard monitoring wanted
  std::wstring DownloadFolder;  // where videos go
  void LoadSettings();
  void SaveSettings();
  void ShowSettingsInMovie();
  void cmdBrowse_Click();

  // ---- State shared by several parts
  bool IsDownloading = false;
  bool CancelRequested = false;
  int16_t CurrentIndex = 0;
  std::wstring CurrentTab;
  bool GridFormatted = false;

  // ---- Transfer: the one download control, which fetches pages and files
  mf::Download Download;
  // Asks the server about the resolved file link and derives the local file
  // name and the size text; `siteId` is the site of the item's page address.
  LocalFileInfo GetLocalFileInfo(const std::wstring& sLink, int16_t siteId);

  // ---- Hidden classic controls, behind the movie
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

  frmMenu Menu{*this};

  // ---- Notification-area icon: Sabledrift's TrayIcon control, hosted here
  TrayIconHost SysTray;
  void SysTray_TrayMouseEvent(long mouseEvent);

  // ---- Clipboard monitor (monitor/Monitor.cpp)
  // Starts (true) or stops the clipboard watcher program; sets MonitorOn.
  void Monitor(bool on);
  // The watcher wrote an address into txtMonitor.
  void txtMonitor_Change();
  // The polling way behind the hidden check box.
  void chkMonitor_Click();
  void tmrMonitor_Timer();
  void CallMonTimer();
  std::wstring LastClipboardText;  // what the previous poll found

  // ---- Download grid (downloadlist/GridFormat.cpp, DrawFilter.cpp, ListCommands.cpp)
  grid::Grid DownloadGrid;
  // The grid row of the item at CurrentIndex, or none.
  std::optional<grid::Row> CurrentRow;
  // A checked new file name, from the grid's before-update to its after-update.
  std::wstring PendingFileName;

  bool FormatDownloadGrid(bool initial) override;
  void UnbindListTable() override;
  void DownloadGrid_InitializeLayout();
  void DownloadGrid_BeforeCellUpdate(const grid::Cell& cell, const table::Value& newValue,
                                     bool& cancel);
  void DownloadGrid_AfterCellUpdate(const grid::Cell& cell);

  // The draw filter: progress bars in the Status cells.
  void BeforeDraw(const grid::DrawInfo& info, bool& cancel) override;
  void BeforeDrawBackground(const grid::DrawInfo& info, bool& cancel) override;
  void BeforeDrawBorders(const grid::DrawInfo& info, bool& cancel) override;
  void BeforeDrawForeground(const grid::DrawInfo& info, bool& cancel) override;
  void AfterDraw(const grid::DrawInfo& info) override;
  void BeforeSetCursor(const grid::UIElement& element, HCURSOR& cursor) override;

  // The list commands.
  bool AddURLToList(const std::wstring& pageAddress);
  void ClearComplete();
  void RemoveSelected();
  void SelectAll();
  void MoveUp();
  void MoveDown();
  void LocateCurrentRow();
  void cmdAdd2List_Click();
  void cmdClear_Click();
  void cmdRemoveSelected_Click();
  void cmdSelectAll_Click();
  void cmdUp_Click();
  void cmdDown_Click();

  // ---- Link resolution
  // The page address's video file address, or "-1" (site not supported),
  // "-2" (the page, or YouTube's redirection, could not be fetched) or "0"
  // (no video address in the page).
  std::wstring GetDownloadLink(const std::wstring& sLink);
  // "" before a page fetch; "1" once a transfer completed, else its error text.
  std::wstring TransferResult;
  bool IsFetchingPage = false;  // the running transfer fetches a page

  // ---- Queue driver (transfer/QueueDriver.cpp)
  // The start/stop toggle that every start and stop request ends in.
  void cmdStartDownload_Click();
  void tmrDownload_Timer();
  // Works through the Download list; returns when the run is over.
  void StartDownloading();
  bool IsConnected();
  // Handlers of the download control's notifications.
  void Download_DownloadComplete();
  void Download_DownloadProgress(long& lProgress);
  void Download_DownloadError(std::wstring& sErrorDescription);

  // ---- Item preparation: the resolved link, or "-1" when there is none.
  std::wstring PrepareItem(int16_t position);

  // ---- YouTube link resolver
  // The video file's address for a YouTube player address; empty text when
  // the answer holds no usable redirection, "-2" when the connection failed
  // or no answer came in time.
  std::wstring GetYoutubePathLnik(const std::wstring& sLink);
  void Connect();
  void WS_Connect();
  void WS_DataArrival(long bytesTotal);
  void WS_Error(long number, const std::wstring& description);
  void WS_Close();
  std::wstring wsHost;
  std::wstring wsLink;
  bool bFindYoutubeFinish = false;
  std::wstring sYoutubeDownLink;
  DWORD YoutubeAnswerTimeoutMs = 30000;  // the wait for the answer ends here

 private:
  struct DownloadEvents final : IDownloadEvents {
    explicit DownloadEvents(frmMain& f) : form(f) { form.Download.SetEvents(this); }
    void DownloadComplete() override { form.Download_DownloadComplete(); }
    void DownloadProgress(long& p) override { form.Download_DownloadProgress(p); }
    void DownloadError(std::wstring& s) override { form.Download_DownloadError(s); }
    frmMain& form;
  };
  DownloadEvents downloadEvents_{*this};  // hears Download from the start on
  enum class ItemOutcome { Skipped, Transferred, RunCancelled };
  ItemOutcome DownloadItemAt(size_t position);
  void SetRunCaptions(const wchar_t* caption);
  void SetItemStatus(const std::wstring& status);
  struct WsEvents final : ISocketEvents {
    explicit WsEvents(frmMain& f) : form(f) {}
    void Connected() override { form.WS_Connect(); }
    void DataArrival(long bytesTotal) override { form.WS_DataArrival(bytesTotal); }
    void Error(long number, const std::wstring& d) override { form.WS_Error(number, d); }
    void Closed() override { form.WS_Close(); }
    frmMain& form;
  };
  WsEvents wsEvents_{*this};
  struct SysTrayEvents final : ITrayIconHostEvents {
    explicit SysTrayEvents(frmMain& f) : form(f) {}
    void TrayMouseEvent(long mouseEvent) override { form.SysTray_TrayMouseEvent(mouseEvent); }
    frmMain& form;
  };
  SysTrayEvents sysTrayEvents_{*this};
  void FinishYoutubeAnswer();
  std::string youtubeAnswer_;   // the answer's bytes as they arrive
  bool youtubeFailed_ = false;  // the connection failed or timed out

 public:
  TcpSocket WS{&wsEvents_};

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // IMoviePlayerEvents
  void FSCommand(const std::wstring& command, const std::wstring& args) override;
  // grid::IGridEvents of DownloadGrid
  void InitializeLayout(grid::Grid& grid) override;
  void BeforeCellUpdate(const grid::Cell& cell, const table::Value& newValue,
                        bool& cancel) override;
  void AfterCellUpdate(const grid::Cell& cell) override;

  bool Create();
  bool Form_Load();

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
  HWND FindFlashWindow() const;
  void HookFlashWindow(HWND window);
  void HookMainWindow(HWND window);
  bool IsGridActive() const;
  static LRESULT CALLBACK FlashWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND flashWindow_ = nullptr;
  LONG_PTR previousFlashProc_ = 0;  // zero while nothing is installed
  LONG_PTR previousMainProc_ = 0;
  void CreateClassicControls();
  void OnTimer(UINT_PTR id);
  void OnCommand(int id, int code);
  void CreateDownloadGrid();

  bool quitOnDestroy_ = false;
};

}  // namespace mf
