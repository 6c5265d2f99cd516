#pragma once
// What link resolution needs of its owner: the page fetch, which runs through
// the owner's download control and its notification handlers, and a window
// to own message boxes.
#include <windows.h>

#include <string>

namespace mf {

// What the answer to a page fetch said of the page.
struct PageAnswer {
  std::wstring address;      // where the page came from, after redirects
  std::wstring contentType;  // its Content-Type, charset included
};

class IResolverHost {
 public:
  virtual ~IResolverHost() = default;
  // Fetches `address` into `file`. True when the whole page arrived with a
  // successful answer.
  virtual bool FetchPage(const std::wstring& address, const std::wstring& file,
                         PageAnswer& answer) = 0;
  virtual HWND OwnerWindow() = 0;
  // The owner no longer wants the result (a stop): waits end at once.
  virtual bool StopRequested() = 0;
};

}  // namespace mf
