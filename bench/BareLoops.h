#pragma once
// The yardsticks of the transfer benchmark: one GET read in a bare loop on
// this thread, each block written to `out`, by each of the platform's two
// HTTP clients, as `agent`. True when the whole answer came; `bytes` counts what did.
#include <windows.h>

#include <cstdint>
#include <string>

bool WinHttpLoop(const char* agent, const std::wstring& url, DWORD block, HANDLE out,
                 uint64_t& bytes);
bool WinInetLoop(const char* agent, const std::wstring& url, DWORD block, HANDLE out,
                 uint64_t& bytes);
