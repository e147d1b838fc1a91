// The assembler's action records: exact bytes for each operand kind, labels resolved within their
// block, and mistakes reported with their line.
#include "player/swf/tag_codes.h"
#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

// The DoAction body of a movie whose only frame holds `block`.
std::vector<uint8_t> actionBytes(const std::string& block) {
  auto m = readClean("movie version=8\nactions {\n" + block + "\n}\nshow\n");
  if (!m) return {};
  const auto& tags = m->timeline.frames.at(0).tags;
  if (tags.size() != 1) {
    ADD_FAILURE() << "expected one DoAction";
    return {};
  }
  const RawTag& t = std::get<RawTag>(tags[0]);
  EXPECT_EQ(t.code, tag::DoAction);
  return t.body;
}

using Bytes = std::vector<uint8_t>;

TEST(ActionAssembler, RecordsOfEachOperandKind) {
  struct Case {
    const char* name;
    const char* block;
    Bytes bytes;  // without the closing end action
  };
  const Case cases[] = {
      {"no operand", "play ; stop ; add2 ; trace", {0x06, 0x07, 0x47, 0x26}},
      {"code from 0x80 without operand", "call", {0x9E, 0x00, 0x00}},
      {"frame", "gotoFrame 513", {0x81, 0x02, 0x00, 0x01, 0x02}},
      {"url and target", "getURL \"a\" \"_b\"", {0x83, 0x05, 0x00, 'a', 0, '_', 'b', 0}},
      {"getURL2", "getURL2 method=post target variables", {0x9A, 0x01, 0x00, 0xC2}},
      {"gotoFrame2", "gotoFrame2 play bias=3", {0x9F, 0x03, 0x00, 0x03, 0x03, 0x00}},
      {"register", "storeRegister 2", {0x87, 0x01, 0x00, 0x02}},
      {"waitForFrame", "waitForFrame 4 1", {0x8A, 0x03, 0x00, 0x04, 0x00, 0x01}},
      {"constant pool", "constantPool \"x\" \"yz\"", {0x88, 0x07, 0x00, 0x02, 0x00, 'x', 0, 'y', 'z', 0}},
      {"push strings and small values",
       "push \"s\" true false null undefined r:3 c:4 c:300",
       {0x96, 0x10, 0x00, 0, 's', 0, 5, 1, 5, 0, 2, 3, 4, 3, 8, 4, 9, 0x2C, 0x01}},
      {"push numbers", "push 7 -1 float:1.5 2.5",
       {0x96, 0x18, 0x00, 7, 7, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0x00, 0x00, 0xC0, 0x3F,
        6, 0x00, 0x00, 0x04, 0x40, 0x00, 0x00, 0x00, 0x00}},
      {"any record", "action 0x77 0102", {0x77}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "any record") {
      // Below 0x80 a record has no operand: the assembler refuses one.
      std::vector<uint8_t> out;
      std::string error;
      EXPECT_FALSE(swfasm::assembleSwf(std::string("movie\nactions {\n") + c.block + "\n}\n", out, error));
      EXPECT_NE(error.find("line 3"), std::string::npos) << error;
      continue;
    }
    Bytes expected = c.bytes;
    expected.push_back(0);
    EXPECT_EQ(actionBytes(c.block), expected);
  }
}

TEST(ActionAssembler, BranchesReachTheirLabels) {
  // top: push 1 ; if done ; jump top ; done: stop
  Bytes b = actionBytes("top:\npush 1\nif done\njump top\ndone:\nstop");
  Bytes expected = {0x96, 0x05, 0x00, 7, 1, 0, 0, 0,   // 0..7
                    0x9D, 0x02, 0x00, 0x05, 0x00,      // 8..12: to 18 = 13 + 5
                    0x99, 0x02, 0x00, 0xEE, 0xFF,      // 13..17: to 0 = 0 - 18
                    0x07, 0x00};
  EXPECT_EQ(b, expected);
}

TEST(ActionAssembler, FunctionsWithTheirBodies) {
  Bytes b = actionBytes("function \"f\" a b {\n  push r:1\n  return\n}\n"
                        "function2 \"g\" regs=2 flags=preloadThis,preloadGlobal x:1 y {\n  return\n}");
  Bytes expected = {0x9B, 0x0A, 0x00, 'f', 0, 0x02, 0x00, 'a', 0, 'b', 0, 0x06, 0x00,  // DefineFunction
                    0x96, 0x02, 0x00, 4, 1, 0x3E,                                       // its body
                    0x8E, 0x0F, 0x00, 'g', 0, 0x02, 0x00, 0x02, 0x01, 0x01,             // name, 2 params, 2 regs, flags
                    1, 'x', 0, 0, 'y', 0, 0x01, 0x00,                                   // params, body size
                    0x3E, 0x00};
  EXPECT_EQ(b, expected);
}

TEST(ActionAssembler, TryCatchFinallyAndWith) {
  Bytes b = actionBytes("try catch=\"e\" {\n  throw\n}\ncatch {\n  pop\n}\nfinally {\n  stop\n}\nwith {\n  play\n}");
  Bytes expected = {0x8F, 0x09, 0x00, 0x03, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 'e', 0,
                    0x2A, 0x17, 0x07,
                    0x94, 0x02, 0x00, 0x01, 0x00, 0x06, 0x00};
  EXPECT_EQ(b, expected);
}

TEST(ActionAssembler, MistakesNameTheirLine) {
  struct Case {
    const char* block;
    const char* error;
  };
  const Case cases[] = {
      {"frobnicate", "line 3: unknown action 'frobnicate'"},
      {"jump nowhere", "line 3: no label 'nowhere'"},
      {"a:\na:", "line 4: label 'a' is defined twice"},
      {"push 1 bogus", "line 3: 'bogus' is not a whole number"},
      {"gotoFrame 70000", "line 3: '70000' is outside 0..65535"},
      {"stop {\n}", "line 3: 'stop' takes no block"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(swfasm::assembleSwf(std::string("movie\nactions {\n") + c.block + "\n}\n", out, error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

TEST(Assembler, MistakesOutsideActionsNameTheirLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"shape 1", "line 1: the text must start with a 'movie' line"},
      {"movie\nshape 1 {\n", "line 2: the block opened here is not closed"},
      {"movie\n}", "line 2: '}' without a block"},
      {"movie\nshape 1 { ; fill solid #ff00 ; }", "line 2: '#ff00' is not a colour"},
      {"movie\nshape 1 { ; lineTo 0 0 ; fill solid #ff0000 ; }", "line 2: styles after edges need 'newstyles'"},
      {"movie\nshape 1 { ; moveTo 0 0 fill0=2 ; lineTo 5 5 ; }", "line 2: style index 2 is beyond the style table"},
      {"movie\nplace 1 id=2 version=2 blend=add", "line 2: filters, blend"},
      {"movie\nbitmap 1 format=24 width=2 height=1 {\n row #000000\n}", "line 3: the row has 1 pixels, not 2"},
      {"movie\nlabel \"open", "line 2: a string is not closed"},
      {"movie\nwhatever 1", "line 2: unknown statement 'whatever'"},
      {"movie\njpeg 1 file=\"/nonexistent/x.jpg\"", "line 2: cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(swfasm::assembleSwf(c.text, out, error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace vorlo::player::testing
