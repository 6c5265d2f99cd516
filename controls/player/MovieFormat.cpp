// The movie's own questions (names, commands, variables) and its writer.
#include "controls/player/MovieFormat.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "controls/player/MovieWords.h"

namespace mf::movie {

namespace {

void AddUnique(std::vector<std::wstring>& list, const std::wstring& s) {
  if (!s.empty() && std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
}

std::string Utf8(std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

// A value as the reader wants it: bare when it is one plain word.
std::wstring Quote(const std::wstring& v) {
  bool bare = !v.empty() && v[0] != L'"';
  for (wchar_t c : v) bare = bare && c > L' ' && c != L'\\' && c != L'"';
  if (bare) return v;
  std::wstring out = L"\"";
  for (wchar_t c : v) {
    switch (c) {
      case L'\n':
        out += L"\\n";
        break;
      case L'\r':
        out += L"\\r";
        break;
      case L'\t':
        out += L"\\t";
        break;
      case L'"':
        out += L"\\\"";
        break;
      case L'\\':
        out += L"\\\\";
        break;
      default:
        out += c;
    }
  }
  return out + L"\"";
}

class LineWriter {
 public:
  explicit LineWriter(std::wstring head) : line_(std::move(head)) {}
  void Text(const wchar_t* key, const std::wstring& v) {
    if (!v.empty()) line_ += L" " + std::wstring(key) + L"=" + Quote(v);
  }
  void Int(const wchar_t* key, int v, int omitted) {
    if (v != omitted) line_ += L" " + std::wstring(key) + L"=" + std::to_wstring(v);
  }
  void Colour(const std::wstring& key, const Color& c) {
    if (!c) return;
    wchar_t buf[16];
    swprintf(buf, 16, L"#%06X", static_cast<unsigned>(*c));
    line_ += L" " + key + L"=" + buf;
  }
  void Bool(const wchar_t* key, bool v) {
    if (v) line_ += L" " + std::wstring(key) + L"=yes";
  }
  void Word(const wchar_t* key, const wchar_t* word, bool omit) {
    if (!omit) line_ += L" " + std::wstring(key) + L"=" + word;
  }
  void If(const wchar_t* key, const Condition& c) {
    if (!c.IsAlways()) Text(key, c.Text());
  }
  void Sets(const std::vector<Assignment>& sets) {
    std::wstring s;
    for (const Assignment& a : sets) s += (s.empty() ? L"" : L"; ") + a.name + L"=" + a.value;
    Text(L"set", s);
  }
  std::wstring Done() { return line_ + L"\n"; }

 private:
  std::wstring line_;
};

std::wstring ElementLine(const ElementDef& e) {
  LineWriter w(std::wstring(WordOf(kKinds, e.kind)) + (e.name.empty() ? L"" : L" " + e.name));
  w.Text(L"at", std::to_wstring(e.at.x) + L"," + std::to_wstring(e.at.y) + L"," +
                    std::to_wstring(e.at.w) + L"," + std::to_wstring(e.at.h));
  if (e.anchor != kAnchorDefault) {
    std::wstring words;
    for (const auto& [word, bit] : kAnchors)
      if (e.anchor & bit) words += (words.empty() ? L"" : L",") + std::wstring(word);
    w.Text(L"anchor", words);
  }
  w.Text(L"text", e.text);
  w.Text(L"look", e.look);
  w.Text(L"font", e.font);
  w.Colour(L"fill", e.fill);
  w.Colour(L"border", e.border);
  w.Colour(L"color", e.color);
  w.Int(L"radius", e.radius, 0);
  w.Word(L"glyph", WordOf(kGlyphs, e.glyph), e.glyph == Glyph::None);
  w.Word(L"align", WordOf(kAligns, e.align), e.align == Align::Auto);
  w.Word(L"valign", WordOf(kVAligns, e.valign), e.valign == VAlign::Middle);
  w.Word(L"trim", WordOf(kTrims, e.trim), e.trim == Trim::None);
  w.Bool(L"wrap", e.wrap);
  w.Text(L"var", e.var);
  w.Text(L"page", e.target);
  w.Text(L"command", e.command);
  w.Text(L"off-command", e.offCommand);
  w.Sets(e.sets);
  w.Text(L"toggle", e.toggle);
  w.Text(L"cue", e.cue);
  w.Text(L"tip", e.tip);
  w.If(L"visible", e.visible);
  w.If(L"enabled", e.enabled);
  if (e.kind == ElementKind::Panel) {
    w.Text(L"open-command", e.openCommand);
    w.Text(L"close-command", e.closeCommand);
    w.Word(L"from", WordOf(kSlides, e.from), e.from == Slide::Bottom);
    w.Int(L"duration", e.duration, 200);
  }
  return w.Done();
}

}  // namespace

const FontDef* Movie::FindFont(std::wstring_view name) const {
  for (const FontDef& f : fonts)
    if (f.name == name) return &f;
  return nullptr;
}

const LookDef* Movie::FindLook(std::wstring_view name) const {
  for (const LookDef& k : looks)
    if (k.name == name) return &k;
  return nullptr;
}

std::vector<std::wstring> Movie::Commands() const {
  std::vector<std::wstring> out;
  AddUnique(out, startCommand);
  for (const ElementDef& e : elements)
    for (const std::wstring* c : {&e.command, &e.offCommand, &e.openCommand, &e.closeCommand})
      AddUnique(out, *c);
  return out;
}

std::vector<std::wstring> Movie::VariablesOf(const ElementDef& e) const {
  std::vector<std::wstring> names;
  CollectPlaceholders(e.text, names);
  e.visible.CollectVariables(names);
  e.enabled.CollectVariables(names);
  names.push_back(e.var);
  names.push_back(e.toggle);
  if (e.kind == ElementKind::Tab || e.page >= 0) names.push_back(pageVariable);
  std::vector<std::wstring> out;
  for (const std::wstring& n : names) AddUnique(out, n);
  return out;
}

std::vector<std::wstring> Movie::Variables() const {
  std::vector<std::wstring> out;
  for (const ElementDef& e : elements)
    for (const std::wstring& n : VariablesOf(e)) AddUnique(out, n);
  return out;
}

std::string WriteMovie(const Movie& m) {
  std::wstring out;
  LineWriter head(L"movie");
  head.Int(L"width", m.width, -1);
  head.Int(L"height", m.height, -1);
  head.Colour(L"background", m.background);
  head.Text(L"page-variable", m.pageVariable);
  head.Text(L"start-command", m.startCommand);
  out += head.Done();
  for (const FontDef& f : m.fonts) {
    LineWriter w(L"font " + f.name);
    w.Text(L"face", f.face);
    w.Int(L"size", f.size, -1);
    w.Bool(L"bold", f.bold);
    w.Bool(L"italic", f.italic);
    out += w.Done();
  }
  for (const LookDef& k : m.looks) {
    LineWriter w(L"look " + k.name);
    w.Text(L"font", k.font);
    w.Int(L"radius", k.radius, 0);
    w.Colour(L"mark", k.mark);
    for (int s = 0; s < static_cast<int>(LookState::Count); ++s) {
      std::wstring p = kStatePrefix[s];
      w.Colour(p + L"fill", k.states[s].fill);
      w.Colour(p + L"text", k.states[s].text);
      w.Colour(p + L"border", k.states[s].border);
    }
    out += w.Done();
  }
  for (const Assignment& a : m.startValues)
    out += L"var " + a.name + L" value=" + Quote(a.value) + L"\n";
  int page = -1;
  bool inPanel = false;
  for (const ElementDef& e : m.elements) {
    if (inPanel && e.panel < 0) {
      out += L"end\n";
      inPanel = false;
    }
    while (page < e.page) out += L"page " + m.pages[static_cast<size_t>(++page)] + L"\n";
    out += ElementLine(e);
    inPanel = inPanel || e.kind == ElementKind::Panel;
  }
  if (inPanel) out += L"end\n";
  while (page + 1 < static_cast<int>(m.pages.size()))
    out += L"page " + m.pages[static_cast<size_t>(++page)] + L"\n";
  return Utf8(out);
}

std::wstring GlyphName(Glyph g) { return WordOf(kGlyphs, g); }
std::wstring KindName(ElementKind k) { return WordOf(kKinds, k); }

}  // namespace mf::movie
