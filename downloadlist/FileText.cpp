#include "downloadlist/FileText.h"

#include <windows.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "common/Text.h"
#include "downloadlist/Vocabulary.h"

namespace mf {
namespace {

std::wstring DecimalSeparator() {
  wchar_t buf[8] = {};
  const int size = static_cast<int>(std::size(buf));
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, size) > 1) return buf;
  return L".";
}

// A number in its shortest form, as a single-precision value prints.
std::wstring NumberText(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    return std::to_wstring(static_cast<long long>(v));
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  std::wstring s = FromAnsi(buf);
  size_t dot = s.find(L'.');
  if (dot != std::wstring::npos) s.replace(dot, 1, DecimalSeparator());
  return s;
}

// The quotient rounded to one decimal place, halves to the even digit.
std::wstring OneDecimal(double quotient) {
  int old = std::fegetround();
  std::fesetround(FE_TONEAREST);
  double tenths = std::nearbyint(quotient * 10.0);
  std::fesetround(old);
  auto t = static_cast<long long>(tenths);
  if (t % 10 == 0) return std::to_wstring(t / 10);
  return std::to_wstring(t / 10) + DecimalSeparator() + std::to_wstring(t % 10);
}

bool Forbidden(wchar_t c) {
  constexpr std::wstring_view kReserved = L"\\/:*?\"<>|&";
  const bool control = c < 0x20 || c == 0x7F;
  const bool bidi =
      c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
  return control || bidi || kReserved.find(c) != std::wstring_view::npos;
}

std::wstring WithoutForbidden(std::wstring name) {
  std::erase_if(name, Forbidden);
  return name;
}

}  // namespace

std::wstring FormatFileSize(float bytes) {
  constexpr double kKB = 1024.0, kMB = 1048576.0, kGB = 1073741824.0, kTB = 1099511627776.0;
  const double b = bytes;
  // NaN fails every comparison below and so keeps the "Bytes" form.
  if (b >= kKB && b < kMB) return OneDecimal(static_cast<float>(bytes / 1024.0f)) + L" KB";
  if (b >= kMB && b < kGB) return OneDecimal(b / kMB) + L" MB";
  if (b >= kGB && b < kTB) return OneDecimal(b / kGB) + L" GB";
  if (b >= kTB) return {};
  return NumberText(b) + L" Bytes";
}

std::wstring SafeFileName(const std::wstring& name) {
  std::wstring base = LowerCase(name.substr(0, name.find(L'.')));
  base.erase(base.find_last_not_of(L' ') + 1);
  // Digits 0 to 9, and the superscript one, two and three the system also takes.
  const auto portDigit = [](wchar_t c) {
    return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
  };
  const bool device = base == L"con" || base == L"prn" || base == L"aux" || base == L"nul" ||
                      base == L"conin$" || base == L"conout$" ||
                      (base.size() == 4 && (base.starts_with(L"com") || base.starts_with(L"lpt")) &&
                       portDigit(base[3]));
  const bool onlyDots = name.find_first_not_of(L". ") == std::wstring::npos;
  return device || onlyDots ? L"_" + name : name;
}

std::wstring FitFileName(const std::wstring& folder, const std::wstring& name, size_t extra) {
  const size_t used = folder.size() + 1 + extra;
  const size_t room = used < kMaxPathLength ? kMaxPathLength - used : 0;
  if (name.size() <= room) return name;
  // Text after the last dot counts as the extension when it is as short as one.
  constexpr size_t kLongestExtension = 10;
  const size_t dot = name.rfind(L'.');
  const bool hasExtension =
      dot != std::wstring::npos && dot > 0 && name.size() - dot <= kLongestExtension;
  const std::wstring extension = hasExtension ? name.substr(dot) : std::wstring();
  size_t keep = room > extension.size() ? room - extension.size() : 0;
  // Never half of a character outside the basic plane.
  if (keep > 0 && IS_HIGH_SURROGATE(name[keep - 1])) --keep;
  std::wstring stem = name.substr(0, keep);
  // The system drops a name's trailing blanks and dots (CreateFile's naming
  // rules): the name must stay the one the item shows.
  stem.erase(stem.find_last_not_of(L". ") + 1);
  return stem.empty() ? std::wstring() : stem + extension;
}

std::wstring CheckFileName(const std::wstring& value) {
  std::wstring name = WithoutForbidden(value);
  if (name.empty()) return vocab::kEnterFileName;
  return name;
}

std::wstring CleanFileName(const std::wstring& value, const std::wstring& fallback) {
  std::wstring name = WithoutForbidden(value);
  name.erase(0, name.find_first_not_of(L' '));
  name.erase(name.find_last_not_of(L". ") + 1);
  const std::wstring base = name.substr(0, name.rfind(L'.'));
  if (base.find_first_not_of(L". ") != std::wstring::npos) return name;
  // Nothing left, or only an extension: the rest comes from the address.
  std::wstring whole = fallback.empty() ? std::wstring(L"video") : CleanFileName(fallback, L"");
  if (name.empty()) return whole;
  return whole.substr(0, whole.rfind(L'.')) + name;
}

}  // namespace mf
