// Every way a parse fails, with the line and column it reports, and that a failure answers the empty
// node. Also the nesting limit.
#include <gtest/gtest.h>

#include <string>

#include "tests/xml/describe.h"
#include "util/xml/xml.h"

namespace vorlo::xml_test {
namespace {

struct ErrorCase {
  const char* what;
  const char16_t* text;
  XmlError error;
  std::uint32_t line;
  std::uint32_t column;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.what; }

class ErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTest, FailsWithCodeAndPosition) {
  const ErrorCase& c = GetParam();
  XmlResult result;
  XmlNode root = XmlNode::parse(c.text, nullptr, &result);
  EXPECT_EQ(result.error, c.error);
  EXPECT_EQ(result.line, c.line);
  EXPECT_EQ(result.column, c.column);
  EXPECT_TRUE(root.empty()) << describeItems(root);
  // A tag changes nothing about a failure.
  EXPECT_TRUE(XmlNode::parse(c.text, u"a").empty());
}

const ErrorCase kErrorCases[] = {
    {"< followed by >", u"<a>\n  <>", XmlError::MissingName, 2, 4},
    {"< at the end of the text", u"<a>x<", XmlError::MissingName, 1, 6},
    {"< followed by a quoted word", u"<a>< \"b\">", XmlError::MissingName, 1, 6},
    {"<? without a name", u"<?>", XmlError::MissingName, 1, 3},

    {"</ followed by >", u"<a>\n</>", XmlError::BadEndTag, 2, 3},
    {"end tag name followed by another word", u"<a></a b>", XmlError::BadEndTag, 1, 8},
    {"end tag name followed by />", u"<a></a/>", XmlError::BadEndTag, 1, 7},
    {"end tag cut off", u"<a></a", XmlError::BadEndTag, 1, 7},

    {"comment without -->", u"<a>\n  <!-- note -- >", XmlError::Unterminated, 2, 3},
    {"CDATA without ]]>", u"<a><![CDATA[x]]</a>", XmlError::Unterminated, 1, 4},
    {"PRE without its end", u"<PRE>x</pre", XmlError::Unterminated, 1, 1},
    {"DOCTYPE subset never closed", u"<!DOCTYPE a [ <!ENTITY x 'y'>", XmlError::Unterminated, 1, 1},
    {"end tag at the root", u"x\r\n </a>", XmlError::Unterminated, 2, 2},
    {"end tag matching no open element", u"<a><b>\n\t</c></b></a>", XmlError::Unterminated, 2, 2},
    {"end tag after its element was closed", u"<a></a></a>", XmlError::Unterminated, 1, 8},

    {"> in content", u"<a>x > y</a>", XmlError::UnexpectedToken, 1, 6},
    {"/> in content", u"<a/>/>", XmlError::UnexpectedToken, 1, 5},
    {"= without an attribute name", u"<a =x>", XmlError::UnexpectedToken, 1, 4},
    {"= followed directly by >", u"<a x=>", XmlError::UnexpectedToken, 1, 6},
    {"= followed by />", u"<a\n x= />", XmlError::UnexpectedToken, 2, 5},
    {"second = after a value", u"<a x=1=2>", XmlError::UnexpectedToken, 1, 7},
    {"quoted word as an attribute name", u"<a \"x\"=1>", XmlError::UnexpectedToken, 1, 4},
    {"tag opener inside a tag", u"<a <b>", XmlError::UnexpectedToken, 1, 4},
    {"text ends inside a tag", u"<a x=\"1\"", XmlError::UnexpectedToken, 1, 9},

    {"unknown entity in text", u"<a>\n  x &nbsp; y</a>", XmlError::BadEntity, 2, 5},
    {"character reference", u"<a>&#65;</a>", XmlError::BadEntity, 1, 4},
    {"entity without ;", u"<a>&amp</a>", XmlError::BadEntity, 1, 4},
    {"bare & in text", u"<a>AT&T</a>", XmlError::BadEntity, 1, 6},
    {"unknown entity in a quoted value", u"<a x=\"1 &foo; 2\"/>", XmlError::BadEntity, 1, 9},
    {"bare & in an unquoted value", u"<a\r\n\tx=a&b/>", XmlError::BadEntity, 2, 5},
    {"bad entity after a good one at the root", u"&lt;&gt&", XmlError::BadEntity, 1, 5},
};
INSTANTIATE_TEST_SUITE_P(Codes, ErrorTest, testing::ValuesIn(kErrorCases));

TEST(ParseErrors, NoTextIsCodeTenAtZero) {
  for (const char16_t* text : {static_cast<const char16_t*>(nullptr), u""}) {
    XmlResult result{XmlError::None, 9, 9};
    EXPECT_TRUE(XmlNode::parse(text, nullptr, &result).empty());
    EXPECT_EQ(result.error, XmlError::NoText);
    EXPECT_EQ(result.line, 0u);
    EXPECT_EQ(result.column, 0u);
  }
}

TEST(ParseErrors, LaterErrorOverridesImplicitClose) {
  XmlResult result;
  EXPECT_TRUE(XmlNode::parse(u"<a><b></a>\n&x;", nullptr, &result).empty());
  EXPECT_EQ(result.error, XmlError::BadEntity);
  EXPECT_EQ(result.line, 2u);
  EXPECT_EQ(result.column, 1u);
}

TEST(ParseErrors, TextBeforeAnEmbeddedNulIsNotTheWholeText) {
  // The pointer form reads up to the NUL; the view form reads everything it is given.
  const char16_t text[] = u"<a/>\0>";
  XmlResult result;
  EXPECT_FALSE(XmlNode::parse(static_cast<const char16_t*>(text), nullptr, &result).empty());
  EXPECT_EQ(result.error, XmlError::None);
  EXPECT_TRUE(XmlNode::parse(std::u16string_view(text, 6), {}, &result).empty());
  EXPECT_EQ(result.error, XmlError::UnexpectedToken);
}

std::u16string repeat(std::u16string_view piece, std::size_t times) {
  std::u16string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(NestingLimit, AcceptsMaxDepthAndRejectsOneMore) {
  const std::size_t limit = XmlNode::kMaxDepth;
  XmlResult result;
  XmlNode root = XmlNode::parse(repeat(u"<a>", limit) + repeat(u"</a>", limit), {}, &result);
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(result.error, XmlError::None);
  std::size_t depth = 0;
  for (XmlNode node = root.child(0); !node.empty(); node = node.child(0)) ++depth;
  EXPECT_EQ(depth, limit);

  // Short-closed or not, an element one level deeper is refused, at its own "<".
  for (std::u16string_view innermost : {u"<a>", u"<a/>"}) {
    std::u16string text = repeat(u"<a>", limit) + std::u16string(innermost);
    EXPECT_TRUE(XmlNode::parse(text, {}, &result).empty());
    EXPECT_EQ(result.error, XmlError::TooDeep);
    EXPECT_EQ(result.line, 1u);
    EXPECT_EQ(result.column, 3 * limit + 1);
  }
}

TEST(NestingLimit, HundredThousandLevelsFailCleanly) {
  const std::size_t levels = 100000;
  struct Shape {
    const char* what;
    std::u16string text;
    XmlError error;
  };
  const Shape shapes[] = {
      {"elements", repeat(u"<a>", levels) + repeat(u"</a>", levels), XmlError::TooDeep},
      {"elements never closed", repeat(u"<a>", levels), XmlError::TooDeep},
      {"declarations", repeat(u"<?a?>", levels), XmlError::TooDeep},
      {"end tags alone", repeat(u"</a>", levels), XmlError::Unterminated},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    XmlResult result;
    EXPECT_TRUE(XmlNode::parse(shape.text, u"a", &result).empty());
    EXPECT_EQ(result.error, shape.error);
  }
}

TEST(NestingLimit, WideDocumentsAreNotLimited) {
  XmlResult result;
  XmlNode root = XmlNode::parse(u"<r>" + repeat(u"<a>x</a>", 100000) + u"</r>", {}, &result);
  EXPECT_EQ(result.error, XmlError::None);
  EXPECT_EQ(root.child(0).childCount(), 100000u);
}

}  // namespace
}  // namespace vorlo::xml_test
