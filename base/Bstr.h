#pragma once
// The owner of one BSTR, freed when the owner goes. Move-only.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace base {

class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(std::wstring_view text)
      : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(Bstr&& other) noexcept : b_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { Reset(); }

  // Adopts a BSTR the caller owns.
  static Bstr Attach(BSTR b) noexcept {
    Bstr result;
    result.b_ = b;
    return result;
  }

  BSTR Get() const noexcept { return b_; }
  BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
  void Reset(BSTR b = nullptr) noexcept {
    BSTR old = std::exchange(b_, b);
    if (old) ::SysFreeString(old);
  }
  // For out-parameters: frees the old string first.
  BSTR* Put() noexcept {
    Reset();
    return &b_;
  }
  // For [in, out] parameters (a ByRef String): the callee reads the string and
  // may put another in its place; whichever is left is freed here.
  BSTR* InOut() noexcept { return &b_; }
  std::wstring Text() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

}  // namespace base
