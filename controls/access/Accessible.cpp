#include "controls/access/Accessible.h"

#include <new>
#include <utility>

// IID_IAccessible is written __uuidof(IAccessible) throughout: MinGW's uuid
// and oleacc libraries both define the symbol, and linking both fails.
namespace mf::access {
namespace {

// A BSTR for an out-parameter: S_FALSE with none for an empty text, as
// MSAA clients expect of an absent name or description.
HRESULT Text(const std::wstring& text, BSTR* out) {
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

void ChildVariant(long child, VARIANT* out) {
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = child;
}

// get_accSelection's answer for several children: an enumerator of their ids.
class ChildEnum : public IEnumVARIANT {
 public:
  explicit ChildEnum(std::vector<long> children, ULONG at = 0)
      : children_(std::move(children)), at_(at) {}
  virtual ~ChildEnum() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown || iid == IID_IEnumVARIANT ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG n = 0;
    for (; n < wanted && at_ < children_.size(); ++n) ChildVariant(children_[at_++], &out[n]);
    if (fetched) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    at_ += count;
    if (at_ <= children_.size()) return S_OK;
    at_ = static_cast<ULONG>(children_.size());
    return S_FALSE;
  }
  STDMETHODIMP Reset() override {
    at_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) ChildEnum(children_, at_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  LONG refs_ = 1;
  std::vector<long> children_;
  ULONG at_;
};

}  // namespace

Accessible::Accessible(HWND hwnd) : hwnd_(hwnd) {
  // Without it the window's own answers are missing, not wrong: each use checks.
  CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible), standard_.PutVoid());
}

Accessible::~Accessible() = default;

void Accessible::Disconnect() noexcept {
  connected_ = false;
  standard_.Reset();
}

HRESULT Accessible::Connected() const noexcept {
  return connected_ && IsWindow(hwnd_) ? S_OK : RPC_E_DISCONNECTED;
}

template <typename Body>
HRESULT Accessible::ForChild(const VARIANT& child, Body&& body) {
  if (HRESULT hr = Connected(); FAILED(hr)) return hr;
  try {
    if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > ChildCount()) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF && !standard_) return E_FAIL;
    return body(child.lVal);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// ---- IUnknown and IDispatch

STDMETHODIMP Accessible::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  const bool mine = iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible);
  *out = mine ? this : nullptr;
  if (!*out) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) Accessible::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) Accessible::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP Accessible::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
STDMETHODIMP Accessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Accessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP Accessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                UINT*) {
  return E_NOTIMPL;
}

// ---- The window and its children

STDMETHODIMP Accessible::get_accParent(IDispatch** parent) {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  if (HRESULT hr = Connected(); FAILED(hr)) return hr;
  return standard_ ? standard_->get_accParent(parent) : E_FAIL;
}

STDMETHODIMP Accessible::get_accChildCount(long* count) {
  if (!count) return E_POINTER;
  *count = 0;
  VARIANT self;
  ChildVariant(CHILDID_SELF, &self);
  return ForChild(self, [&](long) {
    *count = ChildCount();
    return S_OK;
  });
}

STDMETHODIMP Accessible::get_accChild(VARIANT child, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  // The children are simple elements, reached through their ids.
  return ForChild(child, [](long id) { return id == CHILDID_SELF ? E_INVALIDARG : S_FALSE; });
}

STDMETHODIMP Accessible::get_accName(VARIANT child, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  return ForChild(child, [&](long id) {
    if (id != CHILDID_SELF) return Text(Name(id), name);
    if (std::optional<std::wstring> own = SelfName()) return Text(*own, name);
    return standard_->get_accName(child, name);
  });
}

STDMETHODIMP Accessible::get_accValue(VARIANT child, BSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  return ForChild(child, [&](long id) {
    if (id == CHILDID_SELF) return standard_->get_accValue(child, value);
    std::optional<std::wstring> v = Value(id);
    return v ? Text(*v, value) : DISP_E_MEMBERNOTFOUND;
  });
}

STDMETHODIMP Accessible::get_accDescription(VARIANT child, BSTR* description) {
  if (!description) return E_POINTER;
  *description = nullptr;
  return ForChild(child, [&](long id) {
    return id == CHILDID_SELF ? standard_->get_accDescription(child, description)
                              : Text(Description(id), description);
  });
}

STDMETHODIMP Accessible::get_accRole(VARIANT child, VARIANT* role) {
  if (!role) return E_POINTER;
  VariantInit(role);
  return ForChild(child, [&](long id) {
    const long own = id == CHILDID_SELF ? SelfRole() : Role(id);
    if (own == 0) return standard_->get_accRole(child, role);
    ChildVariant(own, role);
    return S_OK;
  });
}

STDMETHODIMP Accessible::get_accState(VARIANT child, VARIANT* state) {
  if (!state) return E_POINTER;
  VariantInit(state);
  return ForChild(child, [&](long id) {
    if (id == CHILDID_SELF) return standard_->get_accState(child, state);
    ChildVariant(State(id), state);
    return S_OK;
  });
}

STDMETHODIMP Accessible::get_accHelp(VARIANT child, BSTR* help) {
  if (!help) return E_POINTER;
  *help = nullptr;
  return ForChild(child, [](long) { return S_FALSE; });
}

STDMETHODIMP Accessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
  if (file) *file = nullptr;
  if (topic) *topic = 0;
  return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP Accessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  if (!shortcut) return E_POINTER;
  *shortcut = nullptr;
  return ForChild(child, [&](long id) {
    return id == CHILDID_SELF ? standard_->get_accKeyboardShortcut(child, shortcut)
                              : Text(KeyboardShortcut(id), shortcut);
  });
}

STDMETHODIMP Accessible::get_accFocus(VARIANT* focus) {
  if (!focus) return E_POINTER;
  VariantInit(focus);
  VARIANT self;
  ChildVariant(CHILDID_SELF, &self);
  return ForChild(self, [&](long) {
    // A window inside this one (a text box) answers through the standard object.
    if (GetFocus() != hwnd_) return standard_->get_accFocus(focus);
    ChildVariant(FocusedChild(), focus);
    return S_OK;
  });
}

STDMETHODIMP Accessible::get_accSelection(VARIANT* selection) {
  if (!selection) return E_POINTER;
  VariantInit(selection);
  VARIANT self;
  ChildVariant(CHILDID_SELF, &self);
  return ForChild(self, [&](long) -> HRESULT {
    std::vector<long> chosen = SelectedChildren();
    if (chosen.empty()) return S_FALSE;
    if (chosen.size() == 1) {
      ChildVariant(chosen.front(), selection);
      return S_OK;
    }
    auto* all = new ChildEnum(std::move(chosen));
    selection->vt = VT_UNKNOWN;
    selection->punkVal = all;
    return S_OK;
  });
}

STDMETHODIMP Accessible::get_accDefaultAction(VARIANT child, BSTR* action) {
  if (!action) return E_POINTER;
  *action = nullptr;
  return ForChild(child, [&](long id) {
    if (id == CHILDID_SELF) return standard_->get_accDefaultAction(child, action);
    const std::wstring own = DefaultAction(id);
    return own.empty() ? DISP_E_MEMBERNOTFOUND : Text(own, action);
  });
}

STDMETHODIMP Accessible::accSelect(long flags, VARIANT child) {
  return ForChild(child, [&](long id) {
    return id == CHILDID_SELF ? standard_->accSelect(flags, child) : Select(id, flags);
  });
}

STDMETHODIMP Accessible::accLocation(long* left, long* top, long* width, long* height,
                                     VARIANT child) {
  if (!left || !top || !width || !height) return E_POINTER;
  *left = *top = *width = *height = 0;
  return ForChild(child, [&](long id) {
    if (id == CHILDID_SELF) return standard_->accLocation(left, top, width, height, child);
    RECT r = Location(id);
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  });
}

STDMETHODIMP Accessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
  if (!end) return E_POINTER;
  VariantInit(end);
  return ForChild(start, [&](long id) -> HRESULT {
    long to = 0;
    const long count = ChildCount();
    if (id == CHILDID_SELF) {
      if (direction == NAVDIR_FIRSTCHILD)
        to = count > 0 ? 1 : 0;
      else if (direction == NAVDIR_LASTCHILD)
        to = count;
      else
        return standard_->accNavigate(direction, start, end);
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT) {
      to = id < count ? id + 1 : 0;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT) {
      to = id - 1;
    } else {
      return E_INVALIDARG;  // a simple element has no children
    }
    if (to == 0) return S_FALSE;
    ChildVariant(to, end);
    return S_OK;
  });
}

STDMETHODIMP Accessible::accHitTest(long x, long y, VARIANT* child) {
  if (!child) return E_POINTER;
  VariantInit(child);
  VARIANT self;
  ChildVariant(CHILDID_SELF, &self);
  return ForChild(self, [&](long) {
    POINT at{x, y};
    RECT client;
    ScreenToClient(hwnd_, &at);
    GetClientRect(hwnd_, &client);
    if (!PtInRect(&client, at)) return standard_->accHitTest(x, y, child);
    ChildVariant(ChildAt(at), child);
    return S_OK;
  });
}

STDMETHODIMP Accessible::accDoDefaultAction(VARIANT child) {
  return ForChild(child, [&](long id) {
    return id == CHILDID_SELF ? standard_->accDoDefaultAction(child) : DoDefaultAction(id);
  });
}

STDMETHODIMP Accessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
STDMETHODIMP Accessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

// ---- The window's side

LRESULT AnswerGetObject(Accessible* object, WPARAM wParam, LPARAM lParam) {
  // The object id is a DWORD in the low half of lParam, also on 64-bit Windows.
  if (!object || static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return 0;
  return LresultFromObject(__uuidof(IAccessible), wParam, object);
}

void Release(Accessible*& object) noexcept {
  if (!object) return;
  object->Disconnect();
  std::exchange(object, nullptr)->Release();
}

void Notify(DWORD event, HWND hwnd, long child) noexcept {
  if (hwnd) NotifyWinEvent(event, hwnd, OBJID_CLIENT, child);
}

}  // namespace mf::access
