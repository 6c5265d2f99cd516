#include "traylib/subclass/MSubclass.h"

#include "traylib/Error.h"
#include "traylib/Library.h"
#include "traylib/com/ComPtr.h"
#include "traylib/subclass/SubclassStore.h"

namespace sd::MSubclass {

namespace {

thread_local UINT t_currentMessage = 0;

[[noreturn]] void Raise(long number) {
  if (number <= 1000) RaiseRuntimeError(number);
  const wchar_t* text = L"";
  switch (number) {
    case kErrCantSubclass:
      text = L"Can't subclass window";
      break;
    case kErrAlreadyHandled:
      text = L"Message already handled by another class";
      break;
    case kErrInvalidWindow:
      text = L"Invalid window";
      break;
    case kErrExternalWindow:
      text = L"Can't modify external window";
      break;
  }
  throw Error(kObjectErrorBase + number, text, LibraryBaseName() + L".WindowProc");
}

LONG_PTR Identity(ISubclass* client) { return reinterpret_cast<LONG_PTR>(client); }

LONG_PTR SwapProcedure(HWND hwnd, LONG_PTR procedure) {
  return SetWindowLongPtrA(hwnd, GWLP_WNDPROC, procedure);
}

LRESULT CALLBACK EngineWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Whether the engine's procedure is still the window's own: nobody has
// subclassed the window on top of it since.
bool EngineOnTop(HWND hwnd) {
  return GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&EngineWindowProc);
}

// The last attachment is gone. The previous procedure goes back only while
// the engine's is the window's own: a procedure installed on top since then
// calls ours as its previous one, and writing the old one back would cut it
// out. Ours then stays in the chain, passing every message through, until
// the window goes.
void Unsubclass(HWND hwnd) {
  LONG_PTR old = store::OldProc(hwnd);
  if (!old || !EngineOnTop(hwnd)) return;
  SwapProcedure(hwnd, old);
  store::WriteOldProc(hwnd, 0);
}

// The window is no longer subclassed: the attachment count is 0. Client
// lists stay; they go with the window.
void RemoveSubclass(HWND hwnd) {
  if (store::AttachCount(hwnd) <= 0) return;
  Unsubclass(hwnd);
  store::WriteAttachCount(hwnd, 0);
}

// Calls one client, holding a reference for the length of the call. A client
// must not throw; if one does, the error stops at the window procedure.
template <typename Call>
void CallClient(Call&& call) noexcept {
  try {
    call();
  } catch (...) {
  }
}

LRESULT CALLBACK EngineWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(store::OldProc(hwnd));
  if (!old) return 0;
  const LONG count = store::ClientCount(hwnd, msg);
  if (count <= 0) {
    if (msg == WM_DESTROY) RemoveSubclass(hwnd);
    return CallWindowProcA(old, hwnd, msg, wParam, lParam);
  }

  LRESULT result = 0;
  bool oldCalled = false;
  ComPtr<ISubclass> last;
  // The client that attached last is called first.
  for (LONG position = count; position >= 1; --position) {
    auto* client = reinterpret_cast<ISubclass*>(store::Client(hwnd, msg, position));
    if (!client) continue;
    auto held = ComPtr<ISubclass>::Share(client);
    t_currentMessage = msg;
    // Only the client at position 1 decides what happens to the previous procedure.
    if (position == 1) {
      EMsgResponse mode = MsgResponseConsume;
      CallClient([&] { mode = held->MsgResponse(); });
      if (mode == MsgResponseCallOldBefore && !oldCalled) {
        CallWindowProcA(old, hwnd, msg, wParam, lParam);
        oldCalled = true;
      }
    }
    CallClient([&] { result = held->WindowProc(hwnd, msg, wParam, lParam); });
    last = std::move(held);
  }

  if (last) {
    // Messages sent while the clients ran may have changed the current message.
    t_currentMessage = msg;
    EMsgResponse mode = MsgResponseConsume;
    CallClient([&] { mode = last->MsgResponse(); });
    if (mode == MsgResponseCallOldAfter && !oldCalled)
      result = CallWindowProcA(old, hwnd, msg, wParam, lParam);
  }
  return result;
}

}  // namespace

bool IsWindowLocal(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid == GetCurrentProcessId();
}

bool InIDE() { return false; }

void AttachMessage(ISubclass* client, HWND hwnd, UINT iMsg) {
  if (!IsWindow(hwnd)) Raise(kErrInvalidWindow);
  if (!IsWindowLocal(hwnd)) Raise(kErrExternalWindow);
  // A missing client would leave a gap in the list.
  if (!client) Raise(kErrInvalidCall);

  const LONG_PTR id = Identity(client);
  const LONG n = store::ClientCount(hwnd, iMsg);
  for (LONG p = 1; p <= n; ++p)
    if (store::Client(hwnd, iMsg, p) == id) Raise(kErrAlreadyHandled);

  store::WriteClientCount(hwnd, iMsg, n + 1);
  if (!store::LastWriteSucceeded()) Raise(kErrInvalidCall);

  auto undoClient = [&] {
    store::WriteClient(hwnd, iMsg, n + 1, 0);
    store::WriteClientCount(hwnd, iMsg, n);
  };
  store::WriteClient(hwnd, iMsg, n + 1, id);
  if (!store::LastWriteSucceeded()) {
    store::WriteClientCount(hwnd, iMsg, n);
    Raise(kErrInvalidCall);
  }

  const LONG attached = store::AttachCount(hwnd);
  // A stored procedure with no attachment: the engine was left in the chain
  // under another subclasser and still passes messages on; nothing to install.
  const bool install = attached == 0 && store::OldProc(hwnd) == 0;
  if (install) {
    LONG_PTR old = SwapProcedure(hwnd, reinterpret_cast<LONG_PTR>(&EngineWindowProc));
    if (old == 0) {
      undoClient();
      Raise(kErrCantSubclass);
    }
    store::WriteOldProc(hwnd, old);
    if (!store::LastWriteSucceeded()) {
      SwapProcedure(hwnd, old);
      undoClient();
      Raise(kErrInvalidCall);
    }
  }

  store::WriteAttachCount(hwnd, attached + 1);
  if (!store::LastWriteSucceeded()) {
    undoClient();
    if (install) Unsubclass(hwnd);
    Raise(kErrInvalidCall);
  }
}

void DetachMessage(ISubclass* client, HWND hwnd, UINT iMsg) noexcept {
  if (!IsWindow(hwnd) || !IsWindowLocal(hwnd)) return;
  const LONG n = store::ClientCount(hwnd, iMsg);
  if (n <= 0) return;
  const LONG_PTR id = Identity(client);
  LONG p = 1;
  while (p <= n && store::Client(hwnd, iMsg, p) != id) ++p;
  if (p > n) return;

  for (LONG i = p; i < n; ++i) store::WriteClient(hwnd, iMsg, i, store::Client(hwnd, iMsg, i + 1));
  store::WriteClient(hwnd, iMsg, n, 0);
  store::WriteClientCount(hwnd, iMsg, n - 1);

  const LONG attached = store::AttachCount(hwnd);
  if (attached == 1) Unsubclass(hwnd);
  // After WM_DESTROY unsubclassed the window the count is 0 already; it never goes below.
  if (attached > 0) store::WriteAttachCount(hwnd, attached - 1);
}

UINT CurrentMessage() noexcept { return t_currentMessage; }

LRESULT CallOldWindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(store::OldProc(hwnd));
  if (!old) return 0;
  return CallWindowProcA(old, hwnd, iMsg, wParam, lParam);
}

}  // namespace sd::MSubclass
