#include "shell/WindowPlacement.h"

#include <algorithm>
#include <string>

#include "shell/CRegister.h"
#include "shell/Settings.h"

namespace mf {
namespace {

constexpr wchar_t kPlacementValue[] = L"Window Placement";  // "left,top,right,bottom,dpi"
constexpr wchar_t kMaximizedValue[] = L"Window Maximized";
constexpr wchar_t kColumnsValue[] = L"Column Widths";  // twips, comma-separated

std::vector<int> Numbers(const std::wstring& text) {
  std::vector<int> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t comma = std::min(text.find(L',', start), text.size());
    try {
      size_t used = 0;
      const std::wstring part = text.substr(start, comma - start);
      out.push_back(std::stoi(part, &used));
      if (used != part.size()) return {};
    } catch (const std::exception&) {
      return {};  // a damaged value is ignored as a whole
    }
    start = comma + 1;
  }
  return out;
}

std::wstring Joined(const std::vector<int>& numbers) {
  std::wstring text;
  for (int n : numbers) text += (text.empty() ? L"" : L",") + std::to_wstring(n);
  return text;
}

// The one span [low, high) of `length` as near as may be to `at` inside [from, to).
LONG Fit(LONG at, LONG length, LONG from, LONG to) {
  return std::max(from, std::min(at, to - length));
}

}  // namespace

RECT BringOntoWorkArea(const RECT& window, const RECT& work, int grip, int title) {
  RECT strip{window.left, window.top, window.right, window.top + title}, seen{};
  IntersectRect(&seen, &strip, &work);
  const bool reachable =
      seen.right - seen.left >= std::min<LONG>(grip, window.right - window.left) &&
      seen.bottom - seen.top >= std::min<LONG>(title, window.bottom - window.top);
  if (reachable) return window;
  const LONG width = std::min(window.right - window.left, work.right - work.left);
  const LONG height = std::min(window.bottom - window.top, work.bottom - work.top);
  const LONG left = Fit(window.left, width, work.left, work.right);
  const LONG top = Fit(window.top, height, work.top, work.bottom);
  return {left, top, left + width, top + height};
}

std::optional<KeptPlacement> LoadPlacement() {
  CRegister reg;
  const std::vector<int> n =
      Numbers(reg.REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kPlacementValue, L""));
  if (n.size() != 5 || n[2] <= n[0] || n[3] <= n[1] || n[4] <= 0) return std::nullopt;
  KeptPlacement kept;
  kept.normal = {n[0], n[1], n[2], n[3]};
  kept.dpi = n[4];
  kept.maximized =
      reg.REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kMaximizedValue, L"False") == L"True";
  return kept;
}

void SavePlacement(const KeptPlacement& p) {
  CRegister reg;
  // Not looked at: a placement that cannot be kept only costs the next start its place.
  reg.REGSaveSetting(
      HKEY_CURRENT_USER, kSettingsKey, kPlacementValue,
      Joined({static_cast<int>(p.normal.left), static_cast<int>(p.normal.top),
              static_cast<int>(p.normal.right), static_cast<int>(p.normal.bottom), p.dpi}));
  reg.REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kMaximizedValue,
                     p.maximized ? L"True" : L"False");
}

std::vector<int> LoadColumnWidths() {
  std::vector<int> twips =
      Numbers(CRegister().REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kColumnsValue, L""));
  const bool sane = std::all_of(twips.begin(), twips.end(), [](int t) { return t >= 0; });
  return sane ? twips : std::vector<int>();
}

void SaveColumnWidths(const std::vector<int>& twips) {
  CRegister().REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kColumnsValue, Joined(twips));
}

}  // namespace mf
