#pragma once
// An owned COM interface pointer: released when it goes, moved, never copied.
#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace mf {

template <typename T>
class ComRef {
 public:
  ComRef() noexcept = default;
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void Reset(T* p = nullptr) noexcept {
    if (p_) p_->Release();
    p_ = p;
  }
  // For calls that hand out a reference through an out parameter.
  void** PutVoid() noexcept {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  template <typename U>
  HRESULT As(ComRef<U>& out, REFIID iid) const noexcept {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out.PutVoid());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace mf
