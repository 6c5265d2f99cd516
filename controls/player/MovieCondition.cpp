#include "controls/player/MovieCondition.h"

namespace mf::movie {

namespace {

constexpr int kMaxDepth = 32;  // deeper nesting is refused, not recursed into
constexpr size_t kMaxNodes = 256;

bool IsNameStart(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
}
bool IsNameChar(wchar_t c) { return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'.'; }
bool IsWordChar(wchar_t c) { return IsNameChar(c) || c == L'-'; }

}  // namespace

bool IsVariableName(std::wstring_view name) {
  if (name.empty() || name.size() > 128 || !IsNameStart(name[0])) return false;
  for (wchar_t c : name)
    if (!IsNameChar(c)) return false;
  return true;
}

bool IsTrue(std::wstring_view value) { return !value.empty() && value != L"0"; }

class Condition::Parser {
 public:
  Parser(std::wstring_view text, std::vector<Node>& nodes) : s_(text), nodes_(nodes) {}

  bool Run(std::wstring& error) {
    int root = Or(0);
    Skip();
    if (root >= 0 && pos_ != s_.size()) Fail(L"unexpected text");
    if (root < 0 || !error_.empty()) {
      error = L"condition \"" + std::wstring(s_) + L"\": " + error_;
      return false;
    }
    return true;
  }

 private:
  void Skip() {
    while (pos_ < s_.size() && (s_[pos_] == L' ' || s_[pos_] == L'\t')) ++pos_;
  }
  bool Eat(wchar_t c) {
    Skip();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  int Fail(const wchar_t* why) {
    if (error_.empty()) error_ = why;
    return -1;
  }
  int Add(Node n) {
    if (nodes_.size() >= kMaxNodes) return Fail(L"too long");
    nodes_.push_back(std::move(n));
    return static_cast<int>(nodes_.size()) - 1;
  }
  int Binary(Op op, int depth, int (Parser::*next)(int), wchar_t sign) {
    int left = (this->*next)(depth);
    while (left >= 0 && Eat(sign)) {
      int right = (this->*next)(depth);
      if (right < 0) return -1;
      left = Add({.op = op, .left = left, .right = right});
    }
    return left;
  }
  int Or(int depth) { return Binary(Op::Or, depth, &Parser::And, L'|'); }
  int And(int depth) { return Binary(Op::And, depth, &Parser::Not, L'&'); }

  int Not(int depth) {
    if (depth > kMaxDepth) return Fail(L"nested too deeply");
    if (Eat(L'!')) {
      int inner = Not(depth + 1);
      return inner < 0 ? -1 : Add({.op = Op::Not, .left = inner});
    }
    if (Eat(L'(')) {
      int inner = Or(depth + 1);
      if (inner < 0) return -1;
      return Eat(L')') ? inner : Fail(L"missing ')'");
    }
    Skip();
    size_t start = pos_;
    while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
    std::wstring name(s_.substr(start, pos_ - start));
    if (name == L"true" || name == L"false")
      return Add({.op = Op::Const, .constant = name == L"true"});
    if (!IsVariableName(name)) return Fail(L"a variable name was expected");
    Op op = Op::Truthy;
    if (Eat(L'=')) {
      op = Op::Equal;
    } else if (pos_ + 1 < s_.size() && s_[pos_] == L'!' && s_[pos_ + 1] == L'=') {
      pos_ += 2;
      op = Op::NotEqual;
    }
    if (op == Op::Truthy) return Add({.op = op, .name = std::move(name)});
    std::wstring value;
    if (!Value(value)) return -1;
    return Add({.op = op, .name = std::move(name), .value = std::move(value)});
  }

  bool Value(std::wstring& out) {
    Skip();
    if (pos_ < s_.size() && s_[pos_] == L'\'') {
      size_t end = s_.find(L'\'', pos_ + 1);
      if (end == std::wstring_view::npos) return Fail(L"unterminated quote") >= 0;
      out = s_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end + 1;
      return true;
    }
    size_t start = pos_;
    while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
    if (pos_ == start) return Fail(L"a value was expected") >= 0;
    out = s_.substr(start, pos_ - start);
    return true;
  }

  std::wstring_view s_;
  size_t pos_ = 0;
  std::vector<Node>& nodes_;
  std::wstring error_;
};

bool Condition::Parse(std::wstring_view text, Condition& out, std::wstring& error) {
  Condition c;
  Parser p(text, c.nodes_);
  if (!p.Run(error)) return false;
  // "true" is the same as no condition at all.
  if (c.nodes_.size() == 1 && c.nodes_[0].op == Op::Const && c.nodes_[0].constant) c.nodes_.clear();
  out = std::move(c);
  return true;
}

bool Condition::Evaluate(const Lookup& lookup) const {
  return nodes_.empty() || Eval(static_cast<int>(nodes_.size()) - 1, lookup);
}

bool Condition::Eval(int index, const Lookup& lookup) const {
  const Node& n = nodes_[static_cast<size_t>(index)];
  switch (n.op) {
    case Op::Const:
      return n.constant;
    case Op::Truthy:
      return IsTrue(lookup(n.name));
    case Op::Equal:
      return lookup(n.name) == n.value;
    case Op::NotEqual:
      return lookup(n.name) != n.value;
    case Op::Not:
      return !Eval(n.left, lookup);
    case Op::And:
      return Eval(n.left, lookup) && Eval(n.right, lookup);
    case Op::Or:
      return Eval(n.left, lookup) || Eval(n.right, lookup);
  }
  return false;
}

std::wstring Condition::Text() const {
  return nodes_.empty() ? L"true" : Print(static_cast<int>(nodes_.size()) - 1, 0);
}

std::wstring Condition::Print(int index, int parentPrecedence) const {
  const Node& n = nodes_[static_cast<size_t>(index)];
  auto quoted = [](const std::wstring& v) {
    bool word = !v.empty();
    for (wchar_t c : v) word = word && IsWordChar(c);
    return word ? v : L"'" + v + L"'";
  };
  switch (n.op) {
    case Op::Const:
      return n.constant ? L"true" : L"false";
    case Op::Truthy:
      return n.name;
    case Op::Equal:
      return n.name + L"=" + quoted(n.value);
    case Op::NotEqual:
      return n.name + L"!=" + quoted(n.value);
    case Op::Not:
      return L"!" + Print(n.left, 3);
    case Op::And:
    case Op::Or: {
      int prec = n.op == Op::And ? 2 : 1;
      std::wstring s =
          Print(n.left, prec) + (n.op == Op::And ? L" & " : L" | ") + Print(n.right, prec + 1);
      return prec < parentPrecedence ? L"(" + s + L")" : s;
    }
  }
  return L"false";
}

void Condition::CollectVariables(std::vector<std::wstring>& out) const {
  for (const Node& n : nodes_)
    if (!n.name.empty()) out.push_back(n.name);
}

std::wstring Interpolate(std::wstring_view text, const Lookup& lookup) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find(L'{', i);
    if (open == std::wstring_view::npos) break;
    size_t close = text.find(L'}', open + 1);
    if (close == std::wstring_view::npos) break;
    std::wstring_view name = text.substr(open + 1, close - open - 1);
    out.append(text.substr(i, open - i));
    if (IsVariableName(name)) {
      out += lookup(std::wstring(name));
      i = close + 1;
    } else {
      out += L'{';
      i = open + 1;
    }
  }
  out.append(text.substr(i));
  return out;
}

void CollectPlaceholders(std::wstring_view text, std::vector<std::wstring>& out) {
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find(L'{', i);
    if (open == std::wstring_view::npos) return;
    size_t close = text.find(L'}', open + 1);
    if (close == std::wstring_view::npos) return;
    std::wstring_view name = text.substr(open + 1, close - open - 1);
    if (IsVariableName(name)) {
      out.emplace_back(name);
      i = close + 1;
    } else {
      i = open + 1;
    }
  }
}

}  // namespace mf::movie
