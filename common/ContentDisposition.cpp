#include "common/ContentDisposition.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/Text.h"
#include "common/TextCodec.h"
#include "common/Uri.h"

namespace mf {
namespace {

struct Parameter {
  std::wstring name;  // lower case
  std::wstring value;
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A quoted string from its opening quote; `i` ends after the closing one.
std::wstring ReadQuoted(std::wstring_view text, size_t& i) {
  std::wstring out;
  for (++i; i < text.size() && text[i] != L'"'; ++i) {
    if (text[i] == L'\\' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  ++i;
  return out;
}

// "type; name=value; name="value"". A value without its type (servers that
// send only "filename=...") is read too.
std::vector<Parameter> ReadParameters(std::wstring_view text) {
  std::vector<Parameter> found;
  size_t i = std::min(text.find(L';'), text.size());
  if (text.substr(0, i).find(L'=') != std::wstring_view::npos) i = 0;
  while (i < text.size()) {
    while (i < text.size() && (IsBlank(text[i]) || text[i] == L';')) ++i;
    size_t end = std::min(text.find_first_of(L"=;", i), text.size());
    Parameter p{AsciiLowerText(Trim(text.substr(i, end - i))), {}};
    i = end;
    if (i < text.size() && text[i] == L'=') {
      ++i;
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i < text.size() && text[i] == L'"') {
        p.value = ReadQuoted(text, i);
      } else {
        end = std::min(text.find(L';', i), text.size());
        p.value = Trim(text.substr(i, end - i));
      }
      i = std::min(text.find(L';', i), text.size());
    }
    if (!p.name.empty()) found.push_back(std::move(p));
  }
  return found;
}

// RFC 5987 ext-value: charset'language'percent-encoded-bytes.
std::optional<std::wstring> DecodeExtValue(std::wstring_view value) {
  size_t first = value.find(L'\'');
  size_t second = first == std::wstring_view::npos ? first : value.find(L'\'', first + 1);
  if (second == std::wstring_view::npos) return std::nullopt;
  std::string bytes;
  for (size_t i = second + 1; i < value.size(); ++i) {
    wchar_t c = value[i];
    if (c == L'%' && i + 2 < value.size() && HexDigitValue(value[i + 1]) >= 0 &&
        HexDigitValue(value[i + 2]) >= 0) {
      bytes += static_cast<char>(HexDigitValue(value[i + 1]) * 16 + HexDigitValue(value[i + 2]));
      i += 2;
    } else if (c > L' ' && c < 0x7F) {
      bytes += static_cast<char>(c);
    } else {
      return std::nullopt;
    }
  }
  std::wstring charset = AsciiLowerText(value.substr(0, first));
  if (charset == L"utf-8") return FromUtf8Strict(bytes);
  if (charset != L"iso-8859-1") return std::nullopt;
  std::wstring latin1;
  for (char b : bytes) latin1 += static_cast<wchar_t>(static_cast<unsigned char>(b));
  return latin1;
}

std::wstring LastPart(std::wstring_view name) {
  size_t slash = name.find_last_of(L"/\\");
  if (slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
  name = Trim(name);
  if (name == L"." || name == L"..") return {};
  return std::wstring(name);
}

}  // namespace

std::wstring FileNameFromContentDisposition(std::wstring_view headerValue) {
  std::optional<std::wstring> plain, extended;
  for (const Parameter& p : ReadParameters(headerValue)) {
    if (p.name == L"filename*" && !extended) {
      extended = DecodeExtValue(p.value);
      if (extended && LastPart(*extended).empty()) extended.reset();
    } else if (p.name == L"filename" && !plain) {
      plain = p.value;
    }
  }
  if (extended) return LastPart(*extended);
  return plain ? LastPart(*plain) : std::wstring();
}

std::wstring FileNameFromAddress(std::wstring_view address) {
  const std::wstring path = ParseUriReference(address).path;
  size_t slash = path.rfind(L'/');
  size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  return LastPart(DecodePathSegment(std::wstring_view(path).substr(start)));
}

}  // namespace mf
