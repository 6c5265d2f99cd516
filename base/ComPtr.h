#pragma once
// One reference to a COM interface (or to one of Sabledrift's own counted
// objects), released when the owner goes. Move-only; a second reference is
// taken with Share.
#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace base {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Adopts a reference the caller already holds.
  explicit ComPtr(T* p) noexcept : p_(p) {}
  ComPtr(ComPtr&& other) noexcept : p_(other.Detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }

  // Takes a new reference of its own.
  static ComPtr Share(T* p) noexcept {
    if (p) p->AddRef();
    return ComPtr(p);
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset(T* p = nullptr) noexcept {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // For out-parameters (CoCreateInstance, QueryInterface): releases the old one first.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  // Hands a new reference to an out-parameter.
  HRESULT CopyTo(T** out) const noexcept {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  // Another interface of the same object.
  template <typename U>
  HRESULT As(ComPtr<U>& out, REFIID iid) const noexcept {
    if (!p_) return E_NOINTERFACE;
    return p_->QueryInterface(iid, out.PutVoid());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace base
