#include "resolver/HtmlVideoPage.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "common/Uri.h"
#include "media/StreamRecognition.h"
#include "resolver/AddressText.h"
#include "resolver/HtmlTags.h"
#include "resolver/JsonLdVideo.h"
#include "resolver/PageCharset.h"

namespace mf {
namespace {

// The places a video address is taken from, in the order they are tried.
enum Kind {
  kOgSecureUrl,
  kOgUrl,
  kOgVideo,
  kTwitterStream,
  kVideoSrc,
  kSourceOfVideoType,
  kSourceOfStreamType,  // a playlist or manifest: a file of its own goes first
  kOtherSource,
  kJsonLd,
  kKindCount
};

struct MetaKind {
  std::wstring_view property;
  Kind kind;
};
constexpr MetaKind kMetaKinds[] = {{L"og:video:secure_url", kOgSecureUrl},
                                   {L"og:video:url", kOgUrl},
                                   {L"og:video", kOgVideo},
                                   {L"twitter:player:stream", kTwitterStream}};

bool IsUrlSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}

// As browsers read an address in an attribute: blanks around it go, and tabs
// and line breaks inside it too.
std::wstring CleanAddress(std::wstring_view text) {
  while (!text.empty() && IsUrlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsUrlSpace(text.back())) text.remove_suffix(1);
  std::wstring out;
  for (wchar_t c : text)
    if (c != L'\t' && c != L'\n' && c != L'\r') out += c;
  return out;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return AsciiLowerText(text.substr(0, prefix.size())) == prefix;
}

// A video file's type, or a stream's playlist or manifest.
bool IsVideoType(const std::wstring& type) {
  return StartsWithNoCase(type, L"video/") ||
         media::StreamFormatOfContentType(type) != media::StreamFormat::None;
}

class Candidates {
 public:
  void Take(const HtmlTag& tag) {
    if (tag.closing) {
      if (tag.name == L"video") inVideo_ = false;
    } else if (tag.name == L"meta") {
      TakeMeta(tag);
    } else if (tag.name == L"base") {
      if (const std::wstring* href = tag.Attribute(L"href"); href && !base)
        base = CleanAddress(*href);
    } else if (tag.name == L"video") {
      inVideo_ = true;
      Add(kVideoSrc, tag.Attribute(L"src"));
    } else if (tag.name == L"source" && inVideo_) {
      const std::wstring* type = tag.Attribute(L"type");
      const std::wstring clean = type ? CleanAddress(*type) : std::wstring();
      Add(StartsWithNoCase(clean, L"video/") ? kSourceOfVideoType
          : IsVideoType(clean)               ? kSourceOfStreamType
                                             : kOtherSource,
          tag.Attribute(L"src"));
    } else if (tag.name == L"script") {
      TakeScript(tag);
    }
  }

  std::array<std::vector<std::wstring>, kKindCount> lists;
  std::optional<std::wstring> base;

 private:
  void Add(Kind kind, const std::wstring* address) {
    if (!address) return;
    std::wstring clean = CleanAddress(*address);
    // Nothing, or only a fragment: that would be the page itself.
    if (!clean.empty() && clean[0] != L'#') lists[kind].push_back(std::move(clean));
  }

  void TakeMeta(const HtmlTag& tag) {
    const std::wstring* key = tag.Attribute(L"property");
    if (!key) key = tag.Attribute(L"name");
    if (!key) return;
    std::wstring property = AsciiLowerText(CleanAddress(*key));
    if (property == L"og:video:type") return TakeOgType(tag.Attribute(L"content"));
    for (const MetaKind& m : kMetaKinds)
      if (property == m.property) Add(m.kind, tag.Attribute(L"content"));
  }

  // og:video:type describes the og:video addresses given since the last one.
  void TakeOgType(const std::wstring* type) {
    bool video = type && IsVideoType(CleanAddress(*type));
    for (Kind kind : {kOgSecureUrl, kOgUrl, kOgVideo}) {
      if (!video) lists[kind].resize(ogMark_[kind]);
      ogMark_[kind] = lists[kind].size();
    }
  }

  void TakeScript(const HtmlTag& tag) {
    const std::wstring* type = tag.Attribute(L"type");
    if (!type || !StartsWithNoCase(CleanAddress(*type), L"application/ld+json")) return;
    for (const std::wstring& address : JsonLdVideoAddresses(tag.rawText)) Add(kJsonLd, &address);
  }

  bool inVideo_ = false;
  std::array<size_t, kKindCount> ogMark_{};
};

bool IsAscii(std::wstring_view text) {
  for (wchar_t c : text)
    if (c >= 0x80) return false;
  return true;
}

// A host name in the form DNS knows (IdnToAscii); left as it is when the
// system cannot convert it.
std::wstring AsciiAuthority(const std::wstring& authority) {
  if (IsAscii(authority)) return authority;
  size_t hostStart = authority.rfind(L'@');
  hostStart = hostStart == std::wstring::npos ? 0 : hostStart + 1;
  size_t hostEnd = std::min(authority.find(L':', hostStart), authority.size());
  std::wstring host = authority.substr(hostStart, hostEnd - hostStart);
  wchar_t ascii[256];
  int n = IdnToAscii(IDN_ALLOW_UNASSIGNED, host.c_str(), static_cast<int>(host.size()), ascii,
                     ARRAYSIZE(ascii));
  if (n <= 0) return authority;
  return authority.substr(0, hostStart) + std::wstring(ascii, static_cast<size_t>(n)) +
         authority.substr(hostEnd);
}

std::wstring ForWire(const std::wstring& address) {
  UriParts parts = ParseUriReference(address);
  if (parts.authority) parts.authority = AsciiAuthority(*parts.authority);
  return AddressForWire(RecomposeUri(parts));
}

std::wstring DocumentBase(std::wstring_view pageAddress, const std::optional<std::wstring>& base) {
  std::wstring page(pageAddress);
  if (page.find(L"://") == std::wstring::npos) page = L"http://" + page;
  if (base) {
    std::wstring resolved = ResolveReference(page, *base);
    if (IsWebAddress(resolved)) return resolved;
  }
  return page;
}

}  // namespace

std::wstring FindPageVideoInText(std::wstring_view text, std::wstring_view pageAddress) {
  Candidates found;
  HtmlTagReader reader(text);
  HtmlTag tag;
  while (reader.Next(tag)) found.Take(tag);
  const std::wstring base = DocumentBase(pageAddress, found.base);
  for (const std::vector<std::wstring>& list : found.lists) {
    for (const std::wstring& candidate : list) {
      std::wstring absolute = ResolveReference(base, candidate);
      if (IsWebAddress(absolute)) return ForWire(absolute);
    }
  }
  return {};
}

std::wstring FindPageVideo(std::string_view page, std::wstring_view pageAddress,
                           std::wstring_view contentType) {
  return FindPageVideoInText(DecodePage(page, contentType), pageAddress);
}

}  // namespace mf
