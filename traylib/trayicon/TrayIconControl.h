#pragma once
// The public TrayIcon control: keeps the icon's settings as persistent
// properties, owns one cTrayIcon from Create to Remove, passes property
// changes and calls on to it, and raises its events to the host.
#include <windows.h>

#include <string>

#include "Quenbrook.h"
#include "traylib/com/DualControl.h"
#include "traylib/trayicon/ITrayIconEvents.h"
#include "traylib/trayicon/cTrayIcon.h"

namespace sd {

class TrayIconControl final : public DualControl<_TrayIcon>, private ITrayIconEvents {
 public:
  static const ControlInfo kInfo;

  explicit TrayIconControl(IUnknown* outer);
  ~TrayIconControl() override;

  // _TrayIcon
  STDMETHODIMP get_IconHandle(LONG* value) override;
  STDMETHODIMP put_IconHandle(LONG value) override;
  STDMETHODIMP get_ToolTip(BSTR* value) override;
  STDMETHODIMP put_ToolTip(BSTR value) override;
  STDMETHODIMP get_TrayIconVisible(VARIANT_BOOL* value) override;
  STDMETHODIMP put_TrayIconVisible(VARIANT_BOOL value) override;
  STDMETHODIMP get_Created(VARIANT_BOOL* value) override;
  STDMETHODIMP get_TrackIconMovement(VARIANT_BOOL* value) override;
  STDMETHODIMP put_TrackIconMovement(VARIANT_BOOL value) override;
  STDMETHODIMP get_IconMovementTrackInterval(LONG* value) override;
  STDMETHODIMP put_IconMovementTrackInterval(LONG value) override;
  STDMETHODIMP SysTrayHWnd(LONG* hwnd) override;
  STDMETHODIMP CommonControlsVersion(BSTR* version) override;
  STDMETHODIMP Create(LONG* lOwnerHwnd, LONG* hIcon, BSTR* sToolTipText) override;
  STDMETHODIMP Remove() override;
  STDMETHODIMP BalloonTipShow(blIconType* enIconType, BSTR sPrompt, BSTR sTitle,
                              LONG* TimeOut) override;
  STDMETHODIMP BalloonTipClose() override;
  STDMETHODIMP GetIconMiddle(LONG* lX, LONG* lY) override;
  STDMETHODIMP IconRect(tiRECT* rect) override;

 private:
  // ITrayIconEvents: the icon object's events, raised again to the host.
  void TrayMouseEvent(LONG mouseEvent) override;
  void TrayKeyEvent(LONG keyEvent) override;
  void TrayIconMoved(LONG x, LONG y) override;
  void BalloonClick(LONG clickType) override;
  void TaskBarRecreated() override;

  // Lets go of the icon object, which takes its icon from the notification area.
  void ReleaseIcon() noexcept;

  bool InvokeDirect(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* exception, HRESULT& hr) override;
  void InitProperties() override;
  void ReadProperties(PropertyReader& reader) override;
  void WriteProperties(PropertyWriter& writer) override;

  bool trayIconVisible_ = true;
  std::wstring toolTip_;
  LONG iconHandle_ = 0;
  LONG iconMovementTrackInterval_ = 500;
  bool trackIconMovement_ = false;
  // From Create to Remove. The engine may hold the object a little longer
  // while it is inside one of its messages; its icon is gone by then.
  ComPtr<cTrayIcon> icon_;
};

}  // namespace sd
