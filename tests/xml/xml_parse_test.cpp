// What trees the reader builds: text runs, attribute forms, entities, clear sections, declarations,
// tolerated end tags and the element selection of parse(text, tag).
#include <gtest/gtest.h>

#include "tests/xml/describe.h"
#include "util/xml/xml.h"

namespace vorlo::xml_test {
namespace {

struct TreeCase {
  const char* what;
  const char16_t* text;
  const char* tree;  // describeItems of the root
  XmlError error = XmlError::None;
};

void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.what; }

class TreeTest : public testing::TestWithParam<TreeCase> {};

TEST_P(TreeTest, BuildsTree) {
  const TreeCase& c = GetParam();
  XmlResult result;
  XmlNode root = XmlNode::parse(c.text, nullptr, &result);
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(result.error, c.error);
  EXPECT_TRUE(root.name().empty());
  EXPECT_EQ(describeItems(root), c.tree);
}

const TreeCase kTextCases[] = {
    {"text run keeps inner and drops outer white space", u"<a> \r\n hello \t  world \n</a>",
     "a(\"hello \\u0009  world\")"},
    {"quoted words, = and > inside quotes are text", u"<a>say \"x > y\" = 'z'</a>",
     "a(\"say \"x > y\" = 'z'\")"},
    {"a quote without its partner is plain text", u"<a>rock 'n roll</a>", "a(\"rock 'n roll\")"},
    {"a quote does not reach past <", u"<a>'x<b/>y'</a>", "a(\"'x\" b() \"y'\")"},
    {"texts around children stay in order", u"<a>one<b/>two<c></c>three</a>",
     "a(\"one\" b() \"two\" c() \"three\")"},
    {"text at the root and after the last element", u"hello <a/> bye", "\"hello\" a() \"bye\""},
    {"five entities in any case", u"<a>&lt;b&GT; &Amp; &apos;&QUOT;</a>", "a(\"<b> & '\"\")"},
    {"decoded once, not twice", u"<a>&amp;lt;</a>", "a(\"&lt;\")"},
    {"non-ASCII text passes through", u"<a>\u00e9\u4e2d\U0001F600</a>", "a(\"\\u00E9\\u4E2D\\uD83D\\uDE00\")"},
};
INSTANTIATE_TEST_SUITE_P(Text, TreeTest, testing::ValuesIn(kTextCases));

const TreeCase kAttributeCases[] = {
    {"quoted, single-quoted, unquoted, bare, spaced =",
     u"<a q=\"v 1\" s='w>' u=plain bare e = \"sp\"/>", "a(@q=v 1 @s=w> @u=plain @bare @e=sp)"},
    {"two bare names in a row", u"<a x y></a>", "a(@x @y)"},
    {"empty quoted value is a value", u"<a x=\"\"/>", "a(@x=)"},
    {"entities decoded in values", u"<a t=\"&lt;&gt;&amp;&apos;&quot;\" u=a&amp;b/>",
     "a(@t=<>&'\" @u=a&b)"},
    {"attributes come before content in order", u"<a x=1>t<b y/></a>", "a(@x=1 \"t\" b(@y))"},
    {"unquoted value stops at />", u"<a x=1/>", "a(@x=1)"},
    {"a slash not before > belongs to the word", u"<a x=a/b/>", "a(@x=a/b)"},
};
INSTANTIATE_TEST_SUITE_P(Attributes, TreeTest, testing::ValuesIn(kAttributeCases));

const TreeCase kClearCases[] = {
    {"CDATA holding a tag is one clear, not an element", u"<a><![CDATA[<b>x &nbsp;</b>]]></a>",
     "a([<![CDATA[|<b>x &nbsp;</b>])"},
    {"comment between texts", u"<a>x<!-- <b> -- -->y</a>", "a(\"x\" [<!--| <b> -- ] \"y\")"},
    {"PRE and Script in any case, table spelling kept", u"<pre> a <b> </Pre><SCRIPT>if (a<b) x();</script>",
     "[<PRE>| a <b> ] [<Script>|if (a<b) x();]"},
    {"PRE with attributes is an ordinary element", u"<pre class=x>t</pre>", "pre(@class=x \"t\")"},
    {"DOCTYPE", u"<!DOCTYPE html><html/>", "[<!DOCTYPE| html] html()"},
    {"DOCTYPE with an internal subset",
     u"<!doctype r [<!ENTITY e \"v\"><!ELEMENT r ANY>]><r/>",
     "[<!DOCTYPE| r [<!ENTITY e \"v\"><!ELEMENT r ANY>]] r()"},
    {"clear at the root before the text run ends", u"a<!--c-->b", "\"a\" [<!--|c] \"b\""},
};
INSTANTIATE_TEST_SUITE_P(ClearSections, TreeTest, testing::ValuesIn(kClearCases));

const TreeCase kDeclarationCases[] = {
    {"XML declaration holds the rest of the document",
     u"<?xml version=\"1.0\" encoding='utf-16'?>\n<r>x</r>", "?xml(@version=1.0 @encoding=utf-16 r(\"x\"))"},
    {"? taken off an unquoted value", u"<?xml version=1.0?>", "?xml(@version=1.0)"},
    {"? taken off a bare name", u"<?pi flag?>", "?pi(@flag)"},
    {"? taken off the element name", u"<?pi?><a/>", "?pi(a())"},
    {"a lone ? is no attribute", u"<?pi a=\"1\" ?>", "?pi(@a=1)"},
    {"a quoted value keeps its ?", u"<?pi a=\"x?\"?>", "?pi(@a=x?)"},
    {"short-closed declaration has no content", u"<?pi x/><a/>", "?pi(@x) a()"},
};
INSTANTIATE_TEST_SUITE_P(Declarations, TreeTest, testing::ValuesIn(kDeclarationCases));

const TreeCase kEndTagCases[] = {
    {"end tag matched ignoring case", u"<Abc><X/></aBC>", "Abc(X())"},
    {"missing inner end tag closed by the outer one", u"<a><b>t</a><c/>", "a(b(\"t\")) c()",
     XmlError::ImplicitClose},
    {"closing two levels at once", u"<a><b><c></a>", "a(b(c()))", XmlError::ImplicitClose},
    {"elements left open at the end of the text are accepted", u"<a><b>text", "a(b(\"text\"))"},
    {"end tag name may be followed by white space", u"<a>x</a \n>", "a(\"x\")"},
    {"a declaration is closed implicitly by its parent's end tag", u"<r><?pi?>t</r>",
     "r(?pi(\"t\"))", XmlError::ImplicitClose},
};
INSTANTIATE_TEST_SUITE_P(EndTags, TreeTest, testing::ValuesIn(kEndTagCases));

TEST(ParseResult, ReportsEndOfTextOnSuccess) {
  XmlResult result;
  ASSERT_FALSE(XmlNode::parse(u"<a>\n  <b/>\n</a>", nullptr, &result).empty());
  EXPECT_EQ(result.error, XmlError::None);
  EXPECT_EQ(result.line, 3u);
  EXPECT_EQ(result.column, 5u);
}

TEST(ParseResult, ImplicitCloseReportsFirstMismatchedEndTag) {
  XmlResult result;
  XmlNode root = XmlNode::parse(u"<r>\n<a><b></a>\n  <c><d></c>\n</r>", nullptr, &result);
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(result.error, XmlError::ImplicitClose);
  EXPECT_EQ(result.line, 2u);
  EXPECT_EQ(result.column, 7u);
  EXPECT_EQ(describeItems(root), "r(a(b()) c(d()))");
}

// A realistic external-call request, as the movie sends it.
constexpr char16_t kInvokeRequest[] =
    u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\n"
    u"<invoke name=\"getValue\" returntype=\"xml\"><arguments>"
    u"<string>a &amp; b</string><number>42</number><true/>"
    u"</arguments></invoke>";

TEST(ParseSelection, FindsInvokeInsideTheXmlDeclaration) {
  XmlResult result;
  XmlNode invoke = XmlNode::parse(kInvokeRequest, u"invoke", &result);
  EXPECT_EQ(result.error, XmlError::None);
  ASSERT_EQ(invoke.name(), u"invoke");
  EXPECT_EQ(invoke.attribute(u"name"), u"getValue");
  XmlNode arguments = invoke.child(u"arguments");
  ASSERT_EQ(arguments.childCount(), 3u);
  EXPECT_EQ(arguments.child(0).text(0), u"a & b");
  EXPECT_EQ(arguments.child(1).text(0), u"42");
  EXPECT_EQ(arguments.child(2).name(), u"true");
  // The tree stays alive through the selected node alone.
  EXPECT_TRUE(invoke.parent().empty());
}

struct SelectionCase {
  const char* what;
  const char16_t* text;
  const char16_t* tag;
  const char* selected;  // describeElement of the answer, "" for the empty node
};

void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.what; }

class SelectionTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(SelectionTest, SelectsElement) {
  const SelectionCase& c = GetParam();
  XmlNode node = XmlNode::parse(c.text, c.tag);
  EXPECT_EQ(node.empty() ? "" : describeElement(node), c.selected);
}

const SelectionCase kSelectionCases[] = {
    {"tag compared ignoring case", u"<INVOKE a=1/>", u"invoke", "INVOKE(@a=1)"},
    {"first of several", u"<x/><invoke n=1/><invoke n=2/>", u"invoke", "invoke(@n=1)"},
    {"no match gives the empty node, not some other element", u"<x/><y/>", u"invoke", ""},
    {"ordinary elements are not entered", u"<wrap><invoke/></wrap>", u"invoke", ""},
    {"nested declarations are entered", u"<?xml?><?other x?><invoke/>", u"invoke", "invoke()"},
    {"siblings after a short declaration are searched", u"<?pi x/><invoke/>", u"invoke", "invoke()"},
    {"a declaration can itself be the answer", u"<?invoke?>", u"INVOKE", "?invoke()"},
    {"selection stands under an implicit close", u"<invoke><a></invoke>", u"invoke",
     "invoke(a())"},
    {"no tag answers the root", u"<a/>", nullptr, "(a())"},
};
INSTANTIATE_TEST_SUITE_P(Tags, SelectionTest, testing::ValuesIn(kSelectionCases));

}  // namespace
}  // namespace vorlo::xml_test
