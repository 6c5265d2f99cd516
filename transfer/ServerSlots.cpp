#include "transfer/ServerSlots.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>

#include "common/Uri.h"

namespace mf {
namespace {

struct Server {
  int cap = ServerSlots::kDefaultCap;
  int open = 0;
};

struct Table {
  SRWLOCK lock = SRWLOCK_INIT;
  std::map<std::wstring, Server> servers;
};

Table& TheTable() {
  static Table table;
  return table;
}

// Runs `change` on the server's entry under the table's lock.
template <class F>
auto WithServer(const std::wstring& server, F change) {
  Table& t = TheTable();
  AcquireSRWLockExclusive(&t.lock);
  auto result = change(t.servers[server]);
  ReleaseSRWLockExclusive(&t.lock);
  return result;
}

}  // namespace

bool ServerSlots::TryOpen(const std::wstring& server) {
  return WithServer(server, [](Server& s) { return s.open < s.cap ? (++s.open, true) : false; });
}

void ServerSlots::Open(const std::wstring& server) {
  WithServer(server, [](Server& s) { return ++s.open; });
}

void ServerSlots::Close(const std::wstring& server) {
  WithServer(server, [](Server& s) { return s.open = std::max(0, s.open - 1); });
}

void ServerSlots::StepDown(const std::wstring& server) {
  WithServer(server, [](Server& s) { return s.cap = std::max(1, s.cap - 1); });
}

int ServerSlots::Cap(const std::wstring& server) {
  return WithServer(server, [](Server& s) { return s.cap; });
}

bool ServerSlots::HasRoom(const std::wstring& server) {
  return WithServer(server, [](Server& s) { return s.open < s.cap; });
}

bool ServerSlots::Busy(const std::wstring& server) {
  return WithServer(server, [](Server& s) { return s.open > 0; });
}

std::wstring ServerSlots::Of(const std::wstring& url) {
  std::optional<WebAddress> address = SplitWebAddress(url);
  return address ? address->host + L":" + std::to_wstring(address->port) : std::wstring();
}

}  // namespace mf
