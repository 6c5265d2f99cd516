#include "traylib/com/Module.h"

#include "traylib/Library.h"
#include "traylib/com/ComError.h"

namespace sd::module {
namespace {

LONG g_objects = 0;
LONG g_locks = 0;
SRWLOCK g_typeLibLock = SRWLOCK_INIT;
ITypeLib* g_typeLib = nullptr;

// Drops the cached type library once nothing of ours can use it any more,
// so that an unloaded library leaves no reference behind in oleaut32.
void ReleaseTypeLibrary() noexcept {
  ::AcquireSRWLockExclusive(&g_typeLibLock);
  ITypeLib* lib = nullptr;
  if (g_objects == 0) std::swap(lib, g_typeLib);
  ::ReleaseSRWLockExclusive(&g_typeLibLock);
  if (lib) lib->Release();
}

}  // namespace

HINSTANCE Instance() noexcept { return LibraryInstance(); }

std::wstring Path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(Instance(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) throw ComError(HRESULT_FROM_WIN32(::GetLastError()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void ObjectCreated() noexcept { ::InterlockedIncrement(&g_objects); }
void ObjectDestroyed() noexcept {
  if (::InterlockedDecrement(&g_objects) == 0) ReleaseTypeLibrary();
}
void Lock() noexcept { ::InterlockedIncrement(&g_locks); }
void Unlock() noexcept { ::InterlockedDecrement(&g_locks); }
bool CanUnload() noexcept { return g_objects == 0 && g_locks == 0; }

ComPtr<ITypeLib> TypeLibrary() {
  ::AcquireSRWLockExclusive(&g_typeLibLock);
  HRESULT hr = S_OK;
  if (!g_typeLib) {
    try {
      // REGKIND_NONE: reading our own resource must not touch the registry.
      hr = ::LoadTypeLibEx(Path().c_str(), REGKIND_NONE, &g_typeLib);
    } catch (const ComError& e) {
      hr = e.Result();
    }
  }
  auto lib = ComPtr<ITypeLib>::Share(g_typeLib);
  ::ReleaseSRWLockExclusive(&g_typeLibLock);
  ThrowIfFailed(hr);
  return lib;
}

ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid) {
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(TypeLibrary()->GetTypeInfoOfGuid(guid, info.Put()));
  return info;
}

}  // namespace sd::module
