// Reading a movie file into a Movie; every fault refuses the whole file.
#include <windows.h>

#include <algorithm>

#include "controls/player/MovieFormat.h"
#include "controls/player/MovieLine.h"
#include "controls/player/MovieWords.h"

namespace mf::movie {

namespace {

constexpr size_t kMaxElements = 2000;
constexpr size_t kMaxDefinitions = 200;
constexpr size_t kMaxLineLength = 8192;

bool DecodeUtf8(std::string_view bytes, std::wstring& out) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.empty()) return true;
  if (bytes.find('\0') != std::string_view::npos) return false;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                              static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                             static_cast<int>(bytes.size()), out.data(), n) == n;
}

class Reader {
 public:
  explicit Reader(Movie& m) : m_(m) {}

  bool Line(MovieLine& l, std::wstring& error) {
    const std::wstring& kind = l.Kind();
    if (!sawHeader_) {
      if (kind != L"movie") return Fail(error, L"the first line must be \"movie\"");
      sawHeader_ = true;
      return Header(l, error);
    }
    if (kind == L"movie") return Fail(error, L"a second \"movie\" line");
    if (kind == L"font") return Font(l, error);
    if (kind == L"look") return Look(l, error);
    if (kind == L"var") return Var(l, error);
    if (kind == L"page") return Page(l, error);
    if (kind == L"end") {
      if (panel_ < 0) return Fail(error, L"\"end\" without a panel");
      panel_ = -1;
      return l.Name().empty() ? l.CheckAllTaken() || Fail(error, l.Error())
                              : Fail(error, L"text after end");
    }
    for (const auto& [word, k] : kKinds)
      if (kind == word) return Element(k, l, error);
    return Fail(error, L"unknown kind \"" + kind + L"\"");
  }

  bool Finish(std::wstring& error) {
    if (!sawHeader_) return Fail(error, L"no \"movie\" line");
    if (panel_ >= 0) return Fail(error, L"a panel without \"end\"");
    return CheckReferences(error);
  }

 private:
  static bool Fail(std::wstring& error, std::wstring why) {
    error = std::move(why);
    return false;
  }
  static bool Done(MovieLine& l, std::wstring& error) {
    return l.CheckAllTaken() || Fail(error, l.Error());
  }

  bool Header(MovieLine& l, std::wstring& error) {
    int version = 1;
    bool ok = l.TakeInt(L"version", 1, 1, version) && l.TakeInt(L"width", 1, 10000, m_.width) &&
              l.TakeInt(L"height", 1, 10000, m_.height) &&
              l.TakeColor(L"background", m_.background) &&
              l.TakeVariable(L"page-variable", m_.pageVariable) &&
              l.TakeCommand(L"start-command", m_.startCommand);
    if (!ok || !l.Name().empty())
      return Fail(error, ok ? L"the movie line takes no name" : l.Error());
    if (m_.width == 0 || m_.height == 0) return Fail(error, L"the movie needs width= and height=");
    return Done(l, error);
  }

  bool Font(MovieLine& l, std::wstring& error) {
    FontDef f;
    f.name = l.Name();
    if (!IsIdentifier(f.name)) return Fail(error, L"a font needs a name");
    if (m_.FindFont(f.name)) return Fail(error, L"font " + f.name + L" is defined twice");
    bool ok = l.TakeText(L"face", f.face) && l.TakeInt(L"size", 4, 200, f.size) &&
              l.TakeBool(L"bold", f.bold) && l.TakeBool(L"italic", f.italic);
    if (!ok) return Fail(error, l.Error());
    if (f.face.empty() || f.face.size() >= LF_FACESIZE)
      return Fail(error, L"face= must be a font name");
    if (m_.fonts.size() >= kMaxDefinitions) return Fail(error, L"too many fonts");
    m_.fonts.push_back(std::move(f));
    return Done(l, error);
  }

  bool Look(MovieLine& l, std::wstring& error) {
    LookDef k;
    k.name = l.Name();
    if (!IsIdentifier(k.name)) return Fail(error, L"a look needs a name");
    if (m_.FindLook(k.name)) return Fail(error, L"look " + k.name + L" is defined twice");
    bool ok = l.TakeIdentifier(L"font", k.font) && l.TakeInt(L"radius", 0, 100, k.radius) &&
              l.TakeColor(L"mark", k.mark);
    for (int s = 0; ok && s < static_cast<int>(LookState::Count); ++s) {
      std::wstring p = kStatePrefix[s];
      ok = l.TakeColor(p + L"fill", k.states[s].fill) &&
           l.TakeColor(p + L"text", k.states[s].text) &&
           l.TakeColor(p + L"border", k.states[s].border);
    }
    if (!ok) return Fail(error, l.Error());
    if (m_.looks.size() >= kMaxDefinitions) return Fail(error, L"too many looks");
    m_.looks.push_back(std::move(k));
    return Done(l, error);
  }

  bool Var(MovieLine& l, std::wstring& error) {
    Assignment a{l.Name(), {}};
    if (!IsVariableName(a.name)) return Fail(error, L"var needs a variable name");
    if (!l.Has(L"value")) return Fail(error, L"var needs value=");
    if (!l.TakeText(L"value", a.value)) return Fail(error, l.Error());
    for (const Assignment& other : m_.startValues)
      if (other.name == a.name) return Fail(error, L"var " + a.name + L" is given twice");
    if (m_.startValues.size() >= kMaxDefinitions) return Fail(error, L"too many vars");
    m_.startValues.push_back(std::move(a));
    return Done(l, error);
  }

  bool Page(MovieLine& l, std::wstring& error) {
    if (panel_ >= 0) return Fail(error, L"a page inside a panel");
    if (!IsIdentifier(l.Name())) return Fail(error, L"a page needs a name");
    if (std::find(m_.pages.begin(), m_.pages.end(), l.Name()) != m_.pages.end())
      return Fail(error, L"page " + l.Name() + L" is declared twice");
    if (m_.pages.size() >= kMaxDefinitions) return Fail(error, L"too many pages");
    m_.pages.push_back(l.Name());
    page_ = static_cast<int>(m_.pages.size()) - 1;
    return Done(l, error);
  }

  bool Element(ElementKind kind, MovieLine& l, std::wstring& error) {
    if (m_.elements.size() >= kMaxElements) return Fail(error, L"too many elements");
    if (!l.Has(L"at")) return Fail(error, KindName(kind) + L" needs at=");
    ElementDef e;
    e.kind = kind;
    e.name = l.Name();
    e.page = page_;
    e.panel = panel_;
    if (!e.name.empty() && !IsIdentifier(e.name)) return Fail(error, L"a bad element name");
    bool ok = l.TakeRect(L"at", e.at) && l.TakeAnchor(L"anchor", e.anchor) &&
              l.TakeCondition(L"visible", e.visible) && l.TakeCondition(L"enabled", e.enabled) &&
              l.TakeText(L"tip", e.tip) && Attributes(e, l);
    if (!ok) return Fail(error, l.Error());
    if (!Required(e, error)) return false;
    if (kind == ElementKind::Panel) {
      if (panel_ >= 0) return Fail(error, L"a panel inside a panel");
      panel_ = static_cast<int>(m_.elements.size());
    } else if (panel_ >= 0 && kind == ElementKind::Field) {
      return Fail(error, L"a field cannot be on a panel");
    }
    m_.elements.push_back(std::move(e));
    return Done(l, error);
  }

  static bool Attributes(ElementDef& e, MovieLine& l) {
    switch (e.kind) {
      case ElementKind::Box:
        return l.TakeColor(L"fill", e.fill) && l.TakeColor(L"border", e.border) &&
               l.TakeColor(L"color", e.color) && l.TakeInt(L"radius", 0, 100, e.radius) &&
               l.TakeChoice(L"glyph", kGlyphs, e.glyph);
      case ElementKind::Label:
        return l.TakeText(L"text", e.text) && l.TakeIdentifier(L"font", e.font) &&
               l.TakeColor(L"color", e.color) && l.TakeChoice(L"align", kAligns, e.align) &&
               l.TakeChoice(L"valign", kVAligns, e.valign) &&
               l.TakeChoice(L"trim", kTrims, e.trim) && l.TakeBool(L"wrap", e.wrap);
      case ElementKind::Button:
      case ElementKind::Tab:
        return l.TakeText(L"text", e.text) && l.TakeIdentifier(L"look", e.look) &&
               l.TakeChoice(L"glyph", kGlyphs, e.glyph) &&
               l.TakeChoice(L"align", kAligns, e.align) && l.TakeCommand(L"command", e.command) &&
               l.TakeAssignments(L"set", e.sets) && l.TakeVariable(L"toggle", e.toggle) &&
               (e.kind == ElementKind::Button || l.TakeIdentifier(L"page", e.target));
      case ElementKind::Check:
        return l.TakeText(L"text", e.text) && l.TakeIdentifier(L"look", e.look) &&
               l.TakeVariable(L"var", e.var) && l.TakeCommand(L"command", e.command) &&
               l.TakeCommand(L"off-command", e.offCommand);
      case ElementKind::Field:
        return l.TakeIdentifier(L"look", e.look) && l.TakeVariable(L"var", e.var) &&
               l.TakeText(L"cue", e.cue) && l.TakeCommand(L"command", e.command);
      case ElementKind::Drag:
        return l.TakeCommand(L"command", e.command);
      case ElementKind::Panel:
        return l.TakeColor(L"fill", e.fill) && l.TakeColor(L"border", e.border) &&
               l.TakeVariable(L"var", e.var) && l.TakeCommand(L"open-command", e.openCommand) &&
               l.TakeCommand(L"close-command", e.closeCommand) &&
               l.TakeChoice(L"from", kSlides, e.from) &&
               l.TakeInt(L"duration", 0, 5000, e.duration);
    }
    return false;
  }

  bool Required(const ElementDef& e, std::wstring& error) const {
    bool needsVar = e.kind == ElementKind::Check || e.kind == ElementKind::Field ||
                    e.kind == ElementKind::Panel;
    if (needsVar && e.var.empty()) return Fail(error, KindName(e.kind) + L" needs var=");
    if (e.kind == ElementKind::Tab && e.target.empty()) return Fail(error, L"tab needs page=");
    if (e.kind == ElementKind::Drag && e.command.empty())
      return Fail(error, L"drag needs command=");
    return true;
  }

  bool CheckReferences(std::wstring& error) const {
    for (const LookDef& k : m_.looks)
      if (!k.font.empty() && !m_.FindFont(k.font))
        return Fail(error, L"look " + k.name + L" names no font");
    for (const ElementDef& e : m_.elements) {
      if (!e.font.empty() && !m_.FindFont(e.font)) return Fail(error, L"unknown font " + e.font);
      if (!e.look.empty() && !m_.FindLook(e.look)) return Fail(error, L"unknown look " + e.look);
      if (e.kind == ElementKind::Tab) {
        if (m_.pageVariable.empty())
          return Fail(error, L"tabs need page-variable= on the movie line");
        if (std::find(m_.pages.begin(), m_.pages.end(), e.target) == m_.pages.end())
          return Fail(error, L"tab shows an unknown page " + e.target);
      }
    }
    if (!m_.pages.empty() && m_.pageVariable.empty())
      return Fail(error, L"pages need page-variable= on the movie line");
    return true;
  }

  Movie& m_;
  bool sawHeader_ = false;
  int page_ = -1;
  int panel_ = -1;
};

}  // namespace

bool ParseMovie(std::string_view utf8, Movie& out, std::wstring& error) {
  if (utf8.size() > kMaxMovieBytes) {
    error = L"the file is too large";
    return false;
  }
  std::wstring text;
  if (!DecodeUtf8(utf8, text)) {
    error = L"the file is not UTF-8 text";
    return false;
  }
  Movie movie;
  Reader reader(movie);
  size_t pos = 0;
  int number = 0;
  while (pos <= text.size()) {
    size_t end = text.find(L'\n', pos);
    std::wstring_view line = std::wstring_view(text).substr(
        pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
    pos = end == std::wstring::npos ? text.size() + 1 : end + 1;
    ++number;
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    size_t first = line.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos || line[first] == L'#') continue;
    std::wstring why;
    MovieLine l;
    bool ok = line.size() <= kMaxLineLength ? l.Split(line, why) && reader.Line(l, why)
                                            : (why = L"the line is too long", false);
    if (!ok) {
      error = L"line " + std::to_wstring(number) + L": " + why;
      return false;
    }
  }
  std::wstring why;
  if (!reader.Finish(why)) {
    error = why;
    return false;
  }
  out = std::move(movie);
  return true;
}

}  // namespace mf::movie
