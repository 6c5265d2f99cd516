// Persistence of the control's properties: IPersistStreamInit and
// IPersistPropertyBag over the control's read and write hooks. A save that
// did not store everything fails; a load that fails changes nothing it has
// not read successfully.
#include <windows.h>

#include "traylib/com/ActiveXControl.h"
#include "traylib/com/ComError.h"
#include "traylib/com/PropertyStore.h"

namespace sd {

STDMETHODIMP ActiveXControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *info_.clsid;
  return S_OK;
}

STDMETHODIMP ActiveXControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP ActiveXControl::InitNew() {
  return Guarded(IID_IPersistStreamInit, [&] {
    InitProperties();
    ClearDirty();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::Load(LPSTREAM stream) {
  return Guarded(IID_IPersistStreamInit, [&] {
    if (!stream) return E_POINTER;
    StreamReader reader(*stream);
    ReadProperties(reader);
    ClearDirty();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::Save(LPSTREAM stream, BOOL clearDirty) {
  return Guarded(IID_IPersistStreamInit, [&] {
    if (!stream) return E_POINTER;
    StreamWriter writer;
    WriteProperties(writer);
    writer.SaveTo(*stream);
    if (clearDirty) ClearDirty();
    if (adviseHolder_) adviseHolder_->SendOnSave();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::GetSizeMax(ULARGE_INTEGER* size) {
  return Guarded(IID_IPersistStreamInit, [&] {
    if (!size) return E_POINTER;
    StreamWriter writer;
    WriteProperties(writer);
    size->QuadPart = writer.Bytes().size();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::Load(IPropertyBag* bag, IErrorLog* log) {
  return Guarded(IID_IPersistPropertyBag, [&] {
    if (!bag) return E_POINTER;
    BagReader reader(*bag, log);
    ReadProperties(reader);
    ClearDirty();
    return S_OK;
  });
}

STDMETHODIMP ActiveXControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) {
  return Guarded(IID_IPersistPropertyBag, [&] {
    if (!bag) return E_POINTER;
    BagWriter writer(*bag, saveAllProperties != FALSE);
    WriteProperties(writer);
    if (clearDirty) ClearDirty();
    if (adviseHolder_) adviseHolder_->SendOnSave();
    return S_OK;
  });
}

}  // namespace sd
