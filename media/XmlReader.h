#pragma once
// A small XML reader for manifests: elements, attributes, character data
// (entities and CDATA decoded), comments and processing instructions passed
// over. Namespace prefixes are dropped from names, which is all a manifest's
// reader needs. Bounded in depth, element count and size; it never recurses.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/ReadResult.h"

namespace mf::media {

struct XmlElement {
  std::wstring name;                                              // without its prefix
  std::vector<std::pair<std::wstring, std::wstring>> attributes;  // names without prefix
  std::vector<XmlElement> children;
  std::wstring text;  // the character data directly inside, joined

  // Null when absent.
  const std::wstring* Attribute(std::wstring_view attributeName) const;
  const XmlElement* Child(std::wstring_view childName) const;
  std::vector<const XmlElement*> Children(std::wstring_view childName) const;
};

// The root element of a UTF-8 document. A failure's message is only the
// reason ("the text ends inside an element"), for the caller to put in its words.
ReadResult<XmlElement> ReadXml(std::string_view bytes);

}  // namespace mf::media
