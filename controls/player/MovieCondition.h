#pragma once
// Conditions over movie variables ("visible=", "enabled=") and the {name}
// placeholders of element texts.
//
//   condition := or
//   or        := and ('|' and)*
//   and       := not ('&' not)*
//   not       := '!' not | '(' or ')' | 'true' | 'false' | name [('=' | '!=') value]
//   value     := word | 'quoted text' | ''
//
// A bare name holds when its value is neither empty nor "0".
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mf::movie {

// Looks a variable's current value up; unset variables read as empty.
using Lookup = std::function<std::wstring(const std::wstring&)>;

// Names the movie may use for variables: a letter or '_' first, then
// letters, digits, '_' and '.'.
bool IsVariableName(std::wstring_view name);
// A variable value counts as set when it is neither empty nor "0".
bool IsTrue(std::wstring_view value);

class Condition {
 public:
  // Holds always.
  Condition() = default;
  // Parses the text; false with a message for anything malformed.
  static bool Parse(std::wstring_view text, Condition& out, std::wstring& error);

  bool Evaluate(const Lookup& lookup) const;
  bool IsAlways() const noexcept { return nodes_.empty(); }
  // The canonical text, which parses back to an equal condition.
  std::wstring Text() const;
  // Every variable the condition reads.
  void CollectVariables(std::vector<std::wstring>& out) const;

  bool operator==(const Condition& other) const { return Text() == other.Text(); }

 private:
  enum class Op { Const, Truthy, Equal, NotEqual, Not, And, Or };
  struct Node {
    Op op = Op::Const;
    bool constant = true;
    std::wstring name, value;
    int left = -1, right = -1;
  };
  class Parser;
  bool Eval(int node, const Lookup& lookup) const;
  std::wstring Print(int node, int parentPrecedence) const;

  std::vector<Node> nodes_;  // the root is the last node
};

// Replaces each {name} by the variable's value; other braces stay as they are.
std::wstring Interpolate(std::wstring_view text, const Lookup& lookup);
// The names that Interpolate would replace.
void CollectPlaceholders(std::wstring_view text, std::vector<std::wstring>& out);

}  // namespace mf::movie
