#pragma once
// One line of a movie file split into its kind, an optional bare name and
// its key=value attributes, and the checks that turn attribute text into values.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/player/MovieFormat.h"

namespace mf::movie {

class MovieLine {
 public:
  // Splits the line; false with a message when quoting or a pair is malformed.
  bool Split(std::wstring_view line, std::wstring& error);

  const std::wstring& Kind() const noexcept { return kind_; }
  const std::wstring& Name() const noexcept { return name_; }

  // Each Take removes the attribute; Leftover names the first one nobody took.
  bool Has(std::wstring_view key) const;
  bool TakeText(std::wstring_view key, std::wstring& out);
  bool TakeInt(std::wstring_view key, int low, int high, int& out);
  bool TakeRect(std::wstring_view key, Rect& out);
  // Comma-separated edge words; at least one.
  bool TakeAnchor(std::wstring_view key, unsigned& out);
  bool TakeColor(std::wstring_view key, Color& out);
  bool TakeBool(std::wstring_view key, bool& out);
  bool TakeCommand(std::wstring_view key, std::wstring& out);
  bool TakeVariable(std::wstring_view key, std::wstring& out);
  bool TakeIdentifier(std::wstring_view key, std::wstring& out);
  bool TakeCondition(std::wstring_view key, Condition& out);
  bool TakeAssignments(std::wstring_view key, std::vector<Assignment>& out);
  template <typename E, size_t N>
  bool TakeChoice(std::wstring_view key, const std::pair<const wchar_t*, E> (&choices)[N], E& out) {
    std::wstring text;
    if (!Find(key, text)) return true;
    for (const auto& [word, value] : choices)
      if (text == word) {
        out = value;
        return true;
      }
    return Bad(key, L"is not one of the known words");
  }

  // False with a message when an attribute was left untaken.
  bool CheckAllTaken();
  const std::wstring& Error() const noexcept { return error_; }
  bool Bad(std::wstring_view key, std::wstring_view why);

 private:
  bool Find(std::wstring_view key, std::wstring& value);

  std::wstring kind_, name_;
  std::vector<std::pair<std::wstring, std::wstring>> attributes_;
  std::wstring error_;
};

// Commands are single words of letters, digits, '_', '.' and '-'.
bool IsCommandName(std::wstring_view name);
// Names of fonts, looks, pages and elements: as variable names, '-' allowed.
bool IsIdentifier(std::wstring_view name);

}  // namespace mf::movie
