#include "traylib/trayicon/cTrayIcon.h"

#include "traylib/Error.h"
#include "traylib/Library.h"
#include "traylib/subclass/MSubclass.h"
#include "traylib/trayicon/mFileVersion.h"
#include "traylib/trayicon/mSystemUtils.h"

namespace sd {

namespace {
// NIS_SHAREDICON: the icon handle stays the host's.
constexpr DWORD kStateAtCreate = NIS_SHAREDICON;
// The shell clamps this to its own minimum; the balloon lasts as the shell decides.
constexpr UINT kBalloonShellTimeout = 3;

DWORD ChooseRecordSize() {
  if (mSystemUtils::ShellVersionAtLeast(6)) return kRecordSizeShell6;
  if (mSystemUtils::ShellVersionAtLeast(5)) return kRecordSizeShell5;
  return kRecordSizeOlder;
}
}  // namespace

cTrayIcon::cTrayIcon() { mSystemUtils::ReadOsRecord(); }

cTrayIcon::~cTrayIcon() {
  try {
    Remove();
  } catch (...) {
  }
}

void cTrayIcon::Notify(DWORD message, UINT flags) {
  record_.uFlags = flags;
  if (owner_) NotifyIcon(message, record_);
}

void cTrayIcon::ClearRecord() {
  record_.hWnd = nullptr;
  record_.uID = 0;
  record_.uFlags = 0;
  record_.uCallbackMessage = 0;
  record_.hIcon = nullptr;
  record_.szTip.clear();
  record_.szInfo.clear();
  record_.szInfoTitle.clear();
  record_.dwState = 0;
  record_.dwStateMask = 0;
  record_.uTimeout = 0;
  record_.dwInfoFlags = 0;
}

void cTrayIcon::Create(HWND owner, HICON icon, const std::wstring& toolTipText) {
  // Remove forgets the icon and the tooltip, and the text may be our own stored
  // tooltip: it is copied before Remove runs.
  const std::wstring tip = toolTipText;  // NOLINT(performance-unnecessary-copy-initialization)
  if (owner_) Remove();
  icon_ = icon;
  owner_ = owner;
  recordSize_ = ChooseRecordSize();
  record_.cbSize = recordSize_;
  record_.hIcon = visible_ ? icon_ : nullptr;
  toolTip_ = tip.empty() ? std::wstring(kAppTitle) : tip;
  record_.szTip = toolTip_;
  record_.hWnd = owner_;
  record_.uID = kTrayIconId;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  record_.uCallbackMessage = kTrayCallbackMessage;
  record_.dwState = kStateAtCreate;
  record_.dwStateMask = 0;
  record_.szInfo.clear();
  record_.uTimeout = kBalloonShellTimeout;
  record_.szInfoTitle.clear();
  record_.dwInfoFlags = 0;

  if (owner_) {
    // Attached first, so that an owner that is no window raises "Invalid window".
    MSubclass::AttachMessage(this, owner_, kTrayCallbackMessage);
    if (!NotifyIcon(NIM_ADD, record_)) {
      // The shell keeps one icon per window and id: a caller must hear that
      // it has none rather than believe it has one.
      MSubclass::DetachMessage(this, owner_, kTrayCallbackMessage);
      Forget();
      throw Error(kObjectErrorBase + kErrIconRefused, L"The notification area refused the icon",
                  LibraryBaseName() + L".cTrayIcon");
    }
  }
  // A failed registration is tried again at the next Create.
  if (!taskbarCreatedMessage_) taskbarCreatedMessage_ = RegisterWindowMessageA("TaskbarCreated");
  // With no owner this raises "Invalid window".
  if (taskbarCreatedMessage_) MSubclass::AttachMessage(this, owner_, taskbarCreatedMessage_);

  if (trackIconMovement_) {
    LONG x = 0, y = 0;
    GetIconMiddle(x, y);
    StartTrackingTimer();
  }
}

void cTrayIcon::Remove() {
  if (!owner_) return;
  MSubclass::DetachMessage(this, owner_, kTrayCallbackMessage);
  if (taskbarCreatedMessage_) MSubclass::DetachMessage(this, owner_, taskbarCreatedMessage_);
  StopTrackingTimer();
  BalloonTipClose();
  NotifyIcon(NIM_DELETE, record_);
  Forget();
}

void cTrayIcon::Forget() noexcept {
  ClearRecord();
  icon_ = nullptr;
  owner_ = nullptr;
  toolTip_.clear();
}

void cTrayIcon::BalloonTipShow(LONG iconType, std::wstring prompt, const std::wstring& title,
                               LONG timeOutMs) {
  if (!owner_) return;
  // An empty text would hide the balloon instead.
  if (prompt.empty()) prompt = L" ";
  BalloonTipClose();
  if (!mSystemUtils::BalloonsSupported()) return;
  record_.szInfo = prompt;
  record_.szInfoTitle = title;
  record_.dwInfoFlags = static_cast<DWORD>(iconType);
  record_.uTimeout = kBalloonShellTimeout;
  Notify(NIM_MODIFY, NIF_INFO);
  if (timeOutMs > 0) StartBalloonTimer(timeOutMs);
}

void cTrayIcon::BalloonTipClose() {
  if (!owner_) return;
  StopBalloonTimer();
  record_.szInfoTitle.clear();
  record_.szInfo.clear();
  record_.dwInfoFlags = 0;
  Notify(NIM_MODIFY, NIF_INFO);
}

void cTrayIcon::Visible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  record_.hIcon = visible_ ? icon_ : nullptr;
  if (owner_) Notify(NIM_MODIFY, NIF_ICON | NIF_TIP);
}

void cTrayIcon::IconHandle(HICON icon) {
  icon_ = icon;
  if (!visible_) return;
  record_.hIcon = icon_;
  if (owner_) Notify(NIM_MODIFY, NIF_ICON);
}

void cTrayIcon::ToolTip(const std::wstring& text) { SetTip(text); }

void cTrayIcon::SetTip(const std::wstring& text) {
  record_.szTip = text;
  toolTip_ = text;
  if (owner_) Notify(NIM_MODIFY, NIF_TIP);
}

void cTrayIcon::TrackIconMovement(bool track) {
  trackIconMovement_ = track;
  if (!owner_) return;
  if (track)
    StartTrackingTimer();
  else
    StopTrackingTimer();
}

void cTrayIcon::IconMovementTrackInterval(LONG ms) {
  trackInterval_ = ms < 1 ? 1 : ms;
  if (!owner_) return;
  StopTrackingTimer();
  if (trackIconMovement_) StartTrackingTimer();
}

std::wstring cTrayIcon::CommonControlsVersion() const {
  return mFileVersion::FileVersion(L"COMCTL32.DLL");
}

}  // namespace sd
