#include "traylib/trayicon/mSystemUtils.h"

#include "traylib/AnsiText.h"
#include "traylib/PerThread.h"
#include "traylib/trayicon/mFileVersion.h"

namespace sd::mSystemUtils {

namespace {
PerThread<OsRecord> t_os;

std::wstring Trimmed(const std::wstring& s) {
  const wchar_t* blanks = L" \t";
  size_t first = s.find_first_not_of(blanks);
  if (first == std::wstring::npos) return {};
  size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}
}  // namespace

void ReadOsRecord() {
  OSVERSIONINFOA info{sizeof info};
  OsRecord& os = t_os.Get();
  if (!GetVersionExA(&info)) {
    os = {};
    return;
  }
  os.majorVersion = info.dwMajorVersion;
  os.minorVersion = info.dwMinorVersion;
  os.buildNumber = info.dwBuildNumber;
  os.platformId = info.dwPlatformId;
  os.servicePack = Trimmed(FromAnsi(info.szCSDVersion));  // szCSDVersion ends at its NUL
}

const OsRecord& Os() { return t_os.Get(); }

bool BalloonsSupported() {
  const OsRecord& os = t_os.Get();
  if (os.platformId == VER_PLATFORM_WIN32_NT) return os.majorVersion >= 5;
  if (os.platformId == VER_PLATFORM_WIN32_WINDOWS)
    return os.majorVersion >= 4 && os.minorVersion == 90;
  return false;
}

bool ShellVersionAtLeast(WORD major) {
  auto info = mFileVersion::FixedFileInfo(L"shell32.dll");
  return info && HIWORD(info->dwFileVersionMS) >= major;
}

}  // namespace sd::mSystemUtils
