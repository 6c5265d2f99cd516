#pragma once
// The library as a whole: its module handle, the count of live objects and
// server locks behind DllCanUnloadNow, and its own type library.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "traylib/com/ComPtr.h"

namespace sd::module {

HINSTANCE Instance() noexcept;
// Full path of the library file.
std::wstring Path();

// Every object the library hands out counts from its construction to its
// destruction; IClassFactory::LockServer adds locks.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void Lock() noexcept;
void Unlock() noexcept;
bool CanUnload() noexcept;

// The type library in the library's resources, loaded on first use and kept
// while any object lives. Throws ComError.
ComPtr<ITypeLib> TypeLibrary();
ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid);

}  // namespace sd::module
