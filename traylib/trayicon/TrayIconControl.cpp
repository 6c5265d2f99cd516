#include "traylib/trayicon/TrayIconControl.h"

#include <algorithm>

#include "traylib/com/DispatchValues.h"
#include "traylib/com/PropertyStore.h"
#include "traylib/trayicon/mFileVersion.h"

namespace sd {
namespace {

constexpr bool kDefaultVisible = true;
constexpr LONG kDefaultInterval = 500;
constexpr bool kDefaultTracking = false;

// What Create's tooltip argument holds when the caller left it out.
constexpr wchar_t kNoToolTip[] = L"~nOtOoLtIp";

// The tracking period is never below 1 ms.
LONG AtLeastOne(LONG interval) { return std::max<LONG>(interval, 1); }

}  // namespace

const ControlInfo TrayIconControl::kInfo = {
    &CLSID_TrayIcon, &IID__TrayIcon, &DIID___TrayIcon, "TI", 375, kControlMiscStatus};

TrayIconControl::TrayIconControl(IUnknown* outer) : DualControl(kInfo, outer) {}

// Destroying the control removes its icon.
TrayIconControl::~TrayIconControl() { ReleaseIcon(); }

void TrayIconControl::ReleaseIcon() noexcept {
  ComPtr<cTrayIcon> icon = std::move(icon_);
  if (!icon) return;
  icon->SetEvents(nullptr);
  // Called from one of the object's own events, the engine holds the object
  // until that message ends. Its icon and timers go now, not then: a new
  // object for the same window adds an icon and timers of the same ids.
  try {
    icon->Remove();
  } catch (...) {  // what is left goes with the object
  }
}

// ---- properties: stored here, passed on while an icon object exists ----

STDMETHODIMP TrayIconControl::get_IconHandle(LONG* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    *value = iconHandle_;
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::put_IconHandle(LONG value) {
  return Call([&] {
    iconHandle_ = value;
    if (icon_) icon_->IconHandle(IconOf(value));
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::get_ToolTip(BSTR* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    *value = Bstr(toolTip_).Detach();
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::put_ToolTip(BSTR value) {
  return Call([&] {
    toolTip_ = Text(value);
    PropertyChanged(DISPID_TrayIcon_ToolTip);
    if (icon_) icon_->ToolTip(toolTip_);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::get_TrayIconVisible(VARIANT_BOOL* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    *value = ToVariantBool(trayIconVisible_);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::put_TrayIconVisible(VARIANT_BOOL value) {
  return Call([&] {
    trayIconVisible_ = value != VARIANT_FALSE;
    PropertyChanged(DISPID_TrayIcon_TrayIconVisible);
    if (icon_) icon_->Visible(trayIconVisible_);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::get_Created(VARIANT_BOOL* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    // An object whose icon the re-created taskbar refused holds none.
    *value = ToVariantBool(icon_ && icon_->Owner());
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::get_TrackIconMovement(VARIANT_BOOL* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    *value = ToVariantBool(trackIconMovement_);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::put_TrackIconMovement(VARIANT_BOOL value) {
  return Call([&] {
    trackIconMovement_ = value != VARIANT_FALSE;
    PropertyChanged(DISPID_TrayIcon_TrackIconMovement);
    if (icon_) icon_->TrackIconMovement(trackIconMovement_);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::get_IconMovementTrackInterval(LONG* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    *value = iconMovementTrackInterval_;
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::put_IconMovementTrackInterval(LONG value) {
  return Call([&] {
    iconMovementTrackInterval_ = AtLeastOne(value);
    PropertyChanged(DISPID_TrayIcon_IconMovementTrackInterval);
    if (icon_) icon_->IconMovementTrackInterval(iconMovementTrackInterval_);
    return S_OK;
  });
}

// ---- methods ----

STDMETHODIMP TrayIconControl::SysTrayHWnd(LONG* hwnd) {
  return Call([&] {
    if (!hwnd) return E_POINTER;
    *hwnd = icon_ ? NumberOf(icon_->SysTrayHWnd()) : 0;
    return S_OK;
  });
}

// Answered with or without an icon: it is a fact of the system.
STDMETHODIMP TrayIconControl::CommonControlsVersion(BSTR* version) {
  return Call([&] {
    if (!version) return E_POINTER;
    *version = nullptr;
    std::wstring text =
        icon_ ? icon_->CommonControlsVersion() : mFileVersion::FileVersion(L"COMCTL32.DLL");
    *version = Bstr(text).Detach();
    return S_OK;
  });
}

// A by-reference argument a caller of the vtable left null counts as left out.
STDMETHODIMP TrayIconControl::Create(LONG* lOwnerHwnd, LONG* hIcon, BSTR* sToolTipText) {
  return Call([&] {
    if (!lOwnerHwnd) return E_POINTER;
    if (hIcon && *hIcon > 0) iconHandle_ = *hIcon;
    // Taken without marking it changed: the host passed it for this icon.
    if (sToolTipText && Text(*sToolTipText) != kNoToolTip) toolTip_ = Text(*sToolTipText);
    // The previous icon goes before the new one is added.
    ReleaseIcon();
    ComPtr<cTrayIcon> icon = MakeRef<cTrayIcon>();
    icon->SetEvents(this);
    icon->Visible(trayIconVisible_);
    icon->ToolTip(toolTip_);
    icon->IconHandle(IconOf(iconHandle_));
    icon->TrackIconMovement(trackIconMovement_);
    icon->IconMovementTrackInterval(iconMovementTrackInterval_);
    icon_ = ComPtr<cTrayIcon>::Share(icon.Get());
    try {
      icon->Create(WindowOf(*lOwnerHwnd), IconOf(iconHandle_), toolTip_);
    } catch (...) {
      // An icon object whose icon could not be made is not kept: Created
      // stays false and the host may try again.
      ReleaseIcon();
      throw;
    }
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::Remove() {
  return Call([&] {
    ReleaseIcon();
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::BalloonTipShow(blIconType* enIconType, BSTR sPrompt, BSTR sTitle,
                                             LONG* TimeOut) {
  return Call([&] {
    if (icon_) {
      icon_->BalloonTipShow(enIconType ? *enIconType : blNoIcon, Text(sPrompt), Text(sTitle),
                            TimeOut ? *TimeOut : 0);
    }
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::BalloonTipClose() {
  return Call([&] {
    if (icon_) icon_->BalloonTipClose();
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::GetIconMiddle(LONG* lX, LONG* lY) {
  return Call([&] {
    if (!lX || !lY) return E_POINTER;
    if (icon_) icon_->GetIconMiddle(*lX, *lY);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::IconRect(tiRECT* rect) {
  return Call([&] {
    if (!rect) return E_POINTER;
    *rect = tiRECT{};
    if (icon_) icon_->GetIconRect(rect->Left, rect->Right, rect->Top, rect->Bottom);
    return S_OK;
  });
}

// IconRect returns a record, which the system's type information cannot
// hand back through IDispatch under Wine: answered here.
bool TrayIconControl::InvokeDirect(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, HRESULT& hr) {
  if (id != DISPID_TrayIcon_IconRect || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
    return false;
  if (params && (params->cArgs != 0 || params->cNamedArgs != 0)) {
    hr = DISP_E_BADPARAMCOUNT;
    return true;
  }
  tiRECT rect{};
  hr = IconRect(&rect);
  hr = FAILED(hr) ? DispatchFailure(hr, exception) : RecordResult(id, &rect, result);
  return true;
}

// ---- events of the icon object ----

void TrayIconControl::TrayMouseEvent(LONG mouseEvent) {
  std::vector<Variant> args;
  args.push_back(Variant::Long(mouseEvent));
  RaiseEventQuietly(DISPID_TrayIcon_TrayMouseEvent, std::move(args));
}

void TrayIconControl::TrayKeyEvent(LONG keyEvent) {
  std::vector<Variant> args;
  args.push_back(Variant::Long(keyEvent));
  RaiseEventQuietly(DISPID_TrayIcon_TrayKeyEvent, std::move(args));
}

void TrayIconControl::TrayIconMoved(LONG x, LONG y) {
  std::vector<Variant> args;
  args.push_back(Variant::Long(x));
  args.push_back(Variant::Long(y));
  RaiseEventQuietly(DISPID_TrayIcon_TrayIconMoved, std::move(args));
}

void TrayIconControl::BalloonClick(LONG clickType) {
  std::vector<Variant> args;
  args.push_back(Variant::Long(clickType));
  RaiseEventQuietly(DISPID_TrayIcon_BalloonClick, std::move(args));
}

void TrayIconControl::TaskBarRecreated() {
  RaiseEventQuietly(DISPID_TrayIcon_TaskBarRecreated, {});
}

// ---- persistence ----

void TrayIconControl::InitProperties() {
  trayIconVisible_ = kDefaultVisible;
  toolTip_.clear();
  iconMovementTrackInterval_ = kDefaultInterval;
  trackIconMovement_ = kDefaultTracking;
}

void TrayIconControl::ReadProperties(PropertyReader& reader) {
  // All four are read before any is kept, so data that fails to read leaves
  // the control as it was.
  bool visible = reader.ReadBool(L"TrayIconVisible", kDefaultVisible);
  std::wstring toolTip = reader.ReadString(L"ToolTip", L"");
  LONG interval = reader.ReadLong(L"IconMovementTrackInterval", kDefaultInterval);
  bool tracking = reader.ReadBool(L"TrackIconMovement", kDefaultTracking);
  trayIconVisible_ = visible;
  toolTip_ = std::move(toolTip);
  iconMovementTrackInterval_ = AtLeastOne(interval);
  trackIconMovement_ = tracking;
}

// IconHandle is not saved: a handle means nothing in another process or run.
void TrayIconControl::WriteProperties(PropertyWriter& writer) {
  writer.WriteBool(L"TrayIconVisible", trayIconVisible_, kDefaultVisible);
  writer.WriteString(L"ToolTip", toolTip_, L"");
  writer.WriteLong(L"IconMovementTrackInterval", iconMovementTrackInterval_, kDefaultInterval);
  writer.WriteBool(L"TrackIconMovement", trackIconMovement_, kDefaultTracking);
}

}  // namespace sd
