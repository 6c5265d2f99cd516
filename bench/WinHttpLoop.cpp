#include <vector>

#include "bench/BareLoops.h"
#include "common/Text.h"
#include "common/Uri.h"
#include "bench/WinHttpHandle.h"

bool WinHttpLoop(const char* agentName, const std::wstring& url, DWORD block, HANDLE out,
                 uint64_t& bytes) {
  std::vector<char> buffer(block);
  const std::optional<mf::WebAddress> address = mf::SplitWebAddress(url);
  if (!address) return false;
  const std::wstring agent = mf::FromAnsi(agentName);
  mf::UniqueWinHttp session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY,
                                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  mf::UniqueWinHttp connection(
      WinHttpConnect(session.get(), address->host.c_str(), address->port, 0));
  mf::UniqueWinHttp request(WinHttpOpenRequest(
      connection.get(), L"GET", address->target.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, address->secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request ||
      !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                          0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr))
    return false;
  for (;;) {
    DWORD read = 0, written = 0;
    if (!WinHttpReadData(request.get(), buffer.data(), block, &read)) return false;
    if (read == 0) return true;
    if (!WriteFile(out, buffer.data(), read, &written, nullptr)) return false;
    bytes += read;
  }
}
