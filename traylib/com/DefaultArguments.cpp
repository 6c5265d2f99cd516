#include "traylib/com/DefaultArguments.h"

#include <algorithm>

#include "traylib/com/ComError.h"

namespace sd {
namespace {

bool LeftOut(const DISPPARAMS& given, UINT index) {
  if (index >= given.cArgs) return true;
  const VARIANT& arg = given.rgvarg[given.cArgs - 1 - index];
  // How a caller skips an optional argument in the middle.
  return V_VT(&arg) == VT_ERROR && V_ERROR(&arg) == DISP_E_PARAMNOTFOUND;
}

// The type a by-reference parameter points to, as a VARTYPE; VT_EMPTY when
// it is not one this class can fill (enumerations count as VT_I4).
VARTYPE PointeeType(ITypeInfo& info, const TYPEDESC& type) {
  if (type.vt != VT_PTR) return VT_EMPTY;
  const TYPEDESC& pointee = *type.lptdesc;
  if (pointee.vt != VT_USERDEFINED) return pointee.vt;
  ComPtr<ITypeInfo> referenced;
  if (FAILED(info.GetRefTypeInfo(pointee.hreftype, referenced.Put()))) return VT_EMPTY;
  TYPEATTR* attr = nullptr;
  if (FAILED(referenced->GetTypeAttr(&attr))) return VT_EMPTY;
  VARTYPE result = attr->typekind == TKIND_ENUM ? VT_I4 : VT_EMPTY;
  referenced->ReleaseTypeAttr(attr);
  return result;
}

bool Fillable(const ELEMDESC& param) {
  const WORD wanted = PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
  return (param.paramdesc.wParamFlags & wanted) == wanted && param.tdesc.vt == VT_PTR;
}

}  // namespace

DefaultArguments::DefaultArguments(ITypeInfo& info, DISPID id, WORD flags,
                                   const DISPPARAMS* params) {
  if (!params || params->cNamedArgs != 0 || !(flags & DISPATCH_METHOD)) return;
  ComPtr<ITypeInfo2> info2;
  UINT index = 0;
  FUNCDESC* function = nullptr;
  if (FAILED(info.QueryInterface(IID_ITypeInfo2, info2.PutVoid())) ||
      FAILED(info2->GetFuncIndexOfMemId(id, INVOKE_FUNC, &index)) ||
      FAILED(info.GetFuncDesc(index, &function)))
    return;
  try {
    Fill(info, *function, *params);
  } catch (...) {
    info.ReleaseFuncDesc(function);
    throw;
  }
  info.ReleaseFuncDesc(function);
}

void DefaultArguments::Fill(ITypeInfo& info, const FUNCDESC& function, const DISPPARAMS& given) {
  UINT inputs = 0;
  while (inputs < static_cast<UINT>(function.cParams) &&
         !(function.lprgelemdescParam[inputs].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
    ++inputs;
  if (given.cArgs > inputs) return;  // the type information reports the bad count

  // Up to the last argument that is left out and can be filled.
  UINT count = given.cArgs;
  for (UINT i = 0; i < inputs; ++i) {
    if (LeftOut(given, i) && Fillable(function.lprgelemdescParam[i]) &&
        PointeeType(info, function.lprgelemdescParam[i].tdesc) != VT_EMPTY)
      count = std::max(count, i + 1);
  }
  if (count == 0) return;

  storage_.resize(count);
  std::vector<VARIANT> ordered(count);
  for (UINT i = 0; i < count; ++i) {
    const ELEMDESC& param = function.lprgelemdescParam[i];
    VARTYPE pointee = PointeeType(info, param.tdesc);
    if (LeftOut(given, i) && Fillable(param) && pointee != VT_EMPTY) {
      VARIANT& value = *storage_[i].Get();
      ThrowIfFailed(
          ::VariantChangeType(&value, &param.paramdesc.pparamdescex->varDefaultValue, 0, pointee));
      VARIANT& arg = ordered[i];
      ::VariantInit(&arg);
      V_VT(&arg) = static_cast<VARTYPE>(VT_BYREF | pointee);
      // Every member of the value union starts at the same address.
      V_BYREF(&arg) = &V_I4(&value);
      filled_ = true;
    } else if (i < given.cArgs) {
      ordered[i] = given.rgvarg[given.cArgs - 1 - i];  // the caller's own, not copied
    } else {
      ::VariantInit(&ordered[i]);
      V_VT(&ordered[i]) = VT_ERROR;
      V_ERROR(&ordered[i]) = DISP_E_PARAMNOTFOUND;
    }
  }
  if (!filled_) return;
  reversed_.assign(ordered.rbegin(), ordered.rend());
  params_ = {reversed_.data(), nullptr, count, 0};
}

}  // namespace sd
