#include "resolver/PageCharset.h"

#include <algorithm>

#include "common/TextCodec.h"
#include "resolver/HtmlTags.h"

namespace mf {
namespace {

// A <meta> naming the charset is looked for this far into the page, and
// only before <body>.
constexpr size_t kMetaSearchBytes = 64 * 1024;

struct Label {
  std::wstring_view name;
  unsigned codePage;
};

// clang-format off
constexpr Label kLabels[] = {
    {L"utf-8", kCodePageUtf8}, {L"utf8", kCodePageUtf8}, {L"unicode-1-1-utf-8", kCodePageUtf8},
    {L"iso-8859-1", 1252}, {L"iso8859-1", 1252}, {L"iso_8859-1", 1252}, {L"latin1", 1252},
    {L"l1", 1252}, {L"us-ascii", 1252}, {L"ascii", 1252}, {L"x-cp1252", 1252},
    {L"iso-8859-9", 1254}, {L"latin5", 1254}, {L"iso-8859-11", 874}, {L"tis-620", 874},
    {L"koi8-r", 20866}, {L"koi8-u", 21866}, {L"ibm866", 866},
    {L"shift_jis", 932}, {L"shift-jis", 932}, {L"sjis", 932}, {L"x-sjis", 932},
    {L"ms_kanji", 932}, {L"windows-31j", 932}, {L"euc-jp", 20932}, {L"iso-2022-jp", 50220},
    {L"gb2312", 936}, {L"gbk", 936}, {L"x-gbk", 936}, {L"gb_2312-80", 936}, {L"gb18030", 54936},
    {L"big5", 950}, {L"big5-hkscs", 950}, {L"x-x-big5", 950},
    {L"euc-kr", 949}, {L"ks_c_5601-1987", 949}, {L"macintosh", 10000}, {L"x-mac-roman", 10000},
    {L"utf-16", kCodePageUtf16Le}, {L"utf-16le", kCodePageUtf16Le}, {L"utf-16be", kCodePageUtf16Be},
};
// clang-format on

// "windows-1251", "cp1251", "iso-8859-5": the number in the label.
unsigned NumberedCodePage(std::wstring_view label) {
  constexpr std::pair<std::wstring_view, unsigned> kPrefixes[] = {
      {L"windows-", 0}, {L"cp", 0}, {L"x-cp", 0}, {L"iso-8859-", 28590}};
  for (auto [prefix, base] : kPrefixes) {
    if (label.substr(0, prefix.size()) != prefix) continue;
    std::wstring_view digits = label.substr(prefix.size());
    if (digits.empty() || digits.size() > 5) return 0;
    unsigned n = 0;
    for (wchar_t c : digits) {
      if (c < L'0' || c > L'9') return 0;
      n = n * 10 + static_cast<unsigned>(c - L'0');
    }
    return base + n;
  }
  return 0;
}

std::wstring_view TrimLabel(std::wstring_view text) {
  constexpr std::wstring_view kBlank = L" \t\r\n\f\"'";
  size_t b = text.find_first_not_of(kBlank);
  if (b == std::wstring_view::npos) return {};
  return text.substr(b, text.find_last_not_of(kBlank) - b + 1);
}

// The value after "charset" and "=" in a Content-Type or a meta's content.
std::wstring CharsetAfterName(std::wstring_view text) {
  std::wstring lower = AsciiLowerText(text);
  for (size_t at = lower.find(L"charset"); at != std::wstring::npos;
       at = lower.find(L"charset", at + 1)) {
    size_t i = at + 7;
    while (i < lower.size() && (lower[i] == L' ' || lower[i] == L'\t')) ++i;
    if (i >= lower.size() || lower[i] != L'=') continue;
    std::wstring_view value = std::wstring_view(lower).substr(i + 1);
    value = TrimLabel(value.substr(0, std::min(value.find(L';'), value.size())));
    return std::wstring(value.substr(0, std::min(value.find_first_of(L" \t\"'"), value.size())));
  }
  return {};
}

unsigned ByteOrderMark(std::string_view page) {
  if (page.substr(0, 3) == "\xEF\xBB\xBF") return kCodePageUtf8;
  if (page.substr(0, 2) == "\xFF\xFE") return kCodePageUtf16Le;
  if (page.substr(0, 2) == "\xFE\xFF") return kCodePageUtf16Be;
  return 0;
}

std::wstring MetaCharset(const HtmlTag& tag) {
  if (const std::wstring* charset = tag.Attribute(L"charset")) return *charset;
  const std::wstring* equiv = tag.Attribute(L"http-equiv");
  const std::wstring* content = tag.Attribute(L"content");
  if (equiv && content && AsciiLowerText(TrimLabel(*equiv)) == L"content-type")
    return CharsetAfterName(*content);
  return {};
}

// The start of the page read byte for byte: charset names are ASCII.
unsigned MetaCodePage(std::string_view page) {
  std::string_view start = page.substr(0, kMetaSearchBytes);
  std::wstring text(start.size(), L'\0');
  std::transform(start.begin(), start.end(), text.begin(),
                 [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
  HtmlTagReader reader(text);
  HtmlTag tag;
  while (reader.Next(tag)) {
    if (tag.name == L"body") break;
    if (tag.closing || tag.name != L"meta") continue;
    unsigned codePage = CodePageOfCharset(MetaCharset(tag));
    // A page whose <meta> can be read byte for byte is no UTF-16 page.
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) return kCodePageUtf8;
    if (codePage != 0) return codePage;
  }
  return 0;
}

}  // namespace

unsigned CodePageOfCharset(std::wstring_view label) {
  std::wstring name = AsciiLowerText(TrimLabel(label));
  unsigned codePage = NumberedCodePage(name);
  for (const Label& l : kLabels)
    if (l.name == name) codePage = l.codePage;
  return codePage != 0 && CanDecode(codePage) ? codePage : 0;
}

std::wstring CharsetOfContentType(std::wstring_view contentType) {
  size_t semicolon = contentType.find(L';');
  if (semicolon == std::wstring_view::npos) return {};
  return CharsetAfterName(contentType.substr(semicolon));
}

unsigned PageCodePage(std::string_view page, std::wstring_view contentType) {
  if (unsigned bom = ByteOrderMark(page)) return bom;
  if (unsigned declared = CodePageOfCharset(CharsetOfContentType(contentType))) return declared;
  if (unsigned meta = MetaCodePage(page)) return meta;
  return kCodePageUtf8;
}

std::wstring DecodePage(std::string_view page, std::wstring_view contentType) {
  unsigned codePage = PageCodePage(page, contentType);
  if (unsigned bom = ByteOrderMark(page); bom == codePage)
    page.remove_prefix(bom == kCodePageUtf8 ? 3 : 2);
  return FromCodePage(codePage, page);
}

}  // namespace mf
