#include "traylib/Error.h"

#include "traylib/Library.h"

namespace sd {

Error::Error(long number, std::wstring description, std::wstring source)
    : std::runtime_error("Sabledrift error"),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)) {}

HRESULT Error::Result() const noexcept {
  if (number_ < 0) return static_cast<HRESULT>(number_);
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number_ & 0xFFFF);
}

namespace {
const wchar_t* RuntimeText(long number) {
  switch (number) {
    case kErrInvalidCall: return L"Invalid procedure call or argument";
    case kErrOverflow: return L"Overflow";
    default: return L"Application-defined or object-defined error";
  }
}
}  // namespace

void RaiseRuntimeError(long number) { throw Error(number, RuntimeText(number), kAppTitle); }

}  // namespace sd
