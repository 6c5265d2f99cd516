#pragma once
// Reference counting for the library's objects, the way COM counts them: an
// object starts with one reference held by its creator and deletes itself
// when the last one is released. ComPtr owns the references.
#include <windows.h>

#include <utility>

#include "traylib/com/ComPtr.h"

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

// A new object, owned by the pointer that holds its creator's reference.
template <typename T, typename... Args>
ComPtr<T> MakeRef(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace sd
