#pragma once
// The public ToolTipOnDemand control: keeps the balloon's settings as
// persistent properties, makes a fresh cToolTipOnDemand at every Show, passes
// property changes on to it, and raises its events to the host.
#include <windows.h>

#include <string>
#include <vector>

#include "Quenbrook.h"
#include "traylib/com/DualControl.h"
#include "traylib/tooltip/IToolTipEvents.h"
#include "traylib/tooltip/cToolTipOnDemand.h"

namespace sd {

class ToolTipOnDemandControl final : public DualControl<_ToolTipOnDemand>, private IToolTipEvents {
 public:
  static const ControlInfo kInfo;

  explicit ToolTipOnDemandControl(IUnknown* outer);
  ~ToolTipOnDemandControl() override;

  // _ToolTipOnDemand
  STDMETHODIMP get_TimeOut(LONG* value) override;
  STDMETHODIMP put_TimeOut(LONG value) override;
  STDMETHODIMP get_Centered(VARIANT_BOOL* value) override;
  STDMETHODIMP put_Centered(VARIANT_BOOL value) override;
  STDMETHODIMP get_Prompt(BSTR* value) override;
  STDMETHODIMP put_Prompt(BSTR value) override;
  STDMETHODIMP get_BackColor(LONG* value) override;
  STDMETHODIMP put_BackColor(LONG value) override;
  STDMETHODIMP get_Title(BSTR* value) override;
  STDMETHODIMP put_Title(BSTR value) override;
  STDMETHODIMP get_ForeColor(LONG* value) override;
  STDMETHODIMP put_ForeColor(LONG value) override;
  STDMETHODIMP get_ParentHwnd(LONG* value) override;
  STDMETHODIMP put_ParentHwnd(LONG value) override;
  STDMETHODIMP get_y(LONG* value) override;
  STDMETHODIMP put_y(LONG value) override;
  STDMETHODIMP get_x(LONG* value) override;
  STDMETHODIMP put_x(LONG value) override;
  STDMETHODIMP get_IconType(blIconType* value) override;
  STDMETHODIMP put_IconType(blIconType value) override;
  STDMETHODIMP get_Style(blStyleEnum* value) override;
  STDMETHODIMP put_Style(blStyleEnum value) override;
  STDMETHODIMP Show(blIconType* enIconType, BSTR* sPrompt, BSTR* sTitle, LONG* lTimeout) override;
  STDMETHODIMP Destroy() override;

 private:
  // IToolTipEvents: the balloon object's events, raised again to the host.
  void MouseEvents(LONG mouseEvent) override;
  void BalloonDestroyed() override;
  void BalloonShowed() override;

  // Lets go of the balloon object without hearing from it again; its window
  // closes with it.
  void ReleaseBalloon() noexcept;
  // Runs `set` on the balloon object, if there is one.
  template <typename Set>
  void PassOn(Set&& set) {
    if (auto balloon = ComPtr<cToolTipOnDemand>::Share(balloon_.Get())) set(*balloon);
  }

  void InitProperties() override;
  void ReadProperties(PropertyReader& reader) override;
  void WriteProperties(PropertyWriter& writer) override;

  LONG x_ = 0;
  LONG y_ = 0;
  LONG style_ = blBalloon;
  LONG iconType_ = blNoIcon;
  LONG parentHwnd_ = 0;
  LONG foreColor_ = 0;
  LONG backColor_ = kTooltipBackColor;
  std::wstring title_;
  std::wstring prompt_;
  bool centered_ = false;
  LONG timeOut_ = 0;
  // From one Show to the next, to Destroy or to the control's end. The
  // engine may hold the object a little longer while it is inside one of
  // its messages.
  ComPtr<cToolTipOnDemand> balloon_;
};

}  // namespace sd
