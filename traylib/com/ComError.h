#pragma once
// Errors inside the library: the library's numbered errors (sd::Error) and
// failures of the COM layer (ComError, an HRESULT with optional texts). Every
// method the library exports runs its body through Guarded, which turns them
// into the method's result and the thread's error object (IErrorInfo), so no
// exception crosses a COM boundary.
#include <windows.h>

#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "traylib/Error.h"

namespace sd {

class ComError : public std::exception {
 public:
  explicit ComError(HRESULT result, std::wstring description = {}, std::wstring source = {})
      : result_(result), description_(std::move(description)), source_(std::move(source)) {}
  HRESULT Result() const noexcept { return result_; }
  const std::wstring& Description() const noexcept { return description_; }
  const std::wstring& Source() const noexcept { return source_; }
  const char* what() const noexcept override { return "COM error"; }

 private:
  HRESULT result_;
  std::wstring description_;
  std::wstring source_;
};

inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) throw ComError(hr);
}

// Makes `description` and `source` the thread's error object for interface
// `iid`, or clears the error object when both are empty; returns `hr`.
HRESULT ReportError(HRESULT hr, std::wstring_view description, std::wstring_view source,
                    REFIID iid) noexcept;

// Runs `body` (returning an HRESULT) and turns whatever it throws into a result.
template <typename Body>
HRESULT Guarded(REFIID iid, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const ComError& e) {
    return ReportError(e.Result(), e.Description(), e.Source(), iid);
  } catch (const Error& e) {
    return ReportError(e.Result(), e.Description(), e.Source(), iid);
  } catch (const std::bad_alloc&) {
    return ReportError(E_OUTOFMEMORY, {}, {}, iid);
  } catch (...) {
    return ReportError(E_UNEXPECTED, {}, {}, iid);
  }
}

}  // namespace sd
