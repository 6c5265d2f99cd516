#pragma once
// What link resolution needs of its owner: the page fetch, which runs through
// the owner's download control.
#include <functional>
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
  // Begins fetching `address` into `file`; `done` is called once it has
  // ended: true when the whole page arrived with a successful answer. Not
  // called when the fetch was cancelled (CancelPageFetch).
  virtual void FetchPage(const std::wstring& address, const std::wstring& file,
                         std::function<void(bool ok, const PageAnswer& answer)> done) = 0;
  virtual void CancelPageFetch() = 0;
  // The YouTube redirect's connection failed: `description` says how.
  virtual void ConnectionError(const std::wstring& description) = 0;
};

}  // namespace mf
