#include "media/HlsText.h"

#include "common/TextCodec.h"

namespace mf::media {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

ReadFailure PlaylistUnreadable(std::wstring_view why) {
  return Unreadable(L"The playlist cannot be read: " + std::wstring(why));
}

ReadResult<std::wstring> PlaylistText(std::string_view bytes) {
  if (bytes.size() > kMaxManifestBytes) return PlaylistUnreadable(L"it is too large");
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::wstring text = FromCodePage(kCodePageUtf8, bytes);
  std::vector<std::wstring_view> lines = PlaylistLines(text);
  if (lines.empty() || lines[0] != L"#EXTM3U")
    return PlaylistUnreadable(L"it does not start with #EXTM3U");
  return text;
}

std::vector<std::wstring_view> PlaylistLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  while (!text.empty()) {
    size_t end = text.find(L'\n');
    std::wstring_view line = Trimmed(text.substr(0, end));
    if (!line.empty()) lines.push_back(line);
    text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
  }
  return lines;
}

bool IsTag(std::wstring_view line, std::wstring_view tag, std::wstring_view* value) {
  if (line.size() < tag.size() + 1 || line[0] != L'#' || line.substr(1, tag.size()) != tag)
    return false;
  std::wstring_view rest = line.substr(tag.size() + 1);
  if (!rest.empty() && rest[0] != L':') return false;
  if (value) *value = rest.empty() ? rest : rest.substr(1);
  return true;
}

HlsAttributes ParseAttributes(std::wstring_view text) {
  HlsAttributes attributes;
  while (!text.empty()) {
    size_t equals = text.find(L'=');
    if (equals == std::wstring_view::npos) break;
    std::wstring name(Trimmed(text.substr(0, equals)));
    text.remove_prefix(equals + 1);
    size_t end;
    std::wstring value;
    if (!text.empty() && text[0] == L'"') {
      size_t close = text.find(L'"', 1);
      value = text.substr(1, close == std::wstring_view::npos ? close : close - 1);
      end = close == std::wstring_view::npos ? close : text.find(L',', close);
    } else {
      end = text.find(L',');
      value = Trimmed(text.substr(0, end));
    }
    attributes.emplace_back(std::move(name), std::move(value));
    text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
  }
  return attributes;
}

std::wstring Attribute(const HlsAttributes& attributes, std::wstring_view name) {
  for (const auto& [key, value] : attributes)
    if (key == name) return value;
  return {};
}

bool HasAttribute(const HlsAttributes& attributes, std::wstring_view name) {
  for (const auto& attribute : attributes)
    if (attribute.first == name) return true;
  return false;
}

bool IsProtectedKey(const HlsAttributes& key) {
  std::wstring method = Attribute(key, L"METHOD");
  if (method == L"SAMPLE-AES" || method == L"SAMPLE-AES-CTR") return true;
  return HasAttribute(key, L"KEYFORMAT") && Attribute(key, L"KEYFORMAT") != L"identity";
}

}  // namespace mf::media
