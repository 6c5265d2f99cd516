#pragma once
// What the Sabledrift tests share. They know the library only as a host
// does: its file, its registration and its type library (Quenbrook.h).
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Quenbrook.h"

namespace sdtest {

// An owned interface pointer; Share takes a second reference.
template <typename T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Reset(); }
  static Ref Share(T* p) {
    if (p) p->AddRef();
    return Ref(p);
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset(T* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Gives up the reference and returns what Release answered.
  ULONG ReleaseCount() { return std::exchange(p_, nullptr)->Release(); }
  template <typename U>
  Ref<U> As(REFIID iid) const {
    Ref<U> out;
    if (p_) p_->QueryInterface(iid, out.PutVoid());
    return out;
  }

 private:
  T* p_ = nullptr;
};

// References held on an object right now, the caller's included.
ULONG RefCount(IUnknown* object);

std::wstring SabledriftPath();
// Runs regsvr32 with `args` and the library's path; returns its exit code.
DWORD RunRegsvr32(const std::wstring& args);
void RegisterSabledrift();
void UnregisterSabledrift();
// Calls the library's DllCanUnloadNow in the module COM loaded; S_OK means yes.
HRESULT DllCanUnloadNowOfSabledrift();

Ref<IDispatch> CreateTrayIcon();
Ref<IDispatch> CreateToolTip();

// A window of the platform's ActiveX host class "AtlAxWin" (atl.dll) that
// places the control named by `progId` as a child of `parent`.
HWND CreateAtlHost(HWND parent, const wchar_t* progId, int x, int y, int width, int height);
// The control placed in such a host.
Ref<IDispatch> HostedControl(HWND host);

// A VARIANT that clears itself.
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  explicit Var(LONG value) : Var() {
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
  }
  explicit Var(bool value) : Var() {
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  explicit Var(const wchar_t* text) : Var() {
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
  }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(&v); }
};

// By-reference arguments pointing at the caller's variables.
VARIANT ByRef(LONG* value);
VARIANT ByRef(BSTR* value);
// A window or icon handle as the 32-bit number the interface passes.
LONG HandleNumber(const void* handle);

// The icon's callback message, as the shell sends it to the owner window.
constexpr UINT kCallbackMessage = WM_USER + 1;
// The shell still has the control's icon for this owner: a change of it succeeds.
bool ShellKnowsIcon(HWND owner);
// Tools with this text in the tooltip windows of Wine's taskbar, which keeps
// one per icon it shows (with a place) and one per balloon (in a shown window).
int TaskbarIconsWithText(const std::wstring& text);
bool TaskbarShowsBalloon(const std::wstring& text);

// One call through IDispatch::Invoke by dispatch id.
struct DispatchCall {
  HRESULT hr = E_FAIL;
  Var result;
  EXCEPINFO exception{};
  UINT argError = 0;
  ~DispatchCall() {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }
  std::wstring Description() const;
  std::wstring Source() const;
};

// `args` in declaration order; they may be VT_BYREF to the caller's values.
void Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
            DispatchCall& call);
// Property (or result of a method) get, and put; a failing call fails the test.
LONG GetLong(IDispatch* object, DISPID id);
bool GetBool(IDispatch* object, DISPID id);
std::wstring GetString(IDispatch* object, DISPID id);
HRESULT Put(IDispatch* object, DISPID id, const VARIANT& value);

// An event sink of the kind a host writes: IDispatch answering for the
// event dispinterface, keeping every call with its arguments as numbers.
class EventSink final : public IDispatch {
 public:
  struct Event {
    DISPID id;
    std::vector<LONG> args;      // in declaration order
    std::vector<VARTYPE> types;  // as they came
  };
  static Ref<EventSink> Create(REFIID events = DIID___TrayIcon);

  std::vector<Event> events;
  HRESULT answer = S_OK;  // what Invoke returns
  // Runs after each event is kept: what a host does in its event handler.
  std::function<void(const Event&)> onEvent;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override;

 private:
  explicit EventSink(REFIID events) : iid_(events) {}
  IID iid_;
  LONG refs_ = 1;
};

class PropertyNotifySink final : public IPropertyNotifySink {
 public:
  static Ref<PropertyNotifySink> Create();
  std::vector<DISPID> changed;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID) override;

 private:
  PropertyNotifySink() = default;
  LONG refs_ = 1;
};

// A container's property bag: remembers what was written, in order.
class MemoryBag final : public IPropertyBag {
 public:
  static Ref<MemoryBag> Create();
  std::vector<std::pair<std::wstring, VARIANT>> values;
  std::vector<std::wstring> Names() const;
  const VARIANT* Find(const std::wstring& name) const;
  void Set(const std::wstring& name, const VARIANT& value);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

 private:
  MemoryBag() = default;
  ~MemoryBag();
  LONG refs_ = 1;
};

// Dispatch ids of _TrayIcon, as a host binds them: by number, which never changes.
namespace id {
constexpr DISPID IconHandle = 0x68030000;
constexpr DISPID ToolTip = 0x68030001;
constexpr DISPID TrayIconVisible = 0x68030002;
constexpr DISPID Created = 0x68030003;
constexpr DISPID TrackIconMovement = 0x68030004;
constexpr DISPID IconMovementTrackInterval = 0x68030005;
constexpr DISPID SysTrayHWnd = 0x60030006;
constexpr DISPID CommonControlsVersion = 0x60030007;
constexpr DISPID Create = 0x60030008;
constexpr DISPID Remove = 0x60030009;
constexpr DISPID BalloonTipShow = 0x6003000A;
constexpr DISPID BalloonTipClose = 0x6003000B;
constexpr DISPID GetIconMiddle = 0x6003000C;
constexpr DISPID IconRect = 0x6003000D;
}  // namespace id

// Dispatch ids of _ToolTipOnDemand, and its events.
namespace tid {
constexpr DISPID TimeOut = 0x68030000;
constexpr DISPID Centered = 0x68030001;
constexpr DISPID Prompt = 0x68030002;
constexpr DISPID BackColor = 0x68030003;
constexpr DISPID Title = 0x68030004;
constexpr DISPID ForeColor = 0x68030005;
constexpr DISPID ParentHwnd = 0x68030006;
constexpr DISPID y = 0x68030007;
constexpr DISPID x = 0x68030008;
constexpr DISPID IconType = 0x68030009;
constexpr DISPID Style = 0x6803000A;
constexpr DISPID Show = 0x6003000B;
constexpr DISPID Destroy = 0x6003000C;
constexpr DISPID MouseEvents = 1;
constexpr DISPID BalloonDestroyed = 2;
constexpr DISPID BalloonShowed = 3;
}  // namespace tid

}  // namespace sdtest
