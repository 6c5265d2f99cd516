#pragma once
// One outgoing interface of a control. It lives inside the control and counts
// its references on it. Cookies are slot numbers (slot + 1); a freed slot is
// taken again by the next Advise.
#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "traylib/com/ComPtr.h"

namespace sd {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // With `dispatchSinks`, a sink that does not know `iid` itself is taken
  // through its IDispatch (how hosts implement event dispinterfaces).
  ConnectionPoint(IConnectionPointContainer& container, REFIID iid, bool dispatchSinks) noexcept;
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

  REFIID Iid() const noexcept { return iid_; }
  // The sinks connected now, each with a reference of its own, so a sink may
  // disconnect (or release the control) while it is being called. Every
  // pointer is of the interface Advise asked for: `iid` or IDispatch.
  template <typename Sink>
  std::vector<ComPtr<Sink>> Sinks() const {
    std::vector<ComPtr<Sink>> sinks;
    for (const auto& slot : slots_)
      if (slot) sinks.push_back(ComPtr<Sink>::Share(static_cast<Sink*>(slot.Get())));
    return sinks;
  }
  void DisconnectAll() noexcept;

 private:
  IConnectionPointContainer& container_;
  const IID iid_;
  const bool dispatchSinks_;
  std::vector<ComPtr<IUnknown>> slots_;
};

}  // namespace sd
