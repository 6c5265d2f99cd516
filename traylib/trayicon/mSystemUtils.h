#pragma once
// The operating system's version, read once per icon object and kept per thread.
#include <windows.h>

#include <string>

namespace sd::mSystemUtils {

struct OsRecord {
  DWORD majorVersion = 0;
  DWORD minorVersion = 0;
  DWORD buildNumber = 0;
  DWORD platformId = 0;
  std::wstring servicePack;
};

// Reads the record anew (GetVersionExA) for the current thread.
void ReadOsRecord();
const OsRecord& Os();

// NT family from version 5, or the 4.90 system of the other family.
bool BalloonsSupported();
// The major file version of "shell32.dll" is at least `major`.
bool ShellVersionAtLeast(WORD major);

}  // namespace sd::mSystemUtils
