#include "tests/traylib/com/ComTest.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "tests/support/Process.h"

namespace sdtest {
namespace {

// The whole program runs with the library registered, and leaves the
// prefix as it found it.
class RegistrationEnvironment : public testing::Environment {
 public:
  void SetUp() override { RegisterSabledrift(); }
  void TearDown() override { UnregisterSabledrift(); }
};
testing::Environment* const g_registration =
    testing::AddGlobalTestEnvironment(new RegistrationEnvironment);

}  // namespace

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

std::wstring SabledriftPath() { return mf::test::BesideTest(L"Sabledrift.dll"); }

DWORD RunRegsvr32(const std::wstring& args) {
  mf::test::ChildProcess regsvr32;
  if (!regsvr32.Start(L"regsvr32.exe", args + L" \"" + SabledriftPath() + L"\"")) return ~0u;
  DWORD code = ~0u;
  if (!regsvr32.WaitExit(60000, &code)) regsvr32.Kill();
  return code;
}

void RegisterSabledrift() { ASSERT_EQ(0u, RunRegsvr32(L"/s")); }
void UnregisterSabledrift() { ASSERT_EQ(0u, RunRegsvr32(L"/s /u")); }

HRESULT DllCanUnloadNowOfSabledrift() {
  HMODULE library = GetModuleHandleW(L"Sabledrift.dll");
  if (!library) return S_OK;  // not loaded at all
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  return canUnload ? canUnload() : E_FAIL;
}

Ref<IDispatch> CreateTrayIcon() {
  Ref<IDispatch> control;
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_TrayIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   control.PutVoid()));
  return control;
}

Ref<IDispatch> CreateToolTip() {
  Ref<IDispatch> control;
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ToolTipOnDemand, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDispatch, control.PutVoid()));
  return control;
}

HWND CreateAtlHost(HWND parent, const wchar_t* progId, int x, int y, int width, int height) {
  // The host window class is registered once per process; atl.dll stays loaded for it.
  static const bool registered = [] {
    HMODULE atl = LoadLibraryW(L"atl.dll");
    auto init = atl ? reinterpret_cast<BOOL(WINAPI*)()>(
                          reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")))
                    : nullptr;
    return init && init();
  }();
  if (!registered) return nullptr;
  return CreateWindowExW(0, L"AtlAxWin", progId, WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                         nullptr, nullptr, nullptr);
}

Ref<IDispatch> HostedControl(HWND host) {
  using GetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
  auto get = reinterpret_cast<GetControl>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"atl.dll"), "AtlAxGetControl")));
  Ref<IUnknown> control;
  if (!get || get(host, control.Put()) != S_OK) return {};
  return control.As<IDispatch>(IID_IDispatch);
}

VARIANT ByRef(LONG* value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4 | VT_BYREF;
  V_I4REF(&v) = value;
  return v;
}

VARIANT ByRef(BSTR* value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&v) = value;
  return v;
}

LONG HandleNumber(const void* handle) {
  return static_cast<LONG>(reinterpret_cast<LONG_PTR>(handle));
}

bool ShellKnowsIcon(HWND owner) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V3_SIZE;
  data.hWnd = owner;
  data.uID = 999;  // the control's icon
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

namespace {

// The tools of a tooltip window of another process, read through a block in
// that process: their text and whether they have a place.
std::vector<std::pair<std::wstring, bool>> RemoteTools(HWND tooltip) {
  std::vector<std::pair<std::wstring, bool>> tools;
  DWORD pid = 0;
  GetWindowThreadProcessId(tooltip, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return tools;
  constexpr SIZE_T kText = 256 * sizeof(wchar_t);
  auto* block = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOW) + kText, MEM_COMMIT, PAGE_READWRITE));
  const LRESULT count = block ? SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0) : 0;
  for (LRESULT i = 0; i < count; ++i) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    wchar_t text[256] = {};
    WriteProcessMemory(process, block, &info, sizeof info, nullptr);
    SendMessageW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(block));
    ReadProcessMemory(process, block, &info, sizeof info, nullptr);
    info.lpszText = reinterpret_cast<LPWSTR>(block + sizeof info);
    WriteProcessMemory(process, block, &info, sizeof info, nullptr);
    WriteProcessMemory(process, block + sizeof info, text, kText, nullptr);
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(block));
    ReadProcessMemory(process, block + sizeof info, text, kText - sizeof(wchar_t), nullptr);
    tools.emplace_back(text, !IsRectEmpty(&info.rect));
  }
  if (block) VirtualFreeEx(process, block, 0, MEM_RELEASE);
  CloseHandle(process);
  return tools;
}

std::vector<HWND> TaskbarTooltips() {
  DWORD pid = 0;
  GetWindowThreadProcessId(FindWindowA("Shell_TrayWnd", nullptr), &pid);
  return mf::test::WindowsOfProcess(pid, "tooltips_class32");
}

}  // namespace

int TaskbarIconsWithText(const std::wstring& text) {
  int found = 0;
  for (HWND tooltip : TaskbarTooltips())
    for (const auto& [tool, placed] : RemoteTools(tooltip)) found += tool == text && placed;
  return found;
}

bool TaskbarShowsBalloon(const std::wstring& text) {
  for (HWND tooltip : TaskbarTooltips()) {
    if (!IsWindowVisible(tooltip)) continue;
    for (const auto& tool : RemoteTools(tooltip))
      if (tool.first == text) return true;
  }
  return false;
}

std::wstring DispatchCall::Description() const {
  return exception.bstrDescription ? exception.bstrDescription : L"";
}
std::wstring DispatchCall::Source() const {
  return exception.bstrSource ? exception.bstrSource : L"";
}

void Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
            DispatchCall& call) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                    static_cast<UINT>(reversed.size()), 0};
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &call.result.v,
                           &call.exception, &call.argError);
}

// As script and late-bound hosts ask for a value: property or method alike.
constexpr WORD kGet = DISPATCH_PROPERTYGET | DISPATCH_METHOD;

LONG GetLong(IDispatch* object, DISPID id) {
  DispatchCall call;
  Invoke(object, id, kGet, {}, call);
  EXPECT_EQ(S_OK, call.hr) << std::hex << id;
  EXPECT_EQ(VT_I4, V_VT(&call.result.v));
  return V_VT(&call.result.v) == VT_I4 ? V_I4(&call.result.v) : -12345;
}

bool GetBool(IDispatch* object, DISPID id) {
  DispatchCall call;
  Invoke(object, id, kGet, {}, call);
  EXPECT_EQ(S_OK, call.hr) << std::hex << id;
  EXPECT_EQ(VT_BOOL, V_VT(&call.result.v));
  return V_VT(&call.result.v) == VT_BOOL && V_BOOL(&call.result.v) != VARIANT_FALSE;
}

std::wstring GetString(IDispatch* object, DISPID id) {
  DispatchCall call;
  Invoke(object, id, kGet, {}, call);
  EXPECT_EQ(S_OK, call.hr) << std::hex << id;
  EXPECT_EQ(VT_BSTR, V_VT(&call.result.v));
  if (V_VT(&call.result.v) != VT_BSTR || !V_BSTR(&call.result.v)) return L"<none>";
  return V_BSTR(&call.result.v);
}

HRESULT Put(IDispatch* object, DISPID id, const VARIANT& value) {
  DispatchCall call;
  Invoke(object, id, DISPATCH_PROPERTYPUT, {value}, call);
  return call.hr;
}

// ---- EventSink ----

Ref<EventSink> EventSink::Create(REFIID events) { return Ref<EventSink>(new EventSink(events)); }

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) EventSink::AddRef() { return ++refs_; }
STDMETHODIMP_(ULONG) EventSink::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}
STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}
STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                               EXCEPINFO*, UINT*) {
  Event event{id, {}, {}};
  for (UINT i = params->cArgs; i-- > 0;) {
    event.types.push_back(V_VT(&params->rgvarg[i]));
    Var number;
    VariantChangeType(&number.v, &params->rgvarg[i], 0, VT_I4);
    event.args.push_back(V_VT(&number.v) == VT_I4 ? V_I4(&number.v) : -99999);
  }
  events.push_back(std::move(event));
  // A copy: the handler may raise further events that grow the list.
  if (onEvent) onEvent(Event(events.back()));
  return answer;
}

// ---- PropertyNotifySink ----

Ref<PropertyNotifySink> PropertyNotifySink::Create() {
  return Ref<PropertyNotifySink>(new PropertyNotifySink);
}
STDMETHODIMP PropertyNotifySink::QueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IPropertyNotifySink) {
    *object = static_cast<IPropertyNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) PropertyNotifySink::AddRef() { return ++refs_; }
STDMETHODIMP_(ULONG) PropertyNotifySink::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}
STDMETHODIMP PropertyNotifySink::OnChanged(DISPID id) {
  changed.push_back(id);
  return S_OK;
}
STDMETHODIMP PropertyNotifySink::OnRequestEdit(DISPID) { return S_OK; }

// ---- MemoryBag ----

Ref<MemoryBag> MemoryBag::Create() { return Ref<MemoryBag>(new MemoryBag); }
MemoryBag::~MemoryBag() {
  for (auto& [name, value] : values) VariantClear(&value);
}
std::vector<std::wstring> MemoryBag::Names() const {
  std::vector<std::wstring> names;
  for (const auto& [name, value] : values) names.push_back(name);
  return names;
}
const VARIANT* MemoryBag::Find(const std::wstring& name) const {
  for (const auto& [key, value] : values)
    if (key == name) return &value;
  return nullptr;
}
void MemoryBag::Set(const std::wstring& name, const VARIANT& value) {
  VARIANT copy;
  VariantInit(&copy);
  VariantCopy(&copy, const_cast<VARIANT*>(&value));
  values.emplace_back(name, copy);
}
STDMETHODIMP MemoryBag::QueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
    *object = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) MemoryBag::AddRef() { return ++refs_; }
STDMETHODIMP_(ULONG) MemoryBag::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}
STDMETHODIMP MemoryBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  const VARIANT* stored = Find(name);
  if (!stored) return E_INVALIDARG;  // what bags answer for a property they do not hold
  VARTYPE wanted = V_VT(value);
  VARIANT* source = const_cast<VARIANT*>(stored);
  if (wanted == VT_EMPTY) return VariantCopy(value, source);
  return VariantChangeType(value, source, 0, wanted);
}
STDMETHODIMP MemoryBag::Write(LPCOLESTR name, VARIANT* value) {
  Set(name, *value);
  return S_OK;
}

}  // namespace sdtest
