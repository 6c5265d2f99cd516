#pragma once
// Values as they cross a control's dual interface.
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace sd {

inline VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A null BSTR is the empty string.
inline std::wstring Text(BSTR text) {
  return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

// Window and icon handles cross the interface as 32-bit numbers. They are
// user handles, which keep their value when cut to 32 bits and sign-extended
// back on 64-bit Windows.
inline HWND WindowOf(LONG value) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(value)); }
inline HICON IconOf(LONG value) { return reinterpret_cast<HICON>(static_cast<LONG_PTR>(value)); }
inline LONG NumberOf(HWND handle) { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(handle)); }

}  // namespace sd
