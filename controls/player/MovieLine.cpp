#include "controls/player/MovieLine.h"

#include "controls/player/MovieWords.h"

#include <cwctype>

namespace mf::movie {

namespace {

constexpr int kMaxCoordinate = 10000;

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsKeyChar(wchar_t c) { return (c >= L'a' && c <= L'z') || c == L'-'; }

// A decimal integer within [low, high]; no signs other than a leading '-'.
bool ToInt(std::wstring_view s, int low, int high, int& out) {
  bool negative = !s.empty() && s[0] == L'-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 9) return false;
  long long v = 0;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
  }
  if (negative) v = -v;
  if (v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

bool IsCommandName(std::wstring_view name) {
  if (name.empty() || name.size() > 128) return false;
  for (wchar_t c : name) {
    bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
              c == L'_' || c == L'.' || c == L'-';
    if (!ok) return false;
  }
  return true;
}

bool IsIdentifier(std::wstring_view name) {
  std::wstring dotted(name);
  for (wchar_t& c : dotted)
    if (c == L'-') c = L'.';
  return !name.empty() && name[0] != L'-' && IsVariableName(dotted);
}

bool MovieLine::Split(std::wstring_view line, std::wstring& error) {
  size_t i = 0;
  auto skip = [&] {
    while (i < line.size() && IsSpace(line[i])) ++i;
  };
  auto word = [&] {
    size_t start = i;
    while (i < line.size() && !IsSpace(line[i]) && line[i] != L'=') ++i;
    return std::wstring(line.substr(start, i - start));
  };
  skip();
  kind_ = word();
  skip();
  if (i < line.size() && line.find(L'=', i) != i) {
    size_t save = i;
    std::wstring w = word();
    if (i < line.size() && line[i] == L'=') {
      i = save;  // a key, not a name
    } else {
      name_ = std::move(w);
    }
  }
  for (skip(); i < line.size(); skip()) {
    size_t start = i;
    while (i < line.size() && IsKeyChar(line[i])) ++i;
    std::wstring key(line.substr(start, i - start));
    if (key.empty() || i >= line.size() || line[i] != L'=') {
      error = L"expected key=value at \"" + std::wstring(line.substr(start, 20)) + L"\"";
      return false;
    }
    ++i;
    std::wstring value;
    if (i < line.size() && line[i] == L'"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        wchar_t c = line[i++];
        if (c == L'"') {
          closed = true;
          break;
        }
        if (c == L'\\') {
          if (i >= line.size()) break;
          wchar_t e = line[i++];
          switch (e) {
            case L'n':
              value += L'\n';
              break;
            case L'r':
              value += L'\r';
              break;
            case L't':
              value += L'\t';
              break;
            case L'"':
              value += L'"';
              break;
            case L'\\':
              value += L'\\';
              break;
            default:
              error = L"unknown escape \\" + std::wstring(1, e);
              return false;
          }
        } else {
          value += c;
        }
      }
      if (!closed) {
        error = L"unterminated quote after " + key + L"=";
        return false;
      }
      if (i < line.size() && !IsSpace(line[i])) {
        error = L"text runs on after the quote of " + key + L"=";
        return false;
      }
    } else {
      size_t vs = i;
      while (i < line.size() && !IsSpace(line[i])) ++i;
      value = line.substr(vs, i - vs);
    }
    for (const auto& [k, v] : attributes_)
      if (k == key) {
        error = key + L"= is given twice";
        return false;
      }
    attributes_.emplace_back(std::move(key), std::move(value));
  }
  return true;
}

bool MovieLine::Has(std::wstring_view key) const {
  for (const auto& a : attributes_)
    if (a.first == key) return true;
  return false;
}

bool MovieLine::Find(std::wstring_view key, std::wstring& value) {
  for (auto it = attributes_.begin(); it != attributes_.end(); ++it)
    if (it->first == key) {
      value = std::move(it->second);
      attributes_.erase(it);
      return true;
    }
  return false;
}

bool MovieLine::Bad(std::wstring_view key, std::wstring_view why) {
  if (error_.empty()) error_ = std::wstring(key) + L"= " + std::wstring(why);
  return false;
}

bool MovieLine::TakeText(std::wstring_view key, std::wstring& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  if (v.size() > 4096) return Bad(key, L"is too long");
  out = std::move(v);
  return true;
}

bool MovieLine::TakeInt(std::wstring_view key, int low, int high, int& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  return ToInt(v, low, high, out) || Bad(key, L"is not a number in range");
}

bool MovieLine::TakeRect(std::wstring_view key, Rect& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  int n[4];
  size_t start = 0;
  for (int k = 0; k < 4; ++k) {
    size_t comma = v.find(L',', start);
    if ((k < 3) != (comma != std::wstring::npos)) return Bad(key, L"wants x,y,width,height");
    std::wstring_view part = std::wstring_view(v).substr(
        start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    int low = k < 2 ? -kMaxCoordinate : 0;
    if (!ToInt(part, low, kMaxCoordinate, n[k])) return Bad(key, L"has a number out of range");
    start = comma + 1;
  }
  out = {n[0], n[1], n[2], n[3]};
  return true;
}

bool MovieLine::TakeAnchor(std::wstring_view key, unsigned& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  unsigned bits = 0;
  for (size_t start = 0; start <= v.size();) {
    size_t comma = std::min(v.find(L',', start), v.size());
    std::wstring_view word = std::wstring_view(v).substr(start, comma - start);
    unsigned bit = 0;
    for (const auto& [name, value] : kAnchors)
      if (word == name) bit = value;
    if (!bit) return Bad(key, L"wants edges among left, top, right and bottom");
    bits |= bit;
    start = comma + 1;
  }
  out = bits;
  return true;
}

bool MovieLine::TakeColor(std::wstring_view key, Color& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  if (v.size() != 7 || v[0] != L'#') return Bad(key, L"wants #RRGGBB");
  uint32_t rgb = 0;
  for (size_t k = 1; k < 7; ++k) {
    wchar_t c = static_cast<wchar_t>(std::towlower(v[k]));
    int d = (c >= L'0' && c <= L'9') ? c - L'0' : (c >= L'a' && c <= L'f') ? c - L'a' + 10 : -1;
    if (d < 0) return Bad(key, L"wants #RRGGBB");
    rgb = rgb * 16 + static_cast<uint32_t>(d);
  }
  out = rgb;
  return true;
}

bool MovieLine::TakeBool(std::wstring_view key, bool& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  if (v == L"yes")
    out = true;
  else if (v == L"no")
    out = false;
  else
    return Bad(key, L"wants yes or no");
  return true;
}

bool MovieLine::TakeCommand(std::wstring_view key, std::wstring& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  if (!IsCommandName(v)) return Bad(key, L"is not a command name");
  out = std::move(v);
  return true;
}

bool MovieLine::TakeVariable(std::wstring_view key, std::wstring& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  if (!IsVariableName(v)) return Bad(key, L"is not a variable name");
  out = std::move(v);
  return true;
}

bool MovieLine::TakeIdentifier(std::wstring_view key, std::wstring& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  if (!IsIdentifier(v)) return Bad(key, L"is not a name");
  out = std::move(v);
  return true;
}

bool MovieLine::TakeCondition(std::wstring_view key, Condition& out) {
  std::wstring v, why;
  if (!Find(key, v)) return true;
  return Condition::Parse(v, out, why) || Bad(key, why);
}

bool MovieLine::TakeAssignments(std::wstring_view key, std::vector<Assignment>& out) {
  std::wstring v;
  if (!Find(key, v)) return true;
  size_t start = 0;
  while (start <= v.size()) {
    size_t end = v.find(L';', start);
    std::wstring part =
        v.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    size_t eq = part.find(L'=');
    if (eq == std::wstring::npos) return Bad(key, L"wants name=value; name=value");
    auto trim = [](const std::wstring& s) {
      size_t b = s.find_first_not_of(L" \t"), e = s.find_last_not_of(L" \t");
      return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
    };
    Assignment a{trim(part.substr(0, eq)), trim(part.substr(eq + 1))};
    if (!IsVariableName(a.name)) return Bad(key, L"names no variable");
    out.push_back(std::move(a));
    if (out.size() > 16) return Bad(key, L"has too many assignments");
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return true;
}

bool MovieLine::CheckAllTaken() {
  if (!error_.empty()) return false;
  if (attributes_.empty()) return true;
  error_ = L"unknown attribute " + attributes_.front().first + L"= for " + kind_;
  return false;
}

}  // namespace mf::movie
