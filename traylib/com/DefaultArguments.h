#pragma once
// Left-out optional by-reference arguments, given their defaults before a
// call goes to ITypeInfo::Invoke. A by-reference parameter needs a place for
// its value; Wine's ITypeInfo::Invoke converts the default into the
// reference itself and hands the method a wild pointer. So the defaults are
// put in here, each in storage of its own that lives for the call.
#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "traylib/com/ComPtr.h"

namespace sd {

class DefaultArguments {
 public:
  // Looks at a positional call of method `id` as `info` (the vtable view) describes it.
  DefaultArguments(ITypeInfo& info, DISPID id, WORD flags, const DISPPARAMS* params);
  DefaultArguments(const DefaultArguments&) = delete;
  DefaultArguments& operator=(const DefaultArguments&) = delete;

  // Whether any argument was filled in; if not, the caller's DISPPARAMS stand.
  bool Filled() const noexcept { return filled_; }
  DISPPARAMS* Params() noexcept { return &params_; }

 private:
  void Fill(ITypeInfo& info, const FUNCDESC& function, const DISPPARAMS& given);

  bool filled_ = false;
  std::vector<Variant> storage_;  // sized once: the arguments point into it
  std::vector<VARIANT> reversed_;
  DISPPARAMS params_{};
};

}  // namespace sd
