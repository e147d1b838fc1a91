// Node handles: shared ownership, queries by index and by name, and the empty node.
#include <gtest/gtest.h>

#include <utility>

#include "tests/xml/describe.h"
#include "util/xml/xml.h"

namespace vorlo::xml_test {
namespace {

TEST(XmlNodeQueries, EmptyNodeAnswersEmpty) {
  XmlNode node;
  EXPECT_TRUE(node.empty());
  EXPECT_FALSE(node);
  EXPECT_TRUE(node.name().empty());
  EXPECT_FALSE(node.isDeclaration());
  EXPECT_TRUE(node.parent().empty());
  EXPECT_EQ(node.childCount(), 0u);
  EXPECT_TRUE(node.child(0).empty());
  std::size_t position = 0;
  EXPECT_TRUE(node.child(u"a", position).empty());
  EXPECT_EQ(node.textCount(), 0u);
  EXPECT_TRUE(node.text(0).empty());
  EXPECT_EQ(node.attributeCount(), 0u);
  EXPECT_EQ(node.attributeAt(0), nullptr);
  EXPECT_FALSE(node.attribute(u"a"));
  EXPECT_EQ(node.clearCount(), 0u);
  EXPECT_EQ(node.clear(0), nullptr);
  EXPECT_EQ(node.itemCount(), 0u);
  EXPECT_FALSE(node.item(0));
}

TEST(XmlNodeQueries, IndexPastTheEndAnswersEmpty) {
  XmlNode a = XmlNode::parse(u"<a x=1>t<!--c--><b/></a>").child(0);
  ASSERT_EQ(describeElement(a), "a(@x=1 \"t\" [<!--|c] b())");
  EXPECT_TRUE(a.child(1).empty());
  EXPECT_TRUE(a.text(1).empty());
  EXPECT_EQ(a.attributeAt(1), nullptr);
  EXPECT_EQ(a.clear(1), nullptr);
  EXPECT_FALSE(a.item(4));
}

TEST(XmlNodeQueries, ChildByNameWalksWithPosition) {
  XmlNode root = XmlNode::parse(u"<r><A n=1/><b/><a n=2/><B/></r>");
  XmlNode r = root.child(u"R");
  ASSERT_FALSE(r.empty());

  std::size_t position = 0;
  EXPECT_EQ(r.child(u"a", position).attribute(u"n"), u"1");
  EXPECT_EQ(position, 1u);
  EXPECT_EQ(r.child(u"a", position).attribute(u"n"), u"2");
  EXPECT_EQ(position, 3u);
  EXPECT_TRUE(r.child(u"a", position).empty());
  EXPECT_EQ(position, 3u);  // left alone when nothing matches
  EXPECT_EQ(r.child(u"B", position).name(), u"B");
  EXPECT_EQ(position, 4u);
  EXPECT_TRUE(r.child(u"ab").empty());  // same letters are not enough, length counts
}

TEST(XmlNodeQueries, AttributeByNameAndPosition) {
  XmlNode a = XmlNode::parse(u"<a X=\"1\" flag x=\"2\" e=\"\"/>").child(0);
  EXPECT_EQ(a.attribute(u"x"), u"1");
  EXPECT_EQ(a.attribute(u"x", 1), u"2");
  EXPECT_FALSE(a.attribute(u"x", 3));
  EXPECT_EQ(a.attribute(u"E"), u"");  // present and empty is not absent

  // A bare name has no value; attributeAt tells it from a missing attribute.
  EXPECT_FALSE(a.attribute(u"FLAG"));
  const XmlAttribute* flag = a.attributeAt(1);
  ASSERT_NE(flag, nullptr);
  EXPECT_EQ(flag->name, u"flag");
  EXPECT_FALSE(flag->value.has_value());
}

TEST(XmlNodeOwnership, ChildOutlivesItsRoot) {
  XmlNode b;
  {
    XmlNode root = XmlNode::parse(u"<a><b>text<c/></b></a>");
    b = root.child(0).child(0);
    EXPECT_EQ(b.parent().parent(), root);
  }
  // The root and a are gone; b and what it holds are intact and b no longer points at a.
  EXPECT_EQ(describeElement(b), "b(\"text\" c())");
  EXPECT_TRUE(b.parent().empty());
  EXPECT_EQ(b.child(0).parent(), b);
}

TEST(XmlNodeOwnership, CopiesAndMovesShareOneRecord) {
  XmlNode root = XmlNode::parse(u"<a/>");
  XmlNode copy = root;
  XmlNode moved = std::move(copy);
  EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from handle is empty
  EXPECT_EQ(moved, root);
  moved = moved;  // self-assignment keeps the reference
  root = XmlNode();
  EXPECT_EQ(moved.child(0).name(), u"a");
  moved = XmlNode::parse(u"<b/>");
  EXPECT_EQ(moved.child(0).name(), u"b");
}

TEST(XmlNodeOwnership, LettingGoOfEitherEndFreesTheTree) {
  // As deep as the parser allows, held only through the innermost node and then through the root:
  // both orders of letting go must free every record (the leak checker of sanitizer builds sees this).
  std::u16string text;
  for (std::size_t i = 0; i < XmlNode::kMaxDepth; ++i) text += u"<a>";
  XmlNode root = XmlNode::parse(text);
  XmlNode innermost = root;
  while (innermost.childCount()) innermost = innermost.child(0);
  EXPECT_EQ(innermost.name(), u"a");
  root = XmlNode();
  EXPECT_TRUE(innermost.parent().empty());
  innermost = XmlNode();

  root = XmlNode::parse(text);
  EXPECT_EQ(root.childCount(), 1u);
}

}  // namespace
}  // namespace vorlo::xml_test
