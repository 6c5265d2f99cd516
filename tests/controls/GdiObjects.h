#pragma once
// Counting this process's GDI objects, for leak checks. GetGuiResources
// answers where the system has it; Wine answers 0 (not implemented), so the
// process's GDI handle table, which the PEB points to, is counted instead.
#include <windows.h>

#include <winternl.h>

#include <cstdint>

namespace mf::test {

// -1 when no count can be had.
inline long CountGdiObjects() {
  DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (n != 0) return static_cast<long>(n);
#ifdef _WIN64
  struct Entry {  // GDI_HANDLE_ENTRY of the 64-bit table
    uint64_t object;
    uint16_t processId;
    uint16_t count;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
  };
  static_assert(sizeof(Entry) == 24);
  constexpr size_t kGdiSharedHandleTable = 0xF8;  // offset in the 64-bit PEB
  constexpr size_t kEntries = 0x10000;
  using QueryProcess = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION info{};
  if (!query ||
      query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
    return -1;
  const auto* peb = reinterpret_cast<const char*>(info.PebBaseAddress);
  const auto* table = *reinterpret_cast<const Entry* const*>(peb + kGdiSharedHandleTable);
  if (!table) return -1;
  const auto self = static_cast<uint16_t>(GetCurrentProcessId());
  long count = 0;
  for (size_t i = 0; i < kEntries; ++i)
    if (table[i].type != 0 && (table[i].processId == 0 || table[i].processId == self)) ++count;
  return count;
#else
  return -1;
#endif
}

}  // namespace mf::test
