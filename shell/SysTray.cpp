// Hosting the TrayIcon control: creation, start, activation, events, and
// the members the program calls.
#include "shell/SysTray.h"

#include <ocidl.h>
#include <oleidl.h>

#include <cstdio>

#include "Quenbrook.h"
#include "base/Bstr.h"
#include "common/AppInfo.h"
#include "common/Platform.h"
#include "shell/TrayIconSite.h"

namespace mf {
namespace {

using base::Bstr;

// A window or icon handle as the 32-bit number the control's interface
// takes; such handles are 32-bit values on 64-bit Windows too.
LONG HandleNumber(const void* handle) {
  return static_cast<LONG>(reinterpret_cast<LONG_PTR>(handle));
}

// The marker the control reads as "no tooltip given" (keeps its own).
constexpr wchar_t kNoToolTip[] = L"~nOtOoLtIp";

}  // namespace

TrayIconHost::TrayIconHost() = default;
TrayIconHost::~TrayIconHost() { Unload(); }

std::wstring TrayIconHost::MissingControlMessage(HRESULT reason) {
  const std::wstring what = L"The tray icon control \"Quenbrook.TrayIcon\" of Sabledrift.dll ";
  const std::wstring result =
      L", so Marrowfin runs without its icon in the notification area and without "
      L"its tray menu.";
  if (reason == REGDB_E_CLASSNOTREG)
    return what + L"is not registered" + result +
           L"\n\nRegister it with \"regsvr32 Sabledrift.dll\" and start Marrowfin again.";
  wchar_t code[16];
  std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(reason));
  return what + L"could not be started (error " + code + L")" + result;
}

bool TrayIconHost::Load(HWND container, ITrayIconHostEvents* events) {
  Unload();
  container_ = container;
  events_ = events;
  // A control container needs OLE on its thread; balanced in Unload.
  if (!oleInitialized_) oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));

  ComPtr<IOleObject> object;
  loadResult_ = CoCreateInstance(CLSID_TrayIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                 object.PutVoid());
  if (FAILED(loadResult_)) return false;

  // The control asks for its site before it is started (OLEMISC_SETCLIENTSITEFIRST).
  site_ = new Site(container);
  object->SetClientSite(site_);
  // The form keeps no saved state for it: it starts as a new control.
  ComPtr<IPersistPropertyBag> bag;
  ComPtr<IPersistStreamInit> stream;
  if (SUCCEEDED(object.As(bag, IID_IPersistPropertyBag)))
    loadResult_ = bag->InitNew();
  else if (SUCCEEDED(object.As(stream, IID_IPersistStreamInit)))
    loadResult_ = stream->InitNew();
  ComPtr<_TrayIcon> control;
  if (SUCCEEDED(loadResult_)) loadResult_ = object.As(control, IID__TrayIcon);
  object_ = std::move(object);
  if (FAILED(loadResult_)) {
    Unload();
    return false;
  }
  control_ = std::move(control);
  ConnectEvents();
  Activate();
  return true;
}

ComPtr<IConnectionPoint> TrayIconHost::EventPoint() const {
  ComPtr<IConnectionPointContainer> points;
  ComPtr<IConnectionPoint> point;
  if (SUCCEEDED(object_.As(points, IID_IConnectionPointContainer)))
    points->FindConnectionPoint(DIID___TrayIcon, point.Put());
  return point;
}

void TrayIconHost::ConnectEvents() {
  ComPtr<IConnectionPoint> point = EventPoint();
  if (!point) return;  // a control without events still shows its icon
  sink_ = new EventSink(events_);
  if (FAILED(point->Advise(sink_, &adviseCookie_))) adviseCookie_ = 0;
}

void TrayIconHost::DisconnectEvents() {
  if (sink_) sink_->Detach();
  if (adviseCookie_ && object_) {
    if (ComPtr<IConnectionPoint> point = EventPoint()) point->Unadvise(adviseCookie_);
  }
  adviseCookie_ = 0;
  if (sink_) sink_->Release();
  sink_ = nullptr;
}

// In place like every control of the form, then hidden: the control only
// shows a label, and the icon lives in the notification area. A control
// that cannot be activated still works: its icon needs no window of its own.
void TrayIconHost::Activate() {
  RECT client{};
  GetClientRect(container_, &client);
  if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, container_, &client)))
    return;
  ComPtr<IOleInPlaceObject> inPlace;
  if (SUCCEEDED(object_.As(inPlace, IID_IOleInPlaceObject))) inPlace->GetWindow(&controlWindow_);
  object_->DoVerb(OLEIVERB_HIDE, nullptr, site_, 0, container_, &client);
}

void TrayIconHost::Unload() {
  DisconnectEvents();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  // The last reference goes with these: the control removes its icon.
  control_.Reset();
  object_.Reset();
  if (site_) {
    site_->Detach();
    site_->Release();
    site_ = nullptr;
  }
  controlWindow_ = nullptr;
  if (oleInitialized_) {
    OleUninitialize();
    oleInitialized_ = false;
  }
}

void TrayIconHost::SetIconHandle(HICON icon) {
  if (control_) control_->put_IconHandle(HandleNumber(icon));
}

HICON TrayIconHost::IconHandle() const {
  LONG value = 0;
  if (control_) control_->get_IconHandle(&value);
  return reinterpret_cast<HICON>(static_cast<LONG_PTR>(value));
}

bool TrayIconHost::Create(HWND owner) {
  if (!control_) {
    if (!missingReported_) {
      missingReported_ = true;
      Platform().ShowMessageBox(container_, MissingControlMessage(loadResult_), kAppTitle,
                                MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
  }
  LONG ownerNumber = HandleNumber(owner);
  LONG keepIcon = 0;  // 0 keeps IconHandle as set
  Bstr keepToolTip(kNoToolTip);
  return SUCCEEDED(control_->Create(&ownerNumber, &keepIcon, keepToolTip.InOut()));
}

void TrayIconHost::SetTrayIconVisible(bool visible) {
  if (control_) control_->put_TrayIconVisible(visible ? VARIANT_TRUE : VARIANT_FALSE);
}

bool TrayIconHost::TrayIconVisible() const {
  VARIANT_BOOL value = VARIANT_FALSE;
  if (control_) control_->get_TrayIconVisible(&value);
  return value != VARIANT_FALSE;
}

bool TrayIconHost::Created() const {
  VARIANT_BOOL value = VARIANT_FALSE;
  if (control_) control_->get_Created(&value);
  return value != VARIANT_FALSE;
}

void TrayIconHost::Remove() {
  if (control_) control_->Remove();
}

void TrayIconHost::SetToolTip(const std::wstring& text) {
  if (!control_) return;
  Bstr value(text);
  control_->put_ToolTip(value.Get());
}

std::wstring TrayIconHost::ToolTip() const {
  Bstr value;
  if (!control_ || FAILED(control_->get_ToolTip(value.Put()))) return {};
  return value.Text();
}

bool TrayIconHost::BalloonTipShow(BalloonIcon icon, const std::wstring& prompt,
                                  const std::wstring& title, long timeoutMs) {
  if (!control_) return false;
  blIconType type = static_cast<blIconType>(icon);
  LONG timeout = timeoutMs;
  Bstr promptText(prompt);
  Bstr titleText(title);
  return SUCCEEDED(control_->BalloonTipShow(&type, promptText.Get(), titleText.Get(), &timeout));
}

}  // namespace mf
