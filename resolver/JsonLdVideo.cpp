#include "resolver/JsonLdVideo.h"
#include "resolver/MediaLink.h"

#include <algorithm>
#include <utility>

namespace mf {
namespace {

constexpr int kMaxDepth = 64;

bool IsVideoObjectType(std::wstring_view type) {
  constexpr std::wstring_view kName = L"videoobject";
  if (type.size() < kName.size()) return false;
  std::wstring_view tail = type.substr(type.size() - kName.size());
  for (size_t i = 0; i < kName.size(); ++i) {
    wchar_t c = tail[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kName[i]) return false;
  }
  if (type.size() == kName.size()) return true;
  wchar_t before = type[type.size() - kName.size() - 1];
  return before == L':' || before == L'/';
}

// A recursive descent over the text that keeps no tree: each object reports
// its own contentUrl when it ends.
class Reader {
 public:
  explicit Reader(std::wstring_view text) : text_(text) {}

  std::vector<std::wstring> Run() {
    // Pages sometimes put several values one after another in one script.
    while (SkipSpace(), at_ < text_.size())
      if (!Value(0, nullptr)) break;
    std::stable_sort(found_.begin(), found_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::wstring> addresses;
    for (auto& f : found_) addresses.push_back(std::move(f.second));
    return addresses;
  }

 private:
  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == L' ' || text_[at_] == L'\t' ||
                                  text_[at_] == L'\n' || text_[at_] == L'\r'))
      ++at_;
  }

  bool Peek(wchar_t c) {
    SkipSpace();
    return at_ < text_.size() && text_[at_] == c;
  }

  // After an item of an object or an array: a comma (`more`) or its closing
  // mark is taken; anything else is no JSON.
  bool AfterItem(wchar_t close, bool& more) {
    more = Peek(L',');
    if (!more && !Peek(close)) return false;
    ++at_;
    return true;
  }

  // A value; its strings (a string, or the strings of an array) go to `strings`.
  bool Value(int depth, std::vector<std::wstring>* strings) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case L'{':
        return Object(depth + 1);
      case L'[':
        return Array(depth + 1, strings);
      case L'"': {
        std::wstring s;
        if (!String(s)) return false;
        if (strings) strings->push_back(std::move(s));
        return true;
      }
      default:
        return Literal();
    }
  }

  bool Object(int depth) {
    size_t start = at_++;
    std::vector<std::wstring> types, urls, embeds;
    if (Peek(L'}')) return ++at_, true;
    for (;;) {
      std::wstring key;
      if (!Peek(L'"') || !String(key) || !Peek(L':')) return false;
      ++at_;
      std::vector<std::wstring>* into = key == L"@type"        ? &types
                                        : key == L"contentUrl" ? &urls
                                        : key == L"embedUrl"   ? &embeds
                                                               : nullptr;
      bool more = false;
      if (!Value(depth, into) || !AfterItem(L'}', more)) return false;
      if (!more) break;
    }
    // An embedUrl is mostly a player's page: only a file or a stream of its own counts.
    std::erase_if(embeds,
                  [](const std::wstring& url) { return !IsMediaLink(url) && !IsStreamLink(url); });
    urls.insert(urls.end(), embeds.begin(), embeds.end());
    if (!urls.empty() && std::any_of(types.begin(), types.end(), IsVideoObjectType))
      found_.emplace_back(start, std::move(urls.front()));
    return true;
  }

  bool Array(int depth, std::vector<std::wstring>* strings) {
    ++at_;
    if (Peek(L']')) return ++at_, true;
    for (;;) {
      bool more = false;
      if (!Value(depth, strings) || !AfterItem(L']', more)) return false;
      if (!more) return true;
    }
  }

  // Numbers, true, false, null: their characters are skipped.
  bool Literal() {
    size_t start = at_;
    while (at_ < text_.size() && (std::wstring_view(L"+-.0123456789eEtrufalsn").find(text_[at_]) !=
                                  std::wstring_view::npos))
      ++at_;
    return at_ > start;
  }

  bool String(std::wstring& out) {
    for (++at_; at_ < text_.size(); ++at_) {
      wchar_t c = text_[at_];
      if (c == L'"') return ++at_, true;
      if (c != L'\\') {
        out += c;
        continue;
      }
      if (++at_ >= text_.size()) return false;
      if (!Escape(out)) return false;
    }
    return false;
  }

  bool Escape(std::wstring& out) {
    constexpr std::wstring_view kLetters = L"bfnrt", kMeaning = L"\b\f\n\r\t";
    wchar_t c = text_[at_];
    if (c == L'u') return Unicode(out);
    size_t k = kLetters.find(c);
    out += k == std::wstring_view::npos ? c : kMeaning[k];  // \" \\ \/ and others as themselves
    return true;
  }

  bool Unicode(std::wstring& out) {
    if (at_ + 4 >= text_.size()) return false;
    unsigned value = 0;
    for (size_t i = 1; i <= 4; ++i) {
      wchar_t c = text_[at_ + i];
      int d = (c >= L'0' && c <= L'9')   ? c - L'0'
              : (c >= L'a' && c <= L'f') ? c - L'a' + 10
              : (c >= L'A' && c <= L'F') ? c - L'A' + 10
                                         : -1;
      if (d < 0) return false;
      value = value * 16 + static_cast<unsigned>(d);
    }
    at_ += 4;
    out += static_cast<wchar_t>(value);  // pairs of \u escapes make surrogate pairs
    return true;
  }

  std::wstring_view text_;
  size_t at_ = 0;
  std::vector<std::pair<size_t, std::wstring>> found_;
};

}  // namespace

std::vector<std::wstring> JsonLdVideoAddresses(std::wstring_view json) {
  return Reader(json).Run();
}

}  // namespace mf
