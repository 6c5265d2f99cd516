#pragma once
// One free-standing balloon (or rectangular) tooltip at a screen position,
// shown on demand with no tool under the mouse: a tracking window of the
// common controls' class "tooltips_class32". Mouse messages on the balloon
// and its time-out timer are heard through the subclassing engine.
//
// Created with MakeRef<cToolTipOnDemand>(); the window closes when the last
// reference is released. The events sink is not owned: clear it before the
// sink goes away.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "traylib/RefCounted.h"
#include "traylib/subclass/ISubclass.h"
#include "traylib/tooltip/IToolTipEvents.h"

namespace sd {

// The time-out timer on the tooltip window.
inline constexpr UINT_PTR kBalloonTimeoutTimerId = 998;
// Style 1 is a balloon; any other value a standard rectangle.
inline constexpr LONG kStyleBalloon = 1;
// The system's tooltip background colour (COLOR_INFOBK as an OLE colour).
inline constexpr LONG kTooltipBackColor = static_cast<LONG>(0x80000018u);

class cToolTipOnDemand final : public RefCounted<ISubclass> {
 public:
  cToolTipOnDemand();

  void SetEvents(IToolTipEvents* events) noexcept { events_ = events; }

  // Shows the tooltip; an empty prompt or title keeps the stored one, and a
  // time-out of 0 or less keeps it until Destroy. Raises the system's error
  // when the window cannot be made, and the overflow error for a position
  // that does not fit the tooltip's coordinate pair.
  void Show(LONG iconType, const std::wstring& prompt, const std::wstring& title, LONG timeoutMs);
  // Closes the window, if there is one.
  void Destroy();

  LONG Style() const noexcept { return style_; }
  void Style(LONG style) noexcept { style_ = style; }
  LONG IconType() const noexcept { return iconType_; }
  void IconType(LONG iconType);
  LONG x() const noexcept { return x_; }
  void x(LONG value);
  LONG y() const noexcept { return y_; }
  void y(LONG value);
  HWND ParentHwnd() const noexcept { return parentHwnd_; }
  void ParentHwnd(HWND parent) noexcept { parentHwnd_ = parent; }
  // Colours are kept translated (OleTranslateColor); -1 when untranslatable.
  LONG ForeColor() const noexcept { return foreColor_; }
  void ForeColor(LONG color);
  LONG BackColor() const noexcept { return backColor_; }
  void BackColor(LONG color);
  const std::wstring& Title() const noexcept { return title_; }
  void Title(const std::wstring& title);
  const std::wstring& Prompt() const noexcept { return prompt_; }
  void Prompt(const std::wstring& prompt);
  bool Centered() const noexcept { return centered_; }
  void Centered(bool centered) noexcept { centered_ = centered; }

  // The tooltip window while it exists.
  HWND Window() const noexcept { return tooltip_; }

  // ISubclass
  EMsgResponse MsgResponse() override;
  void MsgResponse(EMsgResponse mode) override;
  LRESULT WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override;

 private:
  ~cToolTipOnDemand() override;

  void CreateBalloonWindow();
  void FillToolRecord();
  LPARAM PositionValue() const;
  void SendPosition(LPARAM position) const;
  void SendTitle() const;

  void AttachMouseMessages();
  void DetachMouseMessages() noexcept;
  void StartTimer(LONG periodMs);
  void StopTimer();
  void OnTimeout();

  LONG backColor_ = 0;
  std::wstring title_;
  LONG foreColor_ = 0;
  LONG iconType_ = 0;
  bool centered_ = false;
  std::wstring prompt_;
  LONG style_ = kStyleBalloon;
  HWND tooltip_ = nullptr;
  HWND parentHwnd_ = nullptr;
  LONG x_ = 0;
  LONG y_ = 0;
  TTTOOLINFOA tool_{};
  std::string toolText_;  // what tool_.lpszText points to
  bool timerRunning_ = false;
  UINT_PTR timerId_ = 0;
  IToolTipEvents* events_ = nullptr;
};

}  // namespace sd
