#include "traylib/subclass/SubclassStore.h"

#include <cstdio>

#include "traylib/subclass/Trace.h"

namespace sd::store {

namespace {

thread_local bool t_lastWrite = true;

// Handles and messages are keyed as signed 32-bit numbers; window handles
// carry only 32 significant bits on 64-bit Windows too.
std::string Dec(LONG value) { return std::to_string(value); }
std::string Dec(HWND hwnd) { return Dec(static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd))); }
std::string Dec(UINT msg) { return Dec(static_cast<LONG>(msg)); }

std::wstring Hex(ULONG_PTR value) {
  wchar_t buf[24];
  swprintf(buf, 24, L"%llX", static_cast<unsigned long long>(value));
  return buf;
}
std::wstring Hex(HWND hwnd) { return Hex(reinterpret_cast<ULONG_PTR>(hwnd)); }
std::wstring WDec(LONG value) { return std::to_wstring(value); }

LONG_PTR Read(HWND hwnd, const std::string& key) {
  return reinterpret_cast<LONG_PTR>(GetPropA(hwnd, key.c_str()));
}

void Write(HWND hwnd, const std::string& key, LONG_PTR value, const std::wstring& traceLine) {
  trace::Write(traceLine);
  t_lastWrite = SetPropA(hwnd, key.c_str(), reinterpret_cast<HANDLE>(value)) != FALSE;
  // Zero is stored as no property at all.
  if (value == 0) RemovePropA(hwnd, key.c_str());
}

}  // namespace

// Keys are built by appending: GCC 12 misreads "literal" + string as an overlapping copy.
std::string AttachCountKey(HWND hwnd) { return std::string("C").append(Dec(hwnd)); }
std::string OldProcKey(HWND hwnd) { return Dec(hwnd); }
std::string ClientCountKey(HWND hwnd, UINT msg) {
  return Dec(hwnd).append("#").append(Dec(msg)).append("C");
}
std::string ClientKey(HWND hwnd, UINT msg, LONG position) {
  return Dec(hwnd).append("#").append(Dec(msg)).append("#").append(Dec(position));
}

LONG AttachCount(HWND hwnd) { return static_cast<LONG>(Read(hwnd, AttachCountKey(hwnd))); }
LONG_PTR OldProc(HWND hwnd) { return Read(hwnd, OldProcKey(hwnd)); }
LONG ClientCount(HWND hwnd, UINT msg) {
  return static_cast<LONG>(Read(hwnd, ClientCountKey(hwnd, msg)));
}
LONG_PTR Client(HWND hwnd, UINT msg, LONG position) {
  return Read(hwnd, ClientKey(hwnd, msg, position));
}

void WriteAttachCount(HWND hwnd, LONG count) {
  Write(hwnd, AttachCountKey(hwnd), count,
        L"Changed message count for " + Hex(hwnd) + L" to " + WDec(count));
}

void WriteOldProc(HWND hwnd, LONG_PTR address) {
  Write(hwnd, OldProcKey(hwnd), address,
        L"Changed Window Proc for " + Hex(hwnd) + L" to " + Hex(static_cast<ULONG_PTR>(address)));
}

void WriteClientCount(HWND hwnd, UINT msg, LONG count) {
  Write(hwnd, ClientCountKey(hwnd, msg), count,
        L"Changed message count for " + Hex(hwnd) + L" Message " + WDec(static_cast<LONG>(msg)) +
            L" to " + WDec(count));
}

void WriteClient(HWND hwnd, UINT msg, LONG position, LONG_PTR client) {
  Write(hwnd, ClientKey(hwnd, msg, position), client,
        L"Changed message class for " + Hex(hwnd) + L" Message " + WDec(static_cast<LONG>(msg)) +
            L" Index " + WDec(position) + L" to " + Hex(static_cast<ULONG_PTR>(client)));
}

bool LastWriteSucceeded() noexcept { return t_lastWrite; }

}  // namespace sd::store
