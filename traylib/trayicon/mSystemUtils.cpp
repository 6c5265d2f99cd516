#include "traylib/trayicon/mSystemUtils.h"

#include "traylib/AnsiText.h"
#include "traylib/trayicon/mFileVersion.h"

namespace sd::mSystemUtils {

namespace {
thread_local OsRecord t_os;

std::wstring Trimmed(std::wstring s) {
  const wchar_t* blanks = L" \t";
  size_t first = s.find_first_not_of(blanks);
  if (first == std::wstring::npos) return {};
  size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}
}  // namespace

void ReadOsRecord() {
  OSVERSIONINFOA info{sizeof info};
  if (!GetVersionExA(&info)) {
    t_os = {};
    return;
  }
  t_os.majorVersion = info.dwMajorVersion;
  t_os.minorVersion = info.dwMinorVersion;
  t_os.buildNumber = info.dwBuildNumber;
  t_os.platformId = info.dwPlatformId;
  t_os.servicePack = Trimmed(FromAnsi(info.szCSDVersion));  // szCSDVersion ends at its NUL
}

const OsRecord& Os() { return t_os; }

bool BalloonsSupported() {
  if (t_os.platformId == VER_PLATFORM_WIN32_NT) return t_os.majorVersion >= 5;
  if (t_os.platformId == VER_PLATFORM_WIN32_WINDOWS)
    return t_os.majorVersion >= 4 && t_os.minorVersion == 90;
  return false;
}

bool ShellVersionAtLeast(WORD major) {
  auto info = mFileVersion::FixedFileInfo(L"shell32.dll");
  return info && HIWORD(info->dwFileVersionMS) >= major;
}

}  // namespace sd::mSystemUtils
