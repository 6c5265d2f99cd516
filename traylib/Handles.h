#pragma once
// One move-only owner per kind of system handle the library holds. Each kind
// names its empty value and how it is let go; nothing here is copyable.
#include <windows.h>

#include <utility>

namespace sd {

template <typename Traits>
class UniqueHandle {
 public:
  using handle_type = typename Traits::type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  handle_type Get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::Empty(); }
  handle_type Release() noexcept { return std::exchange(h_, Traits::Empty()); }
  void Reset(handle_type h = Traits::Empty()) noexcept {
    handle_type old = std::exchange(h_, h);
    if (old != Traits::Empty()) Traits::Close(old);
  }
  // For out-parameters of system calls: lets go of the old handle first.
  handle_type* Put() noexcept {
    Reset();
    return &h_;
  }

 private:
  handle_type h_ = Traits::Empty();
};

struct KernelHandleTraits {
  using type = HANDLE;
  static type Empty() noexcept { return nullptr; }
  static void Close(type h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using type = HKEY;
  static type Empty() noexcept { return nullptr; }
  static void Close(type h) noexcept { ::RegCloseKey(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

}  // namespace sd
