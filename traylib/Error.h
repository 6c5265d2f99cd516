#pragma once
// The error the library raises to its callers: a number, a description and a
// source, as a COM object reports them through IErrorInfo.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace sd {

// Errors of the library's own objects are numbered from this base.
inline constexpr long kObjectErrorBase = static_cast<long>(0x80040000u);

// Runtime error numbers the library raises as they are.
inline constexpr long kErrInvalidCall = 5;
inline constexpr long kErrOverflow = 6;

class Error : public std::runtime_error {
 public:
  Error(long number, std::wstring description, std::wstring source);

  long Number() const noexcept { return number_; }
  const std::wstring& Description() const noexcept { return description_; }
  const std::wstring& Source() const noexcept { return source_; }
  // The number as a COM result: object errors are results already; a runtime
  // number n becomes the control facility's failure n, as Automation reports it.
  HRESULT Result() const noexcept;

 private:
  long number_;
  std::wstring description_;
  std::wstring source_;
};

// A runtime error (number of 1000 or below) with the runtime's own text and
// the library's title as its source.
[[noreturn]] void RaiseRuntimeError(long number);

// A system error (a GetLastError value) with the system's own text for it
// (FormatMessageA) and the library's title as its source.
[[noreturn]] void RaiseSystemError(DWORD number);

}  // namespace sd
