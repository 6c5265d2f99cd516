#include "common/AppVersion.h"

#include <windows.h>

#include <string>

namespace mf {

AppVersion ProgramVersion() {
  AppVersion v;
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
  if (!found) return v;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return v;
  // VerQueryValue may write into the block, so it works on a copy.
  DWORD size = SizeofResource(module, found);
  std::string copy(static_cast<const char*>(data), size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof *info || info->dwSignature != VS_FFI_SIGNATURE)
    return v;
  v.major = HIWORD(info->dwFileVersionMS);
  v.minor = LOWORD(info->dwFileVersionMS);
  v.revision = LOWORD(info->dwFileVersionLS);
  return v;
}

}  // namespace mf
