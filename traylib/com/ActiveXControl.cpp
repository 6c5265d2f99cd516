// The control as an embedded object: identity, IOleObject, IOleControl,
// class information, connection points and the events it raises.
#include "traylib/com/ActiveXControl.h"

#include <olectl.h>
#include <shlwapi.h>

#include <memory>

#include "traylib/com/ComError.h"
#include "traylib/com/Enumerator.h"
#include "traylib/com/Module.h"

namespace sd {
namespace {

void CopyPoint(const ComPtr<IConnectionPoint>& from, IConnectionPoint** to) {
  *to = from.Get();
  (*to)->AddRef();
}

using PointEnumerator =
    Enumerator<IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>, CopyPoint>;

}  // namespace

ActiveXControl::ActiveXControl(const ControlInfo& info, IUnknown* outer)
    : info_(info),
      outer_(outer ? outer : &inner_),
      events_(*this, *info.eventInterface, true),
      propertyNotify_(*this, IID_IPropertyNotifySink, false) {
  module::ObjectCreated();
}

ActiveXControl::~ActiveXControl() {
  destroying_ = true;
  // A container that let go without closing us leaves the window behind; it
  // must not outlive the object its procedure points to.
  if (window_) ::DestroyWindow(window_);
  ReleaseWindowClass();
  events_.DisconnectAll();
  propertyNotify_.DisconnectAll();
  module::ObjectDestroyed();
}

// ---- identity ----

STDMETHODIMP ActiveXControl::Inner::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown) {
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  if (void* own = owner_.OwnInterface(iid)) {
    *object = own;
    static_cast<IUnknown*>(own)->AddRef();
    return S_OK;
  }
  // IPersistStream has the layout of IPersistStreamInit without InitNew.
#define SD_QI_ENTRY(iid, itf) \
  { &(iid), static_cast<decltype(QITAB::dwOffset)>(OFFSETOFCLASS(itf, ActiveXControl)) }
  static const QITAB table[] = {
      SD_QI_ENTRY(IID_IOleObject, IOleObject),
      SD_QI_ENTRY(IID_IOleWindow, IOleInPlaceObject),
      SD_QI_ENTRY(IID_IOleInPlaceObject, IOleInPlaceObject),
      SD_QI_ENTRY(IID_IOleInPlaceActiveObject, IOleInPlaceActiveObject),
      SD_QI_ENTRY(IID_IOleControl, IOleControl),
      SD_QI_ENTRY(IID_IViewObject, IViewObject2),
      SD_QI_ENTRY(IID_IViewObject2, IViewObject2),
      SD_QI_ENTRY(IID_IPersist, IPersistStreamInit),
      SD_QI_ENTRY(IID_IPersistStreamInit, IPersistStreamInit),
      SD_QI_ENTRY(IID_IPersistStream, IPersistStreamInit),
      SD_QI_ENTRY(IID_IPersistPropertyBag, IPersistPropertyBag),
      SD_QI_ENTRY(IID_IProvideClassInfo, IProvideClassInfo2),
      SD_QI_ENTRY(IID_IProvideClassInfo2, IProvideClassInfo2),
      SD_QI_ENTRY(IID_IConnectionPointContainer, IConnectionPointContainer),
      SD_QI_ENTRY(IID_ISupportErrorInfo, ISupportErrorInfo),
      {nullptr, 0},
  };
#undef SD_QI_ENTRY
  return ::QISearch(&owner_, table, iid, object);
}

STDMETHODIMP_(ULONG) ActiveXControl::Inner::AddRef() {
  return ::InterlockedIncrement(&owner_.refs_);
}

STDMETHODIMP_(ULONG) ActiveXControl::Inner::Release() {
  ULONG left = ::InterlockedDecrement(&owner_.refs_);
  if (left == 0) {
    owner_.refs_ = 1;  // references taken and dropped while tearing down must not delete twice
    delete &owner_;
  }
  return left;
}

STDMETHODIMP ActiveXControl::QueryInterface(REFIID iid, void** object) {
  return outer_->QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) ActiveXControl::AddRef() { return outer_->AddRef(); }
STDMETHODIMP_(ULONG) ActiveXControl::Release() { return outer_->Release(); }

void* ActiveXControl::OwnInterface(REFIID) noexcept { return nullptr; }

// ---- IOleObject ----

STDMETHODIMP ActiveXControl::SetClientSite(IOleClientSite* site) {
  clientSite_ = ComPtr<IOleClientSite>::Share(site);
  return S_OK;
}

STDMETHODIMP ActiveXControl::GetClientSite(IOleClientSite** site) {
  return clientSite_.CopyTo(site);
}

STDMETHODIMP ActiveXControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP ActiveXControl::Close(DWORD saveOption) {
  return Guarded(IID_IOleObject, [&] {
    // A control never asks the user; "prompt" saves like "if dirty".
    if (saveOption != OLECLOSE_NOSAVE && dirty_ && clientSite_) clientSite_->SaveObject();
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP ActiveXControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP ActiveXControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP ActiveXControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ActiveXControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                    LPCRECT posRect) {
  return Guarded(IID_IOleObject, [&]() -> HRESULT {
    if (!clientSite_ && site) clientSite_ = ComPtr<IOleClientSite>::Share(site);
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(OLEIVERB_UIACTIVATE, parent, posRect);
      case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(OLEIVERB_INPLACEACTIVATE, parent, posRect);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_) ::ShowWindow(window_, SW_HIDE);
        return S_OK;
      case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
      default:
        // IOleObject::DoVerb: an unknown positive verb acts as the primary one.
        if (verb > 0) {
          HRESULT hr = ActivateInPlace(OLEIVERB_UIACTIVATE, parent, posRect);
          return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;  // no open editing and no property pages
    }
  });
}

STDMETHODIMP ActiveXControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (!verbs) return E_POINTER;
  return ::OleRegEnumVerbs(*info_.clsid, verbs);
}

STDMETHODIMP ActiveXControl::Update() { return S_OK; }
STDMETHODIMP ActiveXControl::IsUpToDate() { return S_OK; }

STDMETHODIMP ActiveXControl::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *info_.clsid;
  return S_OK;
}

STDMETHODIMP ActiveXControl::GetUserType(DWORD form, LPOLESTR* userType) {
  if (!userType) return E_POINTER;
  return ::OleRegGetUserType(*info_.clsid, form, userType);
}

STDMETHODIMP ActiveXControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  SIZEL fixed = SizeHimetric();
  // The size is fixed: any other one is refused (IOleObject::SetExtent, E_FAIL).
  return size->cx == fixed.cx && size->cy == fixed.cy ? S_OK : E_FAIL;
}

STDMETHODIMP ActiveXControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = SizeHimetric();
  return S_OK;
}

STDMETHODIMP ActiveXControl::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!connection) return E_POINTER;
  *connection = 0;
  if (!adviseHolder_) {
    HRESULT hr = ::CreateOleAdviseHolder(adviseHolder_.Put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP ActiveXControl::Unadvise(DWORD connection) {
  if (!adviseHolder_) return OLE_E_NOCONNECTION;
  return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP ActiveXControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (!advise) return E_POINTER;
  *advise = nullptr;
  if (!adviseHolder_) return S_OK;  // no connections: no enumerator
  return adviseHolder_->EnumAdvise(advise);
}

STDMETHODIMP ActiveXControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = info_.miscStatus;
  return S_OK;
}

STDMETHODIMP ActiveXControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleControl ----

STDMETHODIMP ActiveXControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  // No mnemonics and no keys of its own.
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP ActiveXControl::OnMnemonic(MSG*) { return S_OK; }

STDMETHODIMP ActiveXControl::OnAmbientPropertyChange(DISPID) {
  if (window_) ::InvalidateRect(window_, nullptr, TRUE);
  return S_OK;
}

STDMETHODIMP ActiveXControl::FreezeEvents(BOOL freeze) {
  if (freeze)
    ++frozenEvents_;
  else if (frozenEvents_ > 0)
    --frozenEvents_;
  return S_OK;
}

// ---- IProvideClassInfo2 ----

STDMETHODIMP ActiveXControl::GetClassInfo(ITypeInfo** info) {
  return Guarded(IID_IProvideClassInfo, [&] {
    if (!info) return E_POINTER;
    *info = module::TypeInfoOf(*info_.clsid).Detach();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = *info_.eventInterface;
  return S_OK;
}

// ---- IConnectionPointContainer ----

STDMETHODIMP ActiveXControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  return Guarded(IID_IConnectionPointContainer, [&] {
    if (!points) return E_POINTER;
    *points = nullptr;
    auto items = std::make_shared<std::vector<ComPtr<IConnectionPoint>>>();
    items->push_back(ComPtr<IConnectionPoint>::Share(&events_));
    items->push_back(ComPtr<IConnectionPoint>::Share(&propertyNotify_));
    return PointEnumerator::Create(IID_IEnumConnectionPoints, std::move(items), points);
  });
}

STDMETHODIMP ActiveXControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  for (ConnectionPoint* candidate : {&events_, &propertyNotify_}) {
    if (candidate->Iid() == iid) {
      *point = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

// ---- ISupportErrorInfo ----

STDMETHODIMP ActiveXControl::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == *info_.defaultInterface ? S_OK : S_FALSE;
}

// ---- what derived controls use ----

void ActiveXControl::PropertyChanged(DISPID id) {
  dirty_ = true;
  for (auto& sink : propertyNotify_.Sinks<IPropertyNotifySink>()) sink->OnChanged(id);
}

void ActiveXControl::RaiseEvent(DISPID id, std::vector<Variant> args) {
  if (frozenEvents_ > 0 || destroying_) return;
  auto sinks = events_.Sinks<IDispatch>();
  if (sinks.empty()) return;
  // DISPPARAMS wants the arguments last to first.
  std::vector<VARIANT> reversed;
  for (auto arg = args.rbegin(); arg != args.rend(); ++arg) reversed.push_back(*arg->Get());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                    static_cast<UINT>(reversed.size()), 0};
  // A sink may release the control while it handles the event.
  auto self = ComPtr<IUnknown>::Share(outer_);
  for (auto& sink : sinks) {
    // A failing sink does not keep the event from the others.
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  }
}

void ActiveXControl::RaiseEventQuietly(DISPID id, std::vector<Variant> args) noexcept {
  try {
    RaiseEvent(id, std::move(args));
  } catch (...) {
    // Dropped on purpose: the caller is a window procedure.
  }
}

}  // namespace sd
