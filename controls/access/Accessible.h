#pragma once
// MSAA for windows that draw their own parts (the grid, the movie player).
// The window itself (CHILDID_SELF) answers through the system's standard
// object for its client area, so its place, parent, focus and state are the
// ones Windows gives every window; the parts the window draws are simple
// children numbered 1..n, which a subclass describes. UI Automation reads
// the same object through its MSAA proxy.
#include <windows.h>

#include <oleacc.h>

#include <optional>
#include <string>
#include <vector>

#include "common/Handles.h"

namespace mf::access {

class Accessible : public IAccessible {
 public:
  explicit Accessible(HWND hwnd);
  virtual ~Accessible();
  Accessible(const Accessible&) = delete;
  Accessible& operator=(const Accessible&) = delete;

  // The window is going: every later call fails, as MSAA asks of an object
  // whose user interface is gone (a client may hold it longer).
  void Disconnect() noexcept;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IDispatch: clients of MSAA call IAccessible directly; names are not offered.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override;
  // IAccessible
  STDMETHODIMP get_accParent(IDispatch** parent) override;
  STDMETHODIMP get_accChildCount(long* count) override;
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override;
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  STDMETHODIMP get_accFocus(VARIANT* focus) override;
  STDMETHODIMP get_accSelection(VARIANT* selection) override;
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
  STDMETHODIMP accSelect(long flags, VARIANT child) override;
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                           VARIANT child) override;
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
  STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
  STDMETHODIMP accDoDefaultAction(VARIANT child) override;
  STDMETHODIMP put_accName(VARIANT, BSTR) override;
  STDMETHODIMP put_accValue(VARIANT, BSTR) override;

 protected:
  HWND Hwnd() const noexcept { return hwnd_; }

  // ---- What a subclass tells of the window and its children (1..count).
  virtual long ChildCount() = 0;
  virtual std::wstring Name(long child) = 0;
  virtual long Role(long child) = 0;
  virtual long State(long child) = 0;
  // The child's rectangle in the window's client coordinates.
  virtual RECT Location(long child) = 0;
  // None: the child has no value (DISP_E_MEMBERNOTFOUND).
  virtual std::optional<std::wstring> Value(long /*child*/) { return std::nullopt; }
  virtual std::wstring Description(long /*child*/) { return {}; }
  virtual std::wstring KeyboardShortcut(long /*child*/) { return {}; }
  virtual std::wstring DefaultAction(long /*child*/) { return {}; }
  virtual HRESULT DoDefaultAction(long /*child*/) { return DISP_E_MEMBERNOTFOUND; }
  virtual HRESULT Select(long /*child*/, long /*flags*/) { return DISP_E_MEMBERNOTFOUND; }
  virtual std::vector<long> SelectedChildren() { return {}; }
  // The child under a point of the client area; 0 for none.
  virtual long ChildAt(POINT /*client*/) { return 0; }
  // The child that has the focus while the window has it; 0 for the window.
  virtual long FocusedChild() { return 0; }
  // The window's own name and role; none keeps the standard object's.
  virtual std::optional<std::wstring> SelfName() { return std::nullopt; }
  virtual long SelfRole() { return 0; }

 private:
  // Runs `body` for a valid child (0..count); the error for any other, and
  // no C++ exception ever leaves through the interface.
  template <typename Body>
  HRESULT ForChild(const VARIANT& child, Body&& body);
  HRESULT Connected() const noexcept;

  LONG refs_ = 1;
  HWND hwnd_;
  bool connected_ = true;
  ComPtr<IAccessible> standard_;  // the system's object for the client area
};

// WM_GETOBJECT: hands `object` out for the client area; 0 (the system's
// default) for every other object id.
LRESULT AnswerGetObject(Accessible* object, WPARAM wParam, LPARAM lParam);

// Gives up a window's object as the window goes.
void Release(Accessible*& object) noexcept;

// Raises an MSAA event for a child (0: the window) of the client area.
void Notify(DWORD event, HWND hwnd, long child) noexcept;

}  // namespace mf::access
