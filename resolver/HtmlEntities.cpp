#include "resolver/HtmlEntities.h"

namespace mf {
namespace {

struct NamedReference {
  std::wstring_view name;
  wchar_t character;
  bool legacy;  // may stand without ";"
};

// clang-format off
constexpr NamedReference kNamed[] = {
    {L"amp", L'&', true}, {L"lt", L'<', true}, {L"gt", L'>', true}, {L"quot", L'"', true},
    {L"apos", L'\'', false}, {L"nbsp", 0x00A0, false}, {L"sol", L'/', false},
    {L"colon", L':', false}, {L"equals", L'=', false}, {L"quest", L'?', false},
    {L"num", L'#', false}, {L"percnt", L'%', false}, {L"period", L'.', false},
    {L"lowbar", L'_', false}, {L"hyphen", L'-', false}, {L"plus", L'+', false},
    {L"copy", 0x00A9, false}, {L"reg", 0x00AE, false}, {L"trade", 0x2122, false},
    {L"hellip", 0x2026, false}, {L"ndash", 0x2013, false}, {L"mdash", 0x2014, false},
    {L"lsquo", 0x2018, false}, {L"rsquo", 0x2019, false}, {L"ldquo", 0x201C, false},
    {L"rdquo", 0x201D, false}, {L"laquo", 0x00AB, false}, {L"raquo", 0x00BB, false},
    {L"euro", 0x20AC, false}, {L"pound", 0x00A3, false}, {L"yen", 0x00A5, false},
    {L"eacute", 0x00E9, false}, {L"egrave", 0x00E8, false}, {L"aacute", 0x00E1, false},
    {L"agrave", 0x00E0, false}, {L"ouml", 0x00F6, false}, {L"uuml", 0x00FC, false},
    {L"auml", 0x00E4, false}, {L"szlig", 0x00DF, false}, {L"ccedil", 0x00E7, false},
    {L"ntilde", 0x00F1, false},
};
// clang-format on

bool IsAlnum(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

void AppendCodePoint(std::wstring& out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x10000) {
    out += static_cast<wchar_t>(cp);
    return;
  }
  cp -= 0x10000;
  out += static_cast<wchar_t>(0xD800 + (cp >> 10));
  out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
}

// "&#...": the length read after "&", 0 when it is no number.
size_t DecodeNumber(std::wstring_view text, size_t at, std::wstring& out) {
  size_t i = at + 2;
  bool hex = i < text.size() && (text[i] == L'x' || text[i] == L'X');
  if (hex) ++i;
  unsigned long value = 0;
  size_t digits = 0;
  for (; i < text.size(); ++i, ++digits) {
    wchar_t c = text[i];
    int d = (c >= L'0' && c <= L'9')          ? c - L'0'
            : hex && (c >= L'a' && c <= L'f') ? c - L'a' + 10
            : hex && (c >= L'A' && c <= L'F') ? c - L'A' + 10
                                              : -1;
    if (d < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
    if (value > 0x10FFFF) value = 0x110000;  // stays out of range, never overflows
  }
  if (digits == 0) return 0;
  if (i < text.size() && text[i] == L';') ++i;
  AppendCodePoint(out, value);
  return i - at;
}

size_t DecodeName(std::wstring_view text, size_t at, std::wstring& out) {
  std::wstring_view rest = text.substr(at + 1);
  for (const NamedReference& ref : kNamed) {
    if (rest.substr(0, ref.name.size()) != ref.name) continue;
    std::wstring_view after = rest.substr(ref.name.size());
    if (!after.empty() && after[0] == L';') {
      out += ref.character;
      return ref.name.size() + 2;
    }
    if (ref.legacy && (after.empty() || (!IsAlnum(after[0]) && after[0] != L'='))) {
      out += ref.character;
      return ref.name.size() + 1;
    }
  }
  return 0;
}

}  // namespace

std::wstring DecodeCharacterReferences(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t amp = text.find(L'&', i);
    if (amp == std::wstring_view::npos) amp = text.size();
    out += text.substr(i, amp - i);
    if (amp == text.size()) break;
    bool number = amp + 1 < text.size() && text[amp + 1] == L'#';
    size_t used = number ? DecodeNumber(text, amp, out) : DecodeName(text, amp, out);
    if (used == 0) {
      out += L'&';
      used = 1;
    }
    i = amp + used;
  }
  return out;
}

}  // namespace mf
