#pragma once
// A forgiving reader of the tags of an HTML page, enough to find addresses
// in it: tag and attribute names in lower case, attribute values in any
// quoting (double, single, none) with their character references decoded.
// Comments and declarations are skipped; the text of <script>, <style>,
// <textarea>, <title> and the like is not read as markup but handed over
// with its tag. Every step moves forward, so any input ends.
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"

namespace mf {

struct HtmlAttribute {
  std::wstring name;  // lower case
  std::wstring value;
};

struct HtmlTag {
  std::wstring name;  // lower case
  bool closing = false;
  std::vector<HtmlAttribute> attributes;  // the first of each name, as browsers keep
  std::wstring_view rawText;              // a <script> or <style>: its text up to the end tag

  // The attribute's value; nullptr when the tag has none of that name.
  const std::wstring* Attribute(std::wstring_view name) const;
};

class HtmlTagReader {
 public:
  // The page must outlive the reader and the tags' raw text.
  explicit HtmlTagReader(std::wstring_view page);
  // The next start or end tag; false at the end of the page.
  bool Next(HtmlTag& tag);

 private:
  void SkipMarkupDeclaration();
  void ReadName(std::wstring& name);
  void ReadAttributes(HtmlTag& tag);
  std::wstring ReadValue();
  void ReadRawText(HtmlTag& tag);

  std::wstring_view page_;
  std::wstring lower_;  // the page with ASCII letters in lower case, to find end tags
  size_t at_ = 0;
};

}  // namespace mf
