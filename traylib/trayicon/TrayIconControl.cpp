#include "traylib/trayicon/TrayIconControl.h"

#include <algorithm>

#include "traylib/com/PropertyStore.h"

namespace sd {
namespace {

// Dispatch ids of the persistent properties, as the type library has them.
constexpr DISPID kToolTipId = 0x68030001;
constexpr DISPID kTrayIconVisibleId = 0x68030002;
constexpr DISPID kTrackIconMovementId = 0x68030004;
constexpr DISPID kIntervalId = 0x68030005;
constexpr DISPID kIconRectId = 0x6003000D;

constexpr bool kDefaultVisible = true;
constexpr LONG kDefaultInterval = 500;
constexpr bool kDefaultTracking = false;

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The tracking period is never below 1 ms.
LONG AtLeastOne(LONG interval) { return std::max<LONG>(interval, 1); }

}  // namespace

const ControlInfo TrayIconControl::kInfo = {&CLSID_TrayIcon, &IID__TrayIcon, &DIID___TrayIcon,
                                            "TI", 375, kControlMiscStatus};

TrayIconControl::TrayIconControl(IUnknown* outer) : DualControl(kInfo, outer) {}

TrayIconControl::~TrayIconControl() = default;

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
    toolTip_ = value ? std::wstring(value, ::SysStringLen(value)) : std::wstring();
    PropertyChanged(kToolTipId);
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
    PropertyChanged(kTrayIconVisibleId);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::get_Created(VARIANT_BOOL* value) {
  return Call([&] {
    if (!value) return E_POINTER;
    *value = VARIANT_FALSE;
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
    PropertyChanged(kTrackIconMovementId);
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
    PropertyChanged(kIntervalId);
    return S_OK;
  });
}

STDMETHODIMP TrayIconControl::SysTrayHWnd(LONG* hwnd) {
  return Call([&] {
    if (!hwnd) return E_POINTER;
    *hwnd = 0;
    return S_OK;
  });
}
STDMETHODIMP TrayIconControl::CommonControlsVersion(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP TrayIconControl::Create(LONG*, LONG*, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP TrayIconControl::Remove() { return S_OK; }
STDMETHODIMP TrayIconControl::BalloonTipShow(blIconType*, BSTR, BSTR, LONG*) { return S_OK; }
STDMETHODIMP TrayIconControl::BalloonTipClose() { return S_OK; }
STDMETHODIMP TrayIconControl::GetIconMiddle(LONG* lX, LONG* lY) {
  return Call([&] {
    if (!lX || !lY) return E_POINTER;
    return S_OK;
  });
}
STDMETHODIMP TrayIconControl::IconRect(tiRECT* rect) {
  return Call([&] {
    if (!rect) return E_POINTER;
    *rect = tiRECT{};
    return S_OK;
  });
}

// IconRect returns a record, which the system's type information cannot
// hand back through IDispatch under Wine: answered here.
bool TrayIconControl::InvokeDirect(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, HRESULT& hr) {
  if (id != kIconRectId || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return false;
  if (params && (params->cArgs != 0 || params->cNamedArgs != 0)) {
    hr = DISP_E_BADPARAMCOUNT;
    return true;
  }
  tiRECT rect{};
  hr = IconRect(&rect);
  hr = FAILED(hr) ? DispatchFailure(hr, exception) : RecordResult(id, &rect, result);
  return true;
}

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
