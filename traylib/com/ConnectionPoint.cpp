#include "traylib/com/ConnectionPoint.h"

#include <olectl.h>

#include <memory>

#include "traylib/com/ComError.h"
#include "traylib/com/Enumerator.h"

namespace sd {
namespace {

struct Connection {
  ComPtr<IUnknown> sink;
  DWORD cookie;
};

void CopyConnection(const Connection& from, CONNECTDATA* to) {
  to->pUnk = from.sink.Get();
  to->pUnk->AddRef();
  to->dwCookie = from.cookie;
}

using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, Connection, CopyConnection>;

}  // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, REFIID iid,
                                 bool dispatchSinks) noexcept
    : container_(container), iid_(iid), dispatchSinks_(dispatchSinks) {}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() { return container_.AddRef(); }
STDMETHODIMP_(ULONG) ConnectionPoint::Release() { return container_.Release(); }

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = &container_;
  container_.AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  return Guarded(IID_IConnectionPoint, [&] {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IUnknown> wanted;
    HRESULT hr = sink->QueryInterface(iid_, wanted.PutVoid());
    if (FAILED(hr) && dispatchSinks_) hr = sink->QueryInterface(IID_IDispatch, wanted.PutVoid());
    if (FAILED(hr)) return CONNECT_E_CANNOTCONNECT;
    size_t slot = 0;
    while (slot < slots_.size() && slots_[slot]) ++slot;
    if (slot == slots_.size()) slots_.emplace_back();
    slots_[slot] = std::move(wanted);
    *cookie = static_cast<DWORD>(slot + 1);
    return S_OK;
  });
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  if (cookie == 0 || cookie > slots_.size() || !slots_[cookie - 1]) return CONNECT_E_NOCONNECTION;
  // Out of the table before the release, which may call back into us.
  ComPtr<IUnknown> gone = std::move(slots_[cookie - 1]);
  while (!slots_.empty() && !slots_.back()) slots_.pop_back();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  return Guarded(IID_IConnectionPoint, [&] {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    auto items = std::make_shared<std::vector<Connection>>();
    for (size_t slot = 0; slot < slots_.size(); ++slot) {
      if (slots_[slot])
        items->push_back(
            {ComPtr<IUnknown>::Share(slots_[slot].Get()), static_cast<DWORD>(slot + 1)});
    }
    return ConnectionEnumerator::Create(IID_IEnumConnections, std::move(items), connections);
  });
}

void ConnectionPoint::DisconnectAll() noexcept {
  std::vector<ComPtr<IUnknown>> gone = std::move(slots_);
  slots_.clear();
}

}  // namespace sd
