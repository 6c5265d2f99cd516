#include "traylib/com/ClassFactory.h"

#include <unknwn.h>

#include "traylib/com/ClassTable.h"
#include "traylib/com/ComError.h"
#include "traylib/com/Module.h"

namespace sd {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const ClassEntry& entry) noexcept : entry_(entry) {
    module::ObjectCreated();
  }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    return Guarded(IID_IClassFactory, [&] {
      if (!object) return E_POINTER;
      *object = nullptr;
      // An aggregated object can only hand its inner IUnknown to the outer one.
      if (outer && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
      return entry_.create(outer, iid, object);
    });
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      module::Lock();
    else
      module::Unlock();
    return S_OK;
  }

 private:
  ~ClassFactory() { module::ObjectDestroyed(); }

  const ClassEntry& entry_;
  LONG refs_ = 1;
};

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept {
  return Guarded(IID_IClassFactory, [&] {
    if (!object) return E_POINTER;
    *object = nullptr;
    const ClassEntry* entry = FindClass(clsid);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new ClassFactory(*entry);
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
  });
}

}  // namespace sd
