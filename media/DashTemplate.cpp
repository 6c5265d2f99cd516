#include "media/DashTemplate.h"

#include "media/NumberText.h"

namespace mf::media {
namespace {

// "%0Nd" (or "%d"): the number padded with zeros to N digits.
std::optional<std::wstring> Formatted(int64_t value, std::wstring_view format) {
  std::wstring digits = std::to_wstring(value);
  if (format.empty()) return digits;
  if (format.size() < 2 || format[0] != L'%' || format.back() != L'd') return std::nullopt;
  std::wstring_view width = format.substr(1, format.size() - 2);
  if (width.empty()) return digits;
  auto count = ParseCount(width);
  if (width[0] != L'0' || !count || *count > 32) return std::nullopt;
  if (digits.size() < static_cast<size_t>(*count))
    digits.insert(0, static_cast<size_t>(*count) - digits.size(), L'0');
  return digits;
}

std::optional<std::wstring> Identifier(std::wstring_view name, const TemplateValues& values) {
  size_t percent = name.find(L'%');
  std::wstring_view format = percent == std::wstring_view::npos ? L"" : name.substr(percent);
  name = name.substr(0, percent);
  if (name.empty() && format.empty()) return L"$";
  if (name == L"RepresentationID" && format.empty()) return values.representationId;
  if (name == L"Number") return Formatted(values.number, format);
  if (name == L"Time") return Formatted(values.time, format);
  if (name == L"Bandwidth") return Formatted(values.bandwidth, format);
  return std::nullopt;
}

}  // namespace

std::optional<std::wstring> ExpandTemplate(std::wstring_view pattern,
                                           const TemplateValues& values) {
  std::wstring out;
  while (!pattern.empty()) {
    size_t open = pattern.find(L'$');
    out.append(pattern.substr(0, open));
    if (open == std::wstring_view::npos) break;
    size_t close = pattern.find(L'$', open + 1);
    if (close == std::wstring_view::npos) return std::nullopt;
    auto value = Identifier(pattern.substr(open + 1, close - open - 1), values);
    if (!value) return std::nullopt;
    out += *value;
    pattern.remove_prefix(close + 1);
  }
  return out;
}

}  // namespace mf::media
