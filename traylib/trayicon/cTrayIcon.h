#pragma once
// One icon in the taskbar's notification area. It adds, changes and deletes
// the icon with Shell_NotifyIconA, hears the icon's callback messages and its
// timers through the subclassing engine on the owner window, shows balloons
// and finds where the icon sits on the screen.
//
// Created with MakeRef<cTrayIcon>(); the icon goes from the notification area
// when the last reference is released. The events sink is not owned: clear it
// before the sink goes away.
#include <windows.h>

#include <string>

#include "traylib/RefCounted.h"
#include "traylib/subclass/ISubclass.h"
#include "traylib/trayicon/ITrayIconEvents.h"
#include "traylib/trayicon/NotifyIcon.h"

namespace sd {

// The icon's identifier in the shell, its callback message and its timers.
inline constexpr UINT kTrayIconId = 999;
inline constexpr UINT kTrayCallbackMessage = WM_USER + 1;
inline constexpr UINT_PTR kBalloonTimerId = 999;
inline constexpr UINT_PTR kTrackingTimerId = 998;

// Number (above the object-error base) of the error Create raises when the
// shell refuses to add the icon.
inline constexpr long kErrIconRefused = 13085;

class cTrayIcon final : public RefCounted<ISubclass> {
 public:
  cTrayIcon();

  void SetEvents(ITrayIconEvents* events) noexcept { events_ = events; }

  // Adds the icon for `owner`. Raises the engine's errors ("Invalid window" for
  // no owner), and kErrIconRefused, with no icon left, when the shell refuses it.
  void Create(HWND owner, HICON icon, const std::wstring& toolTipText);
  // Deletes the icon and forgets the owner.
  void Remove();
  // iconType: 0 none, 1 information, 2 warning, 3 error. timeOutMs 0: no time-out of ours.
  void BalloonTipShow(LONG iconType, std::wstring prompt, const std::wstring& title,
                      LONG timeOutMs);
  void BalloonTipClose();

  bool Visible() const noexcept { return visible_; }
  void Visible(bool visible);
  const std::wstring& ToolTip() const noexcept { return toolTip_; }
  void ToolTip(const std::wstring& text);
  HICON IconHandle() const noexcept { return icon_; }
  void IconHandle(HICON icon);
  bool TrackIconMovement() const noexcept { return trackIconMovement_; }
  void TrackIconMovement(bool track);
  LONG IconMovementTrackInterval() const noexcept { return trackInterval_; }
  void IconMovementTrackInterval(LONG ms);

  // The file version of "COMCTL32.DLL"; raises the overflow error of mFileVersion.
  std::wstring CommonControlsVersion() const;
  HWND SysTrayHWnd() const;
  // The icon's middle in screen pixels, also kept as the icon's current middle; 0, 0 when not
  // found.
  void GetIconMiddle(LONG& x, LONG& y);
  // The icon's screen rectangle; all 0 when not found.
  void GetIconRect(LONG& left, LONG& right, LONG& top, LONG& bottom);

  HWND Owner() const noexcept { return owner_; }

  // ISubclass
  EMsgResponse MsgResponse() override;
  void MsgResponse(EMsgResponse mode) override;
  LRESULT WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override;

 private:
  ~cTrayIcon() override;

  RECT FindIconRect();
  void Notify(DWORD message, UINT flags);
  void SetTip(const std::wstring& text);
  void ClearRecord();
  // No icon, no owner: the state Remove leaves.
  void Forget() noexcept;

  void StartBalloonTimer(LONG periodMs);
  void StopBalloonTimer();
  void StartTrackingTimer();
  void StopTrackingTimer();

  void OnTimer(UINT_PTR id);
  LRESULT OnCallback(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam);
  void OnTaskbarCreated();

  UINT taskbarCreatedMessage_ = 0;
  bool balloonTimerRunning_ = false;
  bool visible_ = true;
  HICON icon_ = nullptr;
  std::wstring toolTip_;
  HWND owner_ = nullptr;
  UINT_PTR trackingTimerId_ = 0;
  bool trackingTimerRunning_ = false;
  LONG middleX_ = 0;
  LONG middleY_ = 0;
  LONG reportedX_ = 0;
  LONG reportedY_ = 0;
  bool trackIconMovement_ = false;
  LONG trackInterval_ = 500;
  UINT_PTR balloonTimerId_ = 0;
  DWORD recordSize_ = 0;
  IconRecord record_;
  ITrayIconEvents* events_ = nullptr;
};

}  // namespace sd
