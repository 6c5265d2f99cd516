// The manifest's XML reader: what it decodes and passes over, and the texts it refuses.
#include <gtest/gtest.h>

#include "common/TextCodec.h"
#include "media/XmlReader.h"

namespace mf::media {
namespace {

TEST(XmlReaderTest, DecodesEntitiesCdataAndDropsPrefixes) {
  auto root = ReadXml(
      "\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE x [<!ENTITY e 'v'>]>\n<!-- <a> -->\n"
      "<m:Root xmlns:m='urn:x' m:kind=\"a&lt;b&amp;&#65;&#x42;&#x1F600;\" plain='&quot;&apos;'>"
      "one<!-- two --><Child x = \"1\"/>three<![CDATA[<four>&amp;]]><?pi?><m:Child x='2'></m:Child>"
      "\xC3\xA9</m:Root>\n");
  ASSERT_TRUE(root) << ToUtf8(root.Failure().message);
  EXPECT_EQ(root->name, L"Root");
  EXPECT_EQ(*root->Attribute(L"kind"), L"a<b&AB\U0001F600");
  EXPECT_EQ(*root->Attribute(L"plain"), L"\"'");
  EXPECT_EQ(root->text, L"onethree<four>&amp;\u00E9");
  ASSERT_EQ(root->Children(L"Child").size(), 2u);
  EXPECT_EQ(*root->Children(L"Child")[1]->Attribute(L"x"), L"2");
  EXPECT_EQ(root->Child(L"Missing"), nullptr);
}

TEST(XmlReaderTest, RefusesMalformedAndOversizedTexts) {
  std::string deep, wide = "<a";
  for (int i = 0; i < 65; ++i) deep += "<a>";
  for (int i = 0; i < 300; ++i) wide += " a" + std::to_string(i) + "='1'";
  const std::pair<std::string, const wchar_t*> cases[] = {
      {"<a><b></a></b>", L"its elements do not close in order"},
      {"<a>&nbsp;</a>", L"it uses an unknown entity"},
      {"<a x=1/>", L"an attribute's value is not quoted"},
      {"<a x/>", L"an attribute has no value"},
      {"text<a/>", L"it has text outside its elements"},
      {"<a/><b/>", L"it has more than one root element"},
      {"<a><b>", L"the text ends inside an element"},
      {"<a x='1'", L"the text ends inside a tag"},
      {"", L"the text ends inside an element"},
      {deep, L"it is too large"},
      {wide + "/>", L"it is too large"},
  };
  for (const auto& [text, message] : cases) {
    auto root = ReadXml(text);
    ASSERT_FALSE(root) << text.substr(0, 40);
    EXPECT_EQ(root.Failure().message, message) << text.substr(0, 40);
  }
}

}  // namespace
}  // namespace mf::media
