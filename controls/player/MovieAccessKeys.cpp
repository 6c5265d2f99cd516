#include "controls/player/MovieAccessKeys.h"

#include <cwctype>
#include <optional>
#include <set>

namespace mf::movie {
namespace {

bool TakesKey(const Movie& movie, size_t index) {
  const ElementDef& e = movie.elements[index];
  if (e.text.empty() || e.text.find(L'{') != std::wstring::npos) return false;
  switch (e.kind) {
    case ElementKind::Button:
    case ElementKind::Tab:
    case ElementKind::Check:
      return true;
    case ElementKind::Label:
      return index + 1 < movie.elements.size() &&
             movie.elements[index + 1].kind == ElementKind::Field;
    default:
      return false;
  }
}

std::optional<size_t> FreeLetter(const std::wstring& text, const std::set<wchar_t>& taken) {
  for (bool wordStartsOnly : {true, false}) {
    for (size_t at = 0; at < text.size(); ++at) {
      if (!std::iswalnum(text[at])) continue;
      if (wordStartsOnly && at > 0 && std::iswalnum(text[at - 1])) continue;
      if (!taken.count(static_cast<wchar_t>(std::towupper(text[at])))) return at;
    }
  }
  return std::nullopt;
}

}  // namespace

std::map<size_t, size_t> AssignAccessKeys(const Movie& movie) {
  std::map<size_t, size_t> keys;
  std::set<wchar_t> everyPage;
  std::map<int, std::set<wchar_t>> byPage;
  // The elements on every page choose first: they show with each page.
  for (bool common : {true, false}) {
    for (size_t i = 0; i < movie.elements.size(); ++i) {
      const ElementDef& e = movie.elements[i];
      if ((e.page < 0) != common || !TakesKey(movie, i)) continue;
      std::set<wchar_t>& own = common ? everyPage : byPage[e.page];
      std::set<wchar_t> taken = own;
      taken.insert(everyPage.begin(), everyPage.end());
      if (std::optional<size_t> at = FreeLetter(e.text, taken)) {
        keys[i] = *at;
        own.insert(static_cast<wchar_t>(std::towupper(e.text[*at])));
      }
    }
  }
  return keys;
}

}  // namespace mf::movie
