#pragma once
// The main window's site for Sabledrift's TrayIcon control (ProgID
// "Quenbrook.TrayIcon"): creates the control by its class identifier, gives
// it a client site, starts it as a new control, activates it in place,
// hidden behind everything, and hears its events through the connection
// point. When the class cannot be created the program runs without an icon
// and says so once, at the first Create.
#include <windows.h>

#include <string>

#include "common/Handles.h"

struct _TrayIcon;
struct IOleObject;
struct IConnectionPoint;

namespace mf {

// What the host hears of the control.
class ITrayIconHostEvents {
 public:
  virtual ~ITrayIconHostEvents() = default;
  // The mouse message code (513 to 521) of a button action on the icon.
  virtual void TrayMouseEvent(long mouseEvent) = 0;
  // What happened to the icon's balloon (stBalloonClickType: 1026 shown,
  // 1027 hidden, 1028 closed by the user or timed out, 1029 clicked).
  virtual void BalloonClick(long clickType) = 0;
};

// blIconType of the type library.
enum class BalloonIcon : long { None = 0, Info = 1, Warning = 2, Error = 3 };

class TrayIconHost {
 public:
  TrayIconHost();
  TrayIconHost(const TrayIconHost&) = delete;
  TrayIconHost& operator=(const TrayIconHost&) = delete;
  ~TrayIconHost();

  // Places the control in `container` (the main window). False, and the
  // reason kept, when the control cannot be created; the host stays usable.
  bool Load(HWND container, ITrayIconHostEvents* events);
  // Lets go of the control; its destruction takes the icon away.
  void Unload();

  // The control exists and can be driven.
  bool Available() const noexcept { return static_cast<bool>(control_); }
  // Why it does not: the result of creating it (S_OK once it exists).
  HRESULT LoadResult() const noexcept { return loadResult_; }

  // ---- The control's members the program uses
  void SetIconHandle(HICON icon);
  HICON IconHandle() const;
  // Adds the icon for `owner`. Without the control it shows, once, the
  // message that the program runs without an icon.
  bool Create(HWND owner);
  void SetTrayIconVisible(bool visible);
  bool TrayIconVisible() const;
  bool Created() const;
  void Remove();
  // Shows a balloon on the icon; `timeoutMs` 0 leaves the time to the system.
  bool BalloonTipShow(BalloonIcon icon, const std::wstring& prompt, const std::wstring& title,
                      long timeoutMs);
  // The text shown when the mouse rests on the icon.
  void SetToolTip(const std::wstring& text);
  std::wstring ToolTip() const;
  // The control's window (hidden), for the container's own checks.
  HWND ControlWindow() const noexcept { return controlWindow_; }

  // The message shown when the control is missing (also for tests).
  static std::wstring MissingControlMessage(HRESULT reason);

 private:
  class Site;
  class EventSink;
  friend class Site;
  friend class EventSink;

  // The control's connection point for its events; empty when it has none.
  ComPtr<IConnectionPoint> EventPoint() const;
  void ConnectEvents();
  void DisconnectEvents();
  void Activate();

  HWND container_ = nullptr;
  ITrayIconHostEvents* events_ = nullptr;
  bool oleInitialized_ = false;
  HRESULT loadResult_ = E_UNEXPECTED;
  bool missingReported_ = false;
  ComPtr<IOleObject> object_;
  ComPtr<_TrayIcon> control_;
  Site* site_ = nullptr;       // own reference
  EventSink* sink_ = nullptr;  // own reference
  DWORD adviseCookie_ = 0;
  HWND controlWindow_ = nullptr;
};

}  // namespace mf
