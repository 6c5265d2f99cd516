#pragma once
// How many connections the process may hold open to one server (host and
// port), across all transfers. A server that answers 503 or 429, or refuses
// a connection, has shown it takes fewer: its cap steps down by one (never
// below 1) and stays there until the process ends.
#include <string>

namespace mf {

class ServerSlots {
 public:
  static constexpr int kDefaultCap = 8;
  // Takes a slot when one is free.
  static bool TryOpen(const std::wstring& server);
  // Takes a slot even beyond the cap: a transfer's first connection always goes.
  static void Open(const std::wstring& server);
  static void Close(const std::wstring& server);
  static void StepDown(const std::wstring& server);
  static int Cap(const std::wstring& server);
  // A slot is free; some connection of ours is open.
  static bool HasRoom(const std::wstring& server);
  static bool Busy(const std::wstring& server);
  // "host:port" of an address; empty for none.
  static std::wstring Of(const std::wstring& url);
};

}  // namespace mf
