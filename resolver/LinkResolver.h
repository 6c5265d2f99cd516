#pragma once
// From a page address to the address of its video file: fetch the page into
// the page file, then cut the address out with the parser of its site; for
// YouTube, follow the player's redirect. Each step only begins: the result
// comes to the callback of the request, on the window's thread.
#include <functional>
#include <string>

#include "resolver/ResolverHost.h"
#include "resolver/YoutubeResolver.h"

namespace mf {

class LinkResolver {
 public:
  explicit LinkResolver(IResolverHost& host);
  // Resolvers that work at once keep their pages apart (see PageFile).
  void SetPageFileNumber(int number) noexcept { pageFileNumber_ = number; }
  LinkResolver(const LinkResolver&) = delete;
  LinkResolver& operator=(const LinkResolver&) = delete;

  // The video file's address of `sLink`, or "-1" (site not supported), "-2"
  // (the page, or YouTube's redirection, could not be fetched) or "0" (no
  // video address in the page), to `done` once known; at once when nothing
  // needs fetching. One request at a time: a new one replaces the running one.
  using Done = std::function<void(const std::wstring& link)>;
  void GetDownloadLink(const std::wstring& sLink, Done done);
  // The running request ends with no result: its callback is never called.
  void Cancel();
  bool IsBusy() const noexcept { return static_cast<bool>(done_); }

  // Follows YouTube's player addresses.
  YoutubeResolver Youtube;

 private:
  void PageFetched(int16_t siteId, bool ok, const PageAnswer& answer, const std::wstring& address);
  void Finish(const std::wstring& link);

  IResolverHost& host_;
  Done done_;
  int pageFileNumber_ = 0;
  uint32_t request_ = 0;  // the running request's number: late answers of older ones go nowhere
};

}  // namespace mf
