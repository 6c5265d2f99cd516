#include "media/XmlReader.h"

#include <cstdint>
#include <optional>

#include "common/TextCodec.h"

namespace mf::media {
namespace {

constexpr size_t kMaxDepth = 64;
constexpr size_t kMaxElements = 500000;
constexpr size_t kMaxAttributes = 256;

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool IsNameEnd(wchar_t c) { return IsSpace(c) || c == L'/' || c == L'>' || c == L'='; }

std::wstring WithoutPrefix(std::wstring_view name) {
  size_t colon = name.rfind(L':');
  return std::wstring(colon == std::wstring_view::npos ? name : name.substr(colon + 1));
}

void AppendCodePoint(std::wstring& out, uint32_t code) {
  if (code < 0x10000) {
    out += static_cast<wchar_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (code >> 10));
    out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
  }
}

std::optional<uint32_t> CharacterReference(std::wstring_view digits) {
  unsigned base = 10;
  if (!digits.empty() && digits[0] == L'x') {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  uint32_t code = 0;
  for (wchar_t c : digits) {
    unsigned value = c >= L'0' && c <= L'9'   ? c - L'0'
                     : c >= L'a' && c <= L'f' ? c - L'a' + 10
                     : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                              : 99;
    if (value >= base) return std::nullopt;
    code = code * base + value;
  }
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  return code;
}

// Text with its entities decoded; false at an entity XML does not define.
bool Decode(std::wstring_view text, std::wstring& out) {
  static constexpr std::pair<std::wstring_view, wchar_t> kNamed[] = {
      {L"lt", L'<'}, {L"gt", L'>'}, {L"amp", L'&'}, {L"quot", L'"'}, {L"apos", L'\''}};
  while (!text.empty()) {
    size_t amp = text.find(L'&');
    out.append(text.substr(0, amp));
    if (amp == std::wstring_view::npos) return true;
    size_t semi = text.find(L';', amp);
    if (semi == std::wstring_view::npos) return false;
    std::wstring_view name = text.substr(amp + 1, semi - amp - 1);
    bool known = false;
    for (const auto& [entity, c] : kNamed)
      if (name == entity) {
        out += c;
        known = true;
      }
    if (!known && !name.empty() && name[0] == L'#') {
      auto code = CharacterReference(name.substr(1));
      if (!code) return false;
      AppendCodePoint(out, *code);
      known = true;
    }
    if (!known) return false;
    text.remove_prefix(semi + 1);
  }
  return true;
}

class XmlParser {
 public:
  explicit XmlParser(std::wstring text) : text_(std::move(text)) {}
  ReadResult<XmlElement> Parse();

 private:
  bool Starts(std::wstring_view what) const { return text_.compare(at_, what.size(), what) == 0; }
  // Moves past `end`; false when the text has none.
  bool SkipPast(std::wstring_view end);
  void SkipSpaces();
  bool SkipDoctype();
  bool ReadText();
  bool ReadCdata();
  bool ReadStartTag();
  bool ReadEndTag();
  bool ReadAttribute(XmlElement& element);
  std::wstring_view ReadName();
  // Hands a finished element to its parent, or keeps it as the root.
  void Close();
  bool Fail(const wchar_t* why) {
    error_ = why;
    return false;
  }

  std::wstring text_;
  size_t at_ = 0;
  std::vector<XmlElement> open_;
  std::vector<std::wstring> openNames_;  // with their prefixes, to match end tags
  std::optional<XmlElement> root_;
  size_t elements_ = 0;
  std::wstring error_;
};

bool XmlParser::SkipPast(std::wstring_view end) {
  size_t found = text_.find(end, at_);
  if (found == std::wstring::npos) return false;
  at_ = found + end.size();
  return true;
}

void XmlParser::SkipSpaces() {
  while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
}

// "<!DOCTYPE x [ ... ]>": the internal subset may hold ">" of its own.
bool XmlParser::SkipDoctype() {
  size_t close = text_.find(L'>', at_);
  size_t bracket = text_.find(L'[', at_);
  if (bracket != std::wstring::npos && bracket < close) {
    at_ = bracket;
    return SkipPast(L"]") && SkipPast(L">");
  }
  return SkipPast(L">");
}

std::wstring_view XmlParser::ReadName() {
  size_t start = at_;
  while (at_ < text_.size() && !IsNameEnd(text_[at_])) ++at_;
  return std::wstring_view(text_).substr(start, at_ - start);
}

bool XmlParser::ReadText() {
  size_t end = text_.find(L'<', at_);
  if (end == std::wstring::npos) end = text_.size();
  std::wstring_view raw = std::wstring_view(text_).substr(at_, end - at_);
  at_ = end;
  if (open_.empty()) {
    for (wchar_t c : raw)
      if (!IsSpace(c)) return Fail(L"it has text outside its elements");
    return true;
  }
  if (!Decode(raw, open_.back().text)) return Fail(L"it uses an unknown entity");
  return true;
}

bool XmlParser::ReadCdata() {
  size_t start = at_ + 9;  // "<![CDATA["
  size_t end = text_.find(L"]]>", start);
  if (open_.empty() || end == std::wstring::npos) return Fail(L"a CDATA section is cut");
  open_.back().text.append(text_, start, end - start);
  at_ = end + 3;
  return true;
}

bool XmlParser::ReadAttribute(XmlElement& element) {
  std::wstring_view name = ReadName();
  SkipSpaces();
  if (name.empty() || !Starts(L"=")) return Fail(L"an attribute has no value");
  ++at_;
  SkipSpaces();
  wchar_t quote = at_ < text_.size() ? text_[at_] : 0;
  size_t close = quote == L'"' || quote == L'\'' ? text_.find(quote, at_ + 1) : std::wstring::npos;
  if (close == std::wstring::npos) return Fail(L"an attribute's value is not quoted");
  std::wstring value;
  if (!Decode(std::wstring_view(text_).substr(at_ + 1, close - at_ - 1), value))
    return Fail(L"it uses an unknown entity");
  at_ = close + 1;
  std::wstring key = WithoutPrefix(name);
  if (!element.Attribute(key)) element.attributes.emplace_back(std::move(key), std::move(value));
  return true;
}

bool XmlParser::ReadStartTag() {
  if (root_) return Fail(L"it has more than one root element");
  if (open_.size() >= kMaxDepth || ++elements_ > kMaxElements) return Fail(L"it is too large");
  ++at_;
  XmlElement element;
  std::wstring_view name = ReadName();
  if (name.empty()) return Fail(L"an element has no name");
  element.name = WithoutPrefix(name);
  openNames_.emplace_back(name);
  for (;;) {
    SkipSpaces();
    if (at_ >= text_.size()) return Fail(L"the text ends inside a tag");
    if (Starts(L"/>") || Starts(L">")) break;
    if (element.attributes.size() >= kMaxAttributes) return Fail(L"it is too large");
    if (!ReadAttribute(element)) return false;
  }
  open_.push_back(std::move(element));
  bool empty = Starts(L"/>");
  at_ += empty ? 2 : 1;
  if (empty) Close();
  return true;
}

bool XmlParser::ReadEndTag() {
  at_ += 2;
  std::wstring_view name = ReadName();
  SkipSpaces();
  if (open_.empty() || name != openNames_.back() || !Starts(L">"))
    return Fail(L"its elements do not close in order");
  ++at_;
  Close();
  return true;
}

void XmlParser::Close() {
  XmlElement element = std::move(open_.back());
  open_.pop_back();
  openNames_.pop_back();
  if (open_.empty())
    root_ = std::move(element);
  else
    open_.back().children.push_back(std::move(element));
}

ReadResult<XmlElement> XmlParser::Parse() {
  if (!text_.empty() && text_[0] == 0xFEFF) at_ = 1;
  while (at_ < text_.size()) {
    bool ok = true;
    if (Starts(L"<?"))
      ok = SkipPast(L"?>");
    else if (Starts(L"<!--"))
      ok = SkipPast(L"-->");
    else if (Starts(L"<![CDATA["))
      ok = ReadCdata();
    else if (Starts(L"<!"))
      ok = SkipDoctype();
    else if (Starts(L"</"))
      ok = ReadEndTag();
    else if (Starts(L"<"))
      ok = ReadStartTag();
    else
      ok = ReadText();
    if (!ok) return Unreadable(error_.empty() ? L"the text ends inside markup" : error_);
  }
  if (!open_.empty() || !root_) return Unreadable(L"the text ends inside an element");
  return std::move(*root_);
}

}  // namespace

const std::wstring* XmlElement::Attribute(std::wstring_view attributeName) const {
  for (const auto& [key, value] : attributes)
    if (key == attributeName) return &value;
  return nullptr;
}

const XmlElement* XmlElement::Child(std::wstring_view childName) const {
  for (const XmlElement& child : children)
    if (child.name == childName) return &child;
  return nullptr;
}

std::vector<const XmlElement*> XmlElement::Children(std::wstring_view childName) const {
  std::vector<const XmlElement*> found;
  for (const XmlElement& child : children)
    if (child.name == childName) found.push_back(&child);
  return found;
}

ReadResult<XmlElement> ReadXml(std::string_view bytes) {
  if (bytes.size() > kMaxManifestBytes) return Unreadable(L"it is too large");
  return XmlParser(FromCodePage(kCodePageUtf8, bytes)).Parse();
}

}  // namespace mf::media
