// The COM objects the main window offers the TrayIcon control: its client
// site (with in-place activation) and the sink of its events.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include "Quenbrook.h"
#include "shell/SysTray.h"
#include "shell/TrayIconSite.h"

namespace mf {

// ---- Site ----

STDMETHODIMP TrayIconHost::Site::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
    *object = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
    *object = static_cast<IOleInPlaceSite*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}
STDMETHODIMP_(ULONG) TrayIconHost::Site::AddRef() { return static_cast<ULONG>(++refs_); }
STDMETHODIMP_(ULONG) TrayIconHost::Site::Release() {
  LONG left = --refs_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// Nothing of the control is saved: the form has no stored state for it.
STDMETHODIMP TrayIconHost::Site::SaveObject() { return S_OK; }
STDMETHODIMP TrayIconHost::Site::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP TrayIconHost::Site::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP TrayIconHost::Site::ShowObject() { return S_OK; }
STDMETHODIMP TrayIconHost::Site::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP TrayIconHost::Site::RequestNewObjectLayout() { return E_NOTIMPL; }

STDMETHODIMP TrayIconHost::Site::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = container_;
  return container_ ? S_OK : E_FAIL;
}
STDMETHODIMP TrayIconHost::Site::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP TrayIconHost::Site::CanInPlaceActivate() { return container_ ? S_OK : S_FALSE; }
STDMETHODIMP TrayIconHost::Site::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP TrayIconHost::Site::OnUIActivate() { return S_OK; }

// The control lies in the top left corner, in its own fixed size; there is
// no frame or document window to negotiate tools with.
STDMETHODIMP TrayIconHost::Site::GetWindowContext(IOleInPlaceFrame** frame,
                                                  IOleInPlaceUIWindow** document, LPRECT posRect,
                                                  LPRECT clipRect, LPOLEINPLACEFRAMEINFO info) {
  if (frame) *frame = nullptr;
  if (document) *document = nullptr;
  if (!posRect || !clipRect) return E_POINTER;
  RECT client{};
  GetClientRect(container_, &client);
  *posRect = client;
  *clipRect = client;
  if (info) {
    info->fMDIApp = FALSE;
    info->hwndFrame = container_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}
STDMETHODIMP TrayIconHost::Site::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP TrayIconHost::Site::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP TrayIconHost::Site::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP TrayIconHost::Site::DiscardUndoState() { return S_OK; }
STDMETHODIMP TrayIconHost::Site::DeactivateAndUndo() { return S_OK; }
STDMETHODIMP TrayIconHost::Site::OnPosRectChange(LPCRECT) { return S_OK; }

// ---- EventSink ----

STDMETHODIMP TrayIconHost::EventSink::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___TrayIcon) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) TrayIconHost::EventSink::AddRef() { return static_cast<ULONG>(++refs_); }
STDMETHODIMP_(ULONG) TrayIconHost::EventSink::Release() {
  LONG left = --refs_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}
STDMETHODIMP TrayIconHost::EventSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
STDMETHODIMP TrayIconHost::EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP TrayIconHost::EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

// Events arrive by dispatch id, arguments last to first. The mouse event and
// the balloon's have handlers; the others are heard and let go.
STDMETHODIMP TrayIconHost::EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                             VARIANT*, EXCEPINFO*, UINT*) {
  const bool handled = id == DISPID_TrayIcon_TrayMouseEvent || id == DISPID_TrayIcon_BalloonClick;
  if (!handled || !events_) return S_OK;
  if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  VARIANT code;
  VariantInit(&code);
  HRESULT hr = VariantChangeType(&code, &params->rgvarg[0], 0, VT_I4);
  if (FAILED(hr)) return hr;
  try {
    if (id == DISPID_TrayIcon_TrayMouseEvent)
      events_->TrayMouseEvent(V_I4(&code));
    else
      events_->BalloonClick(V_I4(&code));
  } catch (...) {
    // Nothing of the program's may cross back into the control.
  }
  return S_OK;
}

}  // namespace mf
