#include "resolver/HtmlTags.h"

#include <algorithm>

#include "resolver/HtmlEntities.h"

namespace mf {
namespace {

// A tag keeps this many attributes; more are read past, not kept.
constexpr size_t kMaxAttributes = 256;

// Elements whose text is not markup (the HTML tokenizer's raw text and
// escapable raw text elements, and those read the same way by browsers).
constexpr std::wstring_view kRawTextElements[] = {L"script",  L"style",    L"textarea",
                                                  L"title",   L"xmp",      L"iframe",
                                                  L"noembed", L"noframes", L"plaintext"};

bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}
bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool IsRawTextElement(std::wstring_view name) {
  for (std::wstring_view raw : kRawTextElements)
    if (name == raw) return true;
  return false;
}

}  // namespace

const std::wstring* HtmlTag::Attribute(std::wstring_view name) const {
  for (const HtmlAttribute& a : attributes)
    if (a.name == name) return &a.value;
  return nullptr;
}

HtmlTagReader::HtmlTagReader(std::wstring_view page) : page_(page), lower_(AsciiLowerText(page)) {}

bool HtmlTagReader::Next(HtmlTag& tag) {
  for (;;) {
    at_ = std::min(page_.find(L'<', at_), page_.size());
    if (at_ + 1 >= page_.size()) {
      at_ = page_.size();
      return false;
    }
    wchar_t next = page_[at_ + 1];
    bool closing = next == L'/';
    if (next == L'!' || next == L'?' ||
        (closing && (at_ + 2 >= page_.size() || !IsLetter(page_[at_ + 2])))) {
      SkipMarkupDeclaration();
      continue;
    }
    if (!closing && !IsLetter(next)) {
      ++at_;  // a "<" in text
      continue;
    }
    at_ += closing ? 2 : 1;
    tag = HtmlTag{};
    tag.closing = closing;
    ReadName(tag.name);
    ReadAttributes(tag);
    if (!closing && IsRawTextElement(tag.name)) ReadRawText(tag);
    return true;
  }
}

void HtmlTagReader::SkipMarkupDeclaration() {
  if (page_.substr(at_, 4) == L"<!--") {
    size_t end = page_.find(L"-->", at_ + 4);
    at_ = end == std::wstring_view::npos ? page_.size() : end + 3;
    return;
  }
  size_t end = page_.find(L'>', at_ + 1);
  at_ = end == std::wstring_view::npos ? page_.size() : end + 1;
}

void HtmlTagReader::ReadName(std::wstring& name) {
  size_t start = at_;
  while (at_ < page_.size() && !IsSpace(page_[at_]) && page_[at_] != L'/' && page_[at_] != L'>')
    ++at_;
  name = lower_.substr(start, at_ - start);
}

void HtmlTagReader::ReadAttributes(HtmlTag& tag) {
  while (at_ < page_.size()) {
    wchar_t c = page_[at_];
    if (c == L'>') {
      ++at_;
      return;
    }
    if (IsSpace(c) || c == L'/') {
      ++at_;
      continue;
    }
    size_t start = at_++;  // a first "=" belongs to the name
    while (at_ < page_.size() && !IsSpace(page_[at_]) && page_[at_] != L'/' && page_[at_] != L'>' &&
           page_[at_] != L'=')
      ++at_;
    HtmlAttribute attribute{lower_.substr(start, at_ - start), {}};
    while (at_ < page_.size() && IsSpace(page_[at_])) ++at_;
    if (at_ < page_.size() && page_[at_] == L'=') {
      ++at_;
      attribute.value = ReadValue();
    }
    if (tag.attributes.size() < kMaxAttributes && !tag.Attribute(attribute.name))
      tag.attributes.push_back(std::move(attribute));
  }
}

std::wstring HtmlTagReader::ReadValue() {
  while (at_ < page_.size() && IsSpace(page_[at_])) ++at_;
  if (at_ >= page_.size()) return {};
  wchar_t quote = page_[at_];
  size_t start = at_, end = 0;
  if (quote == L'"' || quote == L'\'') {
    ++start;
    end = std::min(page_.find(quote, start), page_.size());
    at_ = std::min(end + 1, page_.size());
  } else {
    while (at_ < page_.size() && !IsSpace(page_[at_]) && page_[at_] != L'>') ++at_;
    end = at_;
  }
  return DecodeCharacterReferences(page_.substr(start, end - start));
}

void HtmlTagReader::ReadRawText(HtmlTag& tag) {
  size_t end = lower_.find(L"</" + tag.name, at_);
  if (end == std::wstring::npos) end = page_.size();
  tag.rawText = page_.substr(at_, end - at_);
  at_ = end;
}

}  // namespace mf
