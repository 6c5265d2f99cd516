#pragma once
// Owners of COM resources: interface pointers (and the library's own counted
// objects, see RefCounted.h), BSTRs and VARIANTs. All are move-only; a second
// reference is taken with ComPtr::Share.
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace sd {

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
  // For out-parameters: releases the old reference first.
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

  template <typename U>
  HRESULT As(ComPtr<U>& out, REFIID iid) const noexcept {
    if (!p_) return E_NOINTERFACE;
    return p_->QueryInterface(iid, out.PutVoid());
  }

 private:
  T* p_ = nullptr;
};

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
  BSTR* Put() noexcept {
    Reset();
    return &b_;
  }
  std::wstring Text() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

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
