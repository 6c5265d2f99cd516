#pragma once
// An MSAA client, as a screen reader reads a window: its client object from
// AccessibleObjectFromWindow, and the focus and selection events it hears.
#include <windows.h>

#include <oleacc.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Handles.h"

namespace mf::test {

class MsaaClient {
 public:
  explicit MsaaClient(HWND window) {
    hr = AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), object.PutVoid());
  }
  long Count() {
    long n = 0;
    return SUCCEEDED(object->get_accChildCount(&n)) ? n : -1;
  }
  std::wstring Name(long child) { return Text(&IAccessible::get_accName, child); }
  std::wstring Value(long child) { return Text(&IAccessible::get_accValue, child); }
  std::wstring Shortcut(long child) { return Text(&IAccessible::get_accKeyboardShortcut, child); }
  long Role(long child) { return Number(&IAccessible::get_accRole, child); }
  long State(long child) { return Number(&IAccessible::get_accState, child); }
  HRESULT Press(long child) { return object->accDoDefaultAction(Child(child)); }
  HRESULT Select(long child, long flags) { return object->accSelect(flags, Child(child)); }
  long At(POINT screen) {
    VARIANT v{};
    object->accHitTest(screen.x, screen.y, &v);
    return v.vt == VT_I4 ? v.lVal : -1;
  }
  // The selected children, whether one (VT_I4) or several (an enumerator).
  std::vector<long> Selection() {
    VARIANT v{};
    std::vector<long> children;
    object->get_accSelection(&v);
    if (v.vt == VT_I4) children.push_back(v.lVal);
    IEnumVARIANT* all = nullptr;
    if (v.vt == VT_UNKNOWN &&
        SUCCEEDED(v.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&all)))) {
      VARIANT item{};
      while (all->Next(1, &item, nullptr) == S_OK) children.push_back(item.lVal);
      all->Release();
    }
    VariantClear(&v);
    return children;
  }
  // The child named so; 0 when none is.
  long Find(const std::wstring& name) {
    for (long i = 1; i <= Count(); ++i)
      if (Name(i) == name) return i;
    return 0;
  }

  HRESULT hr;
  ComPtr<IAccessible> object;

 private:
  static VARIANT Child(long id) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
  }
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child) {
    BSTR text = nullptr;
    if (FAILED((object.Get()->*get)(Child(child), &text))) return L"<failed>";
    std::wstring out = text ? text : L"";
    SysFreeString(text);
    return out;
  }
  long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child) {
    VARIANT v{};
    return SUCCEEDED((object.Get()->*get)(Child(child), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  }
};

// The object events one window raises while this lives: (event, child).
class MsaaEvents {
 public:
  explicit MsaaEvents(HWND window) : window_(window) {
    current_ = this;
    hook_ = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_SELECTIONWITHIN, nullptr, &Heard,
                            GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  }
  ~MsaaEvents() {
    UnhookWinEvent(hook_);
    current_ = nullptr;
  }
  std::vector<std::pair<DWORD, long>> heard;

 private:
  static void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                             DWORD) {
    if (current_ && hwnd == current_->window_ && object == OBJID_CLIENT)
      current_->heard.emplace_back(event, child);
  }
  static inline MsaaEvents* current_ = nullptr;
  HWND window_;
  HWINEVENTHOOK hook_;
};

}  // namespace mf::test
