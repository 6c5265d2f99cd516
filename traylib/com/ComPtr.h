#pragma once
// Owners of COM resources: interface pointers (and the library's own counted
// objects, see RefCounted.h) and BSTRs, shared with the program (base/), and
// VARIANTs. All are move-only; a second reference is taken with ComPtr::Share.
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string_view>

#include "base/Bstr.h"
#include "base/ComPtr.h"

namespace sd {

using base::Bstr;
using base::ComPtr;

class Variant {
 public:
  Variant() noexcept { ::VariantInit(&v_); }
  Variant(Variant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      ::VariantClear(&v_);
      v_ = other.v_;
      ::VariantInit(&other.v_);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&v_); }

  static Variant Long(LONG value) noexcept {
    Variant v;
    V_VT(&v.v_) = VT_I4;
    V_I4(&v.v_) = value;
    return v;
  }
  static Variant Bool(bool value) noexcept {
    Variant v;
    V_VT(&v.v_) = VT_BOOL;
    V_BOOL(&v.v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  static Variant String(std::wstring_view text) {
    Bstr b(text);
    if (!b.Get() && !text.empty()) throw std::bad_alloc();
    Variant v;
    V_VT(&v.v_) = VT_BSTR;
    V_BSTR(&v.v_) = b.Detach();
    return v;
  }

  VARIANT* Get() noexcept { return &v_; }
  const VARIANT* Get() const noexcept { return &v_; }
  // For out-parameters: clears the old value first.
  VARIANT* Put() noexcept {
    ::VariantClear(&v_);
    return &v_;
  }
  VARTYPE Type() const noexcept { return V_VT(&v_); }

 private:
  VARIANT v_;
};

}  // namespace sd
