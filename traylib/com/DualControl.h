#pragma once
// A control with its own dual interface `Itf` (a widl-generated class): the
// base's interfaces plus `Itf`, whose IDispatch half goes through the type
// library. A control class derives from DualControl<Itf>, implements the
// methods of `Itf` with Call(...) around each body, and registers a
// CreateControl<Class> function in the class table.
#include <windows.h>
#include <oaidl.h>

#include <utility>

#include "traylib/com/ActiveXControl.h"
#include "traylib/com/ComError.h"
#include "traylib/com/ComPtr.h"
#include "traylib/com/DefaultArguments.h"
#include "traylib/com/Module.h"

namespace sd {

template <typename Itf>
class DualControl : public ActiveXControl, public Itf {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    return ActiveXControl::QueryInterface(iid, object);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ActiveXControl::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ActiveXControl::Release(); }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return dispatchInfo_.CopyTo(info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return dispatchInfo_->GetIDsOfNames(names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = E_FAIL;
    if (InvokeDirect(id, flags, params, result, exception, hr)) return hr;
    return Guarded(IID_IDispatch, [&] {
      DefaultArguments defaults(*vtableInfo_.Get(), id, flags, params);
      // The type information calls our vtable, and a failing method's error
      // object becomes the EXCEPINFO of the call.
      return vtableInfo_->Invoke(static_cast<Itf*>(this), id, flags,
                                 defaults.Filled() ? defaults.Params() : params, result, exception,
                                 argError);
    });
  }

 protected:
  DualControl(const ControlInfo& info, IUnknown* outer) : ActiveXControl(info, outer) {
    dispatchInfo_ = module::TypeInfoOf(*info.defaultInterface);
    // The dispatch view of a dual interface would send Invoke back to us;
    // the interface view it refers to (-1) describes the vtable.
    HREFTYPE interfaceView = 0;
    if (SUCCEEDED(dispatchInfo_->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceView)))
      ThrowIfFailed(dispatchInfo_->GetRefTypeInfo(interfaceView, vtableInfo_.Put()));
    else
      vtableInfo_ = ComPtr<ITypeInfo>::Share(dispatchInfo_.Get());
  }

  void* OwnInterface(REFIID iid) noexcept override {
    if (iid == IID_IDispatch || iid == *Info().defaultInterface) return static_cast<Itf*>(this);
    return nullptr;
  }

  // A member the system's type information cannot call (a record result:
  // Wine's ITypeInfo::Invoke refuses VT_RECORD) is answered here; true
  // when `id` was handled, with the call's result in `hr`.
  virtual bool InvokeDirect(DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, HRESULT&) {
    return false;
  }

  // What ITypeInfo::Invoke answers for a failed method: the thread's error
  // object as the EXCEPINFO, and DISP_E_EXCEPTION.
  static HRESULT DispatchFailure(HRESULT failure, EXCEPINFO* exception) {
    if (!exception) return failure;
    *exception = EXCEPINFO{};
    exception->scode = failure;
    ComPtr<IErrorInfo> error;
    if (::GetErrorInfo(0, error.Put()) == S_OK) {
      error->GetSource(&exception->bstrSource);
      error->GetDescription(&exception->bstrDescription);
      error->GetHelpFile(&exception->bstrHelpFile);
      error->GetHelpContext(&exception->dwHelpContext);
    }
    return DISP_E_EXCEPTION;
  }

  // `value` as the VT_RECORD result of method `id`, whose last parameter is
  // the record it returns.
  HRESULT RecordResult(DISPID id, const void* value, VARIANT* result) {
    if (!result) return S_OK;
    ComPtr<ITypeInfo2> info;
    HRESULT hr = vtableInfo_.As(info, IID_ITypeInfo2);
    UINT index = 0;
    if (SUCCEEDED(hr)) hr = info->GetFuncIndexOfMemId(id, INVOKE_FUNC, &index);
    FUNCDESC* desc = nullptr;
    if (SUCCEEDED(hr)) hr = info->GetFuncDesc(index, &desc);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> recordType;
    const TYPEDESC* last =
        desc->cParams > 0 ? &desc->lprgelemdescParam[desc->cParams - 1].tdesc : nullptr;
    if (last && last->vt == VT_PTR && last->lptdesc->vt == VT_USERDEFINED)
      hr = info->GetRefTypeInfo(last->lptdesc->hreftype, recordType.Put());
    else
      hr = DISP_E_TYPEMISMATCH;
    info->ReleaseFuncDesc(desc);
    ComPtr<IRecordInfo> record;
    if (SUCCEEDED(hr)) hr = ::GetRecordInfoFromTypeInfo(recordType.Get(), record.Put());
    if (FAILED(hr)) return hr;
    void* copy = nullptr;
    hr = record->RecordCreateCopy(const_cast<void*>(value), &copy);
    if (FAILED(hr)) return hr;
    ::VariantInit(result);
    V_VT(result) = VT_RECORD;
    V_RECORD(result) = copy;
    V_RECORDINFO(result) = record.Detach();
    return S_OK;
  }

  // Runs a method body of `Itf`: whatever it throws becomes the call's
  // result, with the description and source in the thread's error object.
  template <typename Body>
  HRESULT Call(Body&& body) noexcept {
    return Guarded(*Info().defaultInterface, std::forward<Body>(body));
  }

 private:
  ComPtr<ITypeInfo> dispatchInfo_;
  ComPtr<ITypeInfo> vtableInfo_;
};

// The class table's creation function for a control class.
template <typename Control>
HRESULT CreateControl(IUnknown* outer, REFIID iid, void** object) {
  auto* control = new Control(outer);
  IUnknown* inner = control->InnerUnknown();
  HRESULT hr = inner->QueryInterface(iid, object);
  inner->Release();
  return hr;
}

}  // namespace sd
