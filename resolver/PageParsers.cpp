#include "resolver/PageParsers.h"

#include <optional>

#include "resolver/AddressText.h"
#include "resolver/PageFile.h"
#include "resolver/UnescapeUrl.h"

namespace mf {
namespace {

constexpr size_t npos = std::string_view::npos;

// The page with a lower-cased copy: markers are searched in the copy and
// values cut from the original. Every marker below is lower case ASCII.
class Page {
 public:
  explicit Page(std::string_view text) : text_(text), lower_(AsciiLower(text)) {}

  size_t Find(std::string_view marker, size_t from = 0) const {
    return from > lower_.size() ? npos : lower_.find(marker, from);
  }
  // Last occurrence that begins at or before `at`.
  size_t FindBackFrom(std::string_view marker, size_t at) const { return lower_.rfind(marker, at); }
  // The text between `begin` and `end` (exclusive); nothing when they do not
  // enclose any character.
  std::optional<std::string_view> Between(size_t begin, size_t end) const {
    if (begin == npos || end == npos || begin >= end || end > text_.size()) return std::nullopt;
    return text_.substr(begin, end - begin);
  }
  // The value after `marker` up to `delimiter`, the delimiter searched from `delimiterFrom`
  // positions after the marker's start.
  std::optional<std::string_view> ValueAfter(std::string_view marker, char delimiter,
                                             size_t markerFrom, size_t delimiterFrom) const {
    size_t m = Find(marker, markerFrom);
    if (m == npos) return std::nullopt;
    return Between(m + marker.size(), Find(std::string_view(&delimiter, 1), m + delimiterFrom));
  }
  size_t Size() const { return text_.size(); }

 private:
  std::string_view text_;
  std::string lower_;
};

// Every "&amp;", in any case, becomes "&".
std::string ReplaceAmpEntities(std::string_view text) {
  std::string lower = AsciiLower(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (lower.compare(i, 5, "&amp;") == 0) {
      out += '&';
      i += 5;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::wstring ParseWith(const std::wstring& pageFile, std::wstring (*cut)(std::string_view)) {
  std::optional<std::string> page = ReadPageFile(pageFile);
  return page ? cut(*page) : std::wstring();
}

}  // namespace

std::wstring CutGoogleVideoAddress(std::string_view text) {
  const Page page(text);
  if (size_t ipod = page.Find("ipoddownloadlink"); ipod != npos) {
    size_t href = page.FindBackFrom("href=", ipod);
    if (href == npos) return {};
    // The address follows href=" and is at least one character long.
    std::optional<std::string_view> address = page.Between(href + 6, page.Find("\"", href + 7));
    if (!address) return {};
    return AddressFromBytes(ReplaceAmpEntities(*address));
  }
  size_t videoUrl = page.Find("videourl");
  if (videoUrl == npos) return {};
  size_t http = page.Find("http", videoUrl);
  if (http == npos) return {};
  std::optional<std::string_view> address = page.Between(http, page.Find("\"", http));
  if (!address) return {};
  std::optional<std::string> decoded = UnescapeUrlBytes(*address);
  return decoded ? AddressFromBytes(*decoded) : std::wstring();
}

std::wstring CutYouTubePlayerAddress(std::string_view text) {
  const Page page(text);
  size_t embed = page.Find("embed src");
  if (embed == npos) return {};
  size_t semicolon = page.Find(";", embed);
  if (semicolon == npos) return {};
  std::optional<std::string_view> fragment =
      page.Between(semicolon + 1, page.Find("&", semicolon + 1));
  return fragment ? AddressFromBytes(*fragment) : std::wstring();
}

std::wstring CutAngryAlienAddress(std::string_view text) {
  const Page page(text);
  constexpr std::string_view kMarker = "<embed src=\"";
  std::optional<std::string_view> address = page.ValueAfter(kMarker, '"', 0, kMarker.size());
  if (!address || AsciiLower(*address).find("http") == npos) return {};
  return AddressFromBytes(*address);
}

std::wstring CutBreakAddress(std::string_view text) {
  const Page page(text);
  constexpr std::string_view kName = "sglobalfilename='";
  constexpr std::string_view kPath = "sglobalcontentfilepath='";
  size_t nameAt = page.Find(kName);
  if (nameAt == npos) return {};
  // The closing quote is searched from the value's second character.
  size_t nameEnd = page.Find("'", nameAt + kName.size() + 1);
  std::optional<std::string_view> name = page.Between(nameAt + kName.size(), nameEnd);
  if (!name) return {};
  std::optional<std::string_view> path = page.ValueAfter(kPath, '\'', nameEnd, kPath.size());
  if (!path) return {};
  return L"http://" + std::wstring(kBreakMediaHost) + L"/dnet/media/" + AddressFromBytes(*path) +
         L"/" + AddressFromBytes(*name) + L".flv";
}

std::wstring CutZippyVideosAddress(std::string_view text) {
  const Page page(text);
  // Each value is searched from the page's start; its delimiter from its marker.
  auto value = [&page](std::string_view marker, char delimiter) {
    return page.ValueAfter(marker, delimiter, 0, 0);
  };
  std::optional<std::string_view> storage = value("storageid=", '&');
  std::optional<std::string_view> user = value("username=", '&');
  std::optional<std::string_view> video = value("videoid=", '&');
  std::optional<std::string_view> server = value("srvurl=", '\'');
  if (!storage || !user || !video || !server) return {};
  return AddressFromBytes(*server) + L"/" + AddressFromBytes(*storage) + L"/" +
         AddressFromBytes(*user) + L"/" + AddressFromBytes(*video);
}

std::wstring ParseGoogleVideoPage(const std::wstring& pageFile) {
  return ParseWith(pageFile, &CutGoogleVideoAddress);
}

std::wstring ParseYouTubePlayer(const std::wstring& pageFile) {
  return ParseWith(pageFile, &CutYouTubePlayerAddress);
}

std::wstring ParseYouTubePage(const std::wstring& pageFile, const YoutubePathResolver& resolve) {
  std::wstring fragment = ParseYouTubePlayer(pageFile);
  if (fragment.empty()) return {};
  return resolve(fragment);
}

std::wstring ParseAngryAlienPage(const std::wstring& pageFile) {
  return ParseWith(pageFile, &CutAngryAlienAddress);
}

std::wstring ParseBreakPage(const std::wstring& pageFile) {
  return ParseWith(pageFile, &CutBreakAddress);
}

std::wstring ParseZippyVideosPage(const std::wstring& pageFile) {
  return ParseWith(pageFile, &CutZippyVideosAddress);
}

}  // namespace mf
