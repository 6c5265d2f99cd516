#include <windows.h>
#include <wininet.h>

#include <vector>

#include "bench/BareLoops.h"
#include "transfer/InternetHandle.h"

bool WinInetLoop(const char* agent, const std::wstring& url, DWORD block, HANDLE out,
                 uint64_t& bytes) {
  std::vector<char> buffer(block);
  URL_COMPONENTSW parts{sizeof parts};
  wchar_t host[256] = {}, path[2048] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  InternetCrackUrlW(url.c_str(), 0, 0, &parts);
  mf::UniqueInternet session(InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  mf::UniqueInternet connection(InternetConnectW(session.get(), host, parts.nPort, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
  mf::UniqueInternet request(HttpOpenRequestW(connection.get(), L"GET", path, nullptr, nullptr,
                                              nullptr, INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request || !HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return false;
  for (;;) {
    DWORD read = 0, written = 0;
    if (!InternetReadFile(request.get(), buffer.data(), block, &read)) return false;
    if (read == 0) return true;
    if (!WriteFile(out, buffer.data(), read, &written, nullptr)) return false;
    bytes += read;
  }
}
