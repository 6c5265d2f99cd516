#pragma once
// One move-only owner per handle kind, for Marrowfin and Sabledrift alike. Each
// kind names its invalid value and how it is released; nothing here is copyable.
#include <windows.h>

#include <utility>

namespace base {

template <typename Traits>
class UniqueHandle {
 public:
  using handle_type = typename Traits::type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  handle_type get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
  handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
  void reset(handle_type h = Traits::invalid()) noexcept {
    handle_type old = std::exchange(h_, h);
    if (old != Traits::invalid()) Traits::close(old);
  }
  // For out-parameters of API calls: releases the old handle first.
  handle_type* put() noexcept {
    reset();
    return &h_;
  }

 private:
  handle_type h_ = Traits::invalid();
};

struct KernelHandleTraits {
  using type = HANDLE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using type = HKEY;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::RegCloseKey(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

}  // namespace base
