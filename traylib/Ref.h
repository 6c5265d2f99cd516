#pragma once
// Reference counting for the library's objects, the way COM counts them: an
// object starts with one reference held by its creator and deletes itself
// when the last one is released.
#include <windows.h>

#include <utility>

namespace sd {

// Implements AddRef and Release of `Interface` (which declares them).
template <typename Interface>
class RefCounted : public Interface {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  ULONG AddRef() noexcept override { return ++refs_; }
  ULONG Release() noexcept override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  ULONG refs_ = 1;
};

// Holds one counted reference to T.
template <typename T>
class Ref {
 public:
  Ref() noexcept = default;
  // Takes a new reference to `p`.
  explicit Ref(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  // Takes over the reference the caller holds (the creator's reference of `new`).
  static Ref Adopt(T* p) noexcept {
    Ref r;
    r.p_ = p;
    return r;
  }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() { reset(); }

  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

template <typename T, typename... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>::Adopt(new T(std::forward<Args>(args)...));
}

}  // namespace sd
