#include "traylib/trayicon/mFileVersion.h"

#include <vector>

#include "traylib/AnsiText.h"
#include "traylib/Error.h"

namespace sd::mFileVersion {

std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::wstring& fileName) {
  const std::string name = ToAnsi(fileName);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(name.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoA(name.c_str(), 0, size, block.data())) return std::nullopt;
  void* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &info, &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return std::nullopt;
  return *static_cast<const VS_FIXEDFILEINFO*>(info);
}

namespace {
std::wstring Part(WORD half) {
  if (half >= 0x8000) RaiseRuntimeError(kErrOverflow);
  return std::to_wstring(half);
}
}  // namespace

std::wstring FileVersion(const std::wstring& fileName) {
  std::optional<VS_FIXEDFILEINFO> info = FixedFileInfo(fileName);
  if (!info || info->dwFileVersionMS == 0) return {};
  return Part(HIWORD(info->dwFileVersionMS)) + L"." + Part(LOWORD(info->dwFileVersionMS)) + L"." +
         Part(HIWORD(info->dwFileVersionLS)) + L"." + Part(LOWORD(info->dwFileVersionLS));
}

}  // namespace sd::mFileVersion
