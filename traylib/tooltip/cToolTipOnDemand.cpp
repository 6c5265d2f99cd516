#include "traylib/tooltip/cToolTipOnDemand.h"

#include <olectl.h>

#include <cstdint>

#include "traylib/AnsiText.h"
#include "traylib/Error.h"
#include "traylib/Library.h"

namespace sd {

namespace {

constexpr char kTooltipClass[] = "tooltips_class32";
constexpr DWORD kBalloonWindowStyle = TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON;  // 67
constexpr DWORD kStandardWindowStyle = TTS_ALWAYSTIP | TTS_NOPREFIX;               // 3

// Colours are kept as plain colour references: system colour numbers such
// as 0x80000018 are translated (OleTranslateColor, no palette).
LONG Translated(LONG color) {
  COLORREF plain = 0;
  if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(color), nullptr, &plain))) return -1;
  return static_cast<LONG>(plain);
}

void RegisterTooltipClass() {
  INITCOMMONCONTROLSEX icc{8, ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&icc)) InitCommonControls();
}

}  // namespace

cToolTipOnDemand::cToolTipOnDemand() {
  RegisterTooltipClass();
  style_ = kStyleBalloon;
  backColor_ = Translated(kTooltipBackColor);
  foreColor_ = 0;
}

cToolTipOnDemand::~cToolTipOnDemand() {
  try {
    Destroy();
  } catch (...) {
  }
}

void cToolTipOnDemand::Show(LONG iconType, const std::wstring& prompt, const std::wstring& title,
                            LONG timeoutMs) {
  IconType(iconType);
  if (!prompt.empty()) Prompt(prompt);
  if (!title.empty()) Title(title);
  CreateBalloonWindow();
  AttachMouseMessages();
  if (timeoutMs > 0) StartTimer(timeoutMs);
  if (events_) events_->BalloonShowed();
}

void cToolTipOnDemand::Destroy() {
  StopTimer();
  if (!tooltip_) return;
  DetachMouseMessages();
  const HWND window = tooltip_;
  tooltip_ = nullptr;
  DestroyWindow(window);
  if (events_) events_->BalloonDestroyed();
}

void cToolTipOnDemand::CreateBalloonWindow() {
  Destroy();
  // Checked before the window is made, so that a position out of range
  // leaves no half-made window behind.
  const LPARAM position = PositionValue();
  const DWORD style = style_ == kStyleBalloon ? kBalloonWindowStyle : kStandardWindowStyle;
  const HWND window = CreateWindowExA(0, kTooltipClass, nullptr, style, 0, 0, 0, 0, parentHwnd_,
                                      nullptr, LibraryInstance(), nullptr);
  if (!window) RaiseSystemError(GetLastError());
  tooltip_ = window;

  FillToolRecord();
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool_));
  // At creation either a title or an icon is enough for the title line.
  if (!title_.empty() || iconType_ != 0) SendTitle();
  if (foreColor_ != 0)
    SendMessageA(tooltip_, TTM_SETTIPTEXTCOLOR, static_cast<WPARAM>(foreColor_), 0);
  if (backColor_ != 0)
    SendMessageA(tooltip_, TTM_SETTIPBKCOLOR, static_cast<WPARAM>(backColor_), 0);
  SendPosition(position);
  SendMessageA(tooltip_, TTM_TRACKACTIVATE, static_cast<WPARAM>(TRUE),
               reinterpret_cast<LPARAM>(&tool_));
  // With no owner nothing keeps the balloon above other windows.
  if (!parentHwnd_) SetWindowPos(tooltip_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// The record in the size this platform's common controls know as the second
// version (44 bytes on 32-bit Windows, 64 on 64-bit).
void cToolTipOnDemand::FillToolRecord() {
  tool_ = TTTOOLINFOA{};
  tool_.cbSize = TTTOOLINFOA_V2_SIZE;
  tool_.uFlags = TTF_IDISHWND | TTF_TRACK | (centered_ ? TTF_CENTERTIP : 0);
  tool_.hwnd = parentHwnd_;
  tool_.uId = reinterpret_cast<UINT_PTR>(parentHwnd_);
  if (parentHwnd_) GetClientRect(parentHwnd_, &tool_.rect);
  tool_.hinst = LibraryInstance();
  toolText_ = ToAnsi(prompt_);
  tool_.lpszText = toolText_.data();
}

// The pair as TTM_TRACKPOSITION takes it, x in the low and y in the high
// word. A y that does not fit its word, or a value x + y * 65536 that leaves
// the 32-bit range, raises the overflow error. The words are packed rather
// than added, so that a negative x (a screen left of the primary one) does
// not borrow from y.
LPARAM cToolTipOnDemand::PositionValue() const {
  const int64_t high = static_cast<int64_t>(y_) * 65536;
  const int64_t sum = static_cast<int64_t>(x_) + high;
  if (high < INT32_MIN || high > INT32_MAX || sum < INT32_MIN || sum > INT32_MAX)
    RaiseRuntimeError(kErrOverflow);
  const auto packed = static_cast<LONG>(MAKELONG(LOWORD(x_), LOWORD(y_)));
  return static_cast<LPARAM>(packed);
}

void cToolTipOnDemand::SendPosition(LPARAM position) const {
  SendMessageA(tooltip_, TTM_TRACKPOSITION, 0, position);
}

void cToolTipOnDemand::SendTitle() const {
  const std::string title = ToAnsi(title_);
  SendMessageA(tooltip_, TTM_SETTITLEA, static_cast<WPARAM>(iconType_),
               reinterpret_cast<LPARAM>(title.c_str()));
}

// ---- properties: stored, and passed to the window while it exists ----

void cToolTipOnDemand::IconType(LONG iconType) {
  iconType_ = iconType;
  if (tooltip_ && !title_.empty() && iconType_ != 0) SendTitle();
}

void cToolTipOnDemand::Title(const std::wstring& title) {
  title_ = title;
  if (tooltip_ && !title_.empty() && iconType_ != 0) SendTitle();
}

void cToolTipOnDemand::x(LONG value) {
  x_ = value;
  if (tooltip_) SendPosition(PositionValue());
}

void cToolTipOnDemand::y(LONG value) {
  y_ = value;
  if (tooltip_) SendPosition(PositionValue());
}

void cToolTipOnDemand::ForeColor(LONG color) {
  foreColor_ = Translated(color);
  if (tooltip_) SendMessageA(tooltip_, TTM_SETTIPTEXTCOLOR, static_cast<WPARAM>(foreColor_), 0);
}

void cToolTipOnDemand::BackColor(LONG color) {
  backColor_ = Translated(color);
  if (tooltip_) SendMessageA(tooltip_, TTM_SETTIPBKCOLOR, static_cast<WPARAM>(backColor_), 0);
}

void cToolTipOnDemand::Prompt(const std::wstring& prompt) {
  prompt_ = prompt;
  if (!tooltip_) return;
  toolText_ = ToAnsi(prompt_);
  tool_.lpszText = toolText_.data();
  SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool_));
}

}  // namespace sd
