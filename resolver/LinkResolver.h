#pragma once
// From a page address to the address of its video file: fetch the page into
// the page file, then cut the address out with the parser of its site.
#include <string>

#include "resolver/ResolverHost.h"
#include "resolver/YoutubeResolver.h"

namespace mf {

class LinkResolver {
 public:
  explicit LinkResolver(IResolverHost& host) : Youtube(host), host_(host) {}
  LinkResolver(const LinkResolver&) = delete;
  LinkResolver& operator=(const LinkResolver&) = delete;

  // The page address's video file address, or "-1" (site not supported),
  // "-2" (the page, or YouTube's redirection, could not be fetched) or "0"
  // (no video address in the page).
  std::wstring GetDownloadLink(const std::wstring& sLink);

  // Follows YouTube's player addresses.
  YoutubeResolver Youtube;

 private:
  IResolverHost& host_;
};

}  // namespace mf
