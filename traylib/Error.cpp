#include "traylib/Error.h"

#include "traylib/AnsiText.h"
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
    case kErrInvalidCall:
      return L"Invalid procedure call or argument";
    case kErrOverflow:
      return L"Overflow";
    default:
      return L"Application-defined or object-defined error";
  }
}
}  // namespace

void RaiseRuntimeError(long number) { throw Error(number, RuntimeText(number), kAppTitle); }

void RaiseSystemError(DWORD number) {
  // A failure the system gave no number for is no "success": it is raised
  // as the runtime does an error numbered 0, as an invalid call.
  if (number == 0) RaiseRuntimeError(kErrInvalidCall);
  char buffer[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 255, nullptr);
  std::wstring text = FromAnsi(buffer);  // up to the first NUL
  const wchar_t* blanks = L" \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  size_t last = text.find_last_not_of(blanks);
  text = first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
  throw Error(static_cast<long>(number), std::move(text), kAppTitle);
}

}  // namespace sd
