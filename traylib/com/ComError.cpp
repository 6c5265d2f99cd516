#include "traylib/com/ComError.h"

#include <oleauto.h>

#include "traylib/com/ComPtr.h"

namespace sd {

HRESULT ReportError(HRESULT hr, std::wstring_view description, std::wstring_view source,
                    REFIID iid) noexcept {
  // A failure without text of its own must not be read together with the
  // error object of some earlier call.
  if (description.empty() && source.empty()) {
    ::SetErrorInfo(0, nullptr);
    return hr;
  }
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(::CreateErrorInfo(create.Put()))) return hr;
  try {
    create->SetGUID(iid);
    create->SetDescription(const_cast<LPOLESTR>(std::wstring(description).c_str()));
    create->SetSource(const_cast<LPOLESTR>(std::wstring(source).c_str()));
  } catch (...) {
    return hr;  // the result still reaches the caller, only without its text
  }
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(info, IID_IErrorInfo))) ::SetErrorInfo(0, info.Get());
  return hr;
}

}  // namespace sd
