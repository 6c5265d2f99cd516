#pragma once
// Errors inside the library: C++ exceptions that carry an HRESULT, a
// description and a source. Every method the library exports runs its body
// through Guarded, which turns them into the method's result and the thread's
// error object (IErrorInfo), so no exception crosses a COM boundary.
#include <windows.h>

#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

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

// An error number in the automation sense as an HRESULT: negative numbers are
// HRESULTs already (such as the object-error base 0x80040000 plus n); small
// positive ones are the runtime's numbered errors, which automation reports
// in FACILITY_CONTROL (5 becomes 0x800A0005).
HRESULT HResultFromErrorNumber(long number) noexcept;

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
  } catch (const std::bad_alloc&) {
    return ReportError(E_OUTOFMEMORY, {}, {}, iid);
  } catch (...) {
    return ReportError(E_UNEXPECTED, {}, {}, iid);
  }
}

}  // namespace sd
