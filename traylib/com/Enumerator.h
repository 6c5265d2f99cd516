#pragma once
// A COM enumerator over a snapshot: IEnumConnectionPoints, IEnumConnections
// and their kind. The snapshot holds its own references, so the enumerated
// objects stay valid however the source changes; clones share the snapshot.
#include <windows.h>

#include <memory>
#include <vector>

#include "traylib/com/ComError.h"
#include "traylib/com/Module.h"

namespace sd {

// IEnum: the enumerator interface; Item: what Next hands out; Stored: what
// the snapshot keeps; CopyOut fills an Item with references of its own.
template <typename IEnum, typename Item, typename Stored, void (*CopyOut)(const Stored&, Item*)>
class Enumerator final : public IEnum {
 public:
  using Snapshot = std::shared_ptr<const std::vector<Stored>>;

  static HRESULT Create(const IID& iid, Snapshot items, IEnum** out) {
    if (!out) return E_POINTER;
    *out = new Enumerator(iid, std::move(items), 0);
    return S_OK;
  }

  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == iid_) {
      *object = static_cast<IEnum*>(this);
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

  STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
    if (!items) return E_POINTER;
    // IEnumXXXX::Next: `fetched` may be null only when one item is asked for.
    if (!fetched && count != 1) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < items_->size()) CopyOut((*items_)[position_++], &items[n++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    size_t left = items_->size() - position_;
    if (count > left) {
      position_ = items_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnum** out) override {
    return Guarded(iid_, [&] {
      if (!out) return E_POINTER;
      *out = new Enumerator(iid_, items_, position_);
      return S_OK;
    });
  }

 private:
  Enumerator(const IID& iid, Snapshot items, size_t position)
      : iid_(iid), items_(std::move(items)), position_(position) {
    module::ObjectCreated();
  }
  ~Enumerator() { module::ObjectDestroyed(); }

  const IID iid_;
  Snapshot items_;
  size_t position_;
  LONG refs_ = 1;
};

}  // namespace sd
