// Reading images (hand-built from the layout, reordered, prefixed, truncated, lying) and linking
// them into a machine.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "compile_fixture.h"
#include "engine/function.h"
#include "engine/linker.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"

namespace vorlo::test {
namespace {

using Bytes = std::vector<uint8_t>;

void be(Bytes& out, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; i--) out.push_back(uint8_t(v >> (8 * i)));
}
void le32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back(uint8_t(v >> (8 * i)));
}

// The parts of a small image, written byte by byte from the layout:
//   function f: PUSHCONST 0; JUMP +0; LOADSLOT 0; RETURN
//   .main:      LOCALS 1; LOADGLOBAL 1; STORELOCAL 0; LOADLOCAL 0
//   constants:  integer 42, symbol "f", string "hi"
struct Parts {
  Bytes code, constants, functions, debug;

  Parts() {
    code = {0x62, 0, 0, 0, 0, 0x35, 0, 0, 0, 0, 0x56, 0x00, 0x33,
            0x2E, 0, 1, 0x58, 0, 0, 0, 1, 0x53, 0, 0, 0x54, 0, 0};
    constants.push_back(3);
    be(constants, 42, 8);
    constants.push_back(10);
    constants.insert(constants.end(), {'f', 0});
    constants.push_back(4);
    be(constants, 4, 4);
    constants.insert(constants.end(), {'h', 0, 'i', 0});
    be(functions, 2, 4);
    functions.insert(functions.end(), {'f', 0});
    be(functions, 0, 4);
    functions.insert(functions.end(), {'.', 'm', 'a', 'i', 'n', 0});
    be(functions, 13, 4);
    debug.push_back(1);
    be(debug, 3, 4);
    debug.insert(debug.end(), {'a', '.', 'v'});
    debug.push_back(2);
    be(debug, 5, 4);
    be(debug, 7, 4);
  }

  // Descriptors in the given order of section types, `noise` in the upper bits of the type words.
  Bytes build(std::vector<uint32_t> order = {0, 1, 2, 3}, uint32_t noise = 0) const {
    const Bytes* sections[4] = {&code, &constants, &functions, &debug};
    Bytes out = {'V', 'S', '1', 'b'};
    uint32_t at = 4 + 12 * uint32_t(order.size()) + 4;
    Bytes data;
    for (uint32_t type : order) {
      le32(out, type | noise << 8);
      le32(out, at + uint32_t(data.size()));
      le32(out, uint32_t(sections[type]->size()));
      data.insert(data.end(), sections[type]->begin(), sections[type]->end());
    }
    le32(out, 0xFFFFFFFF);
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }
};

std::unique_ptr<BytecodeImage> read(const Bytes& bytes, std::string* why = nullptr) {
  return readImage(bytes.data(), bytes.size(), why);
}

void expectHandBuilt(const BytecodeImage& image) {
  ASSERT_EQ(image.functions.size(), 2u);
  EXPECT_EQ(image.functions[0].name, "f");
  EXPECT_EQ(image.functions[0].end, 13u);
  EXPECT_EQ(image.functions[1].name, ".main");
  EXPECT_EQ(image.functions[1].locals, 1);
  ASSERT_EQ(image.constants.size(), 3u);
  EXPECT_EQ(image.constants[0].integer, 42);
  EXPECT_EQ(image.constants[1].name, "f");
  EXPECT_EQ(image.constants[2].text, u"hi");
  EXPECT_EQ(image.sourceName, "a.v");
  ASSERT_EQ(image.lines.size(), 1u);
  EXPECT_EQ(image.lines[0].line, 7u);
}

TEST(ImageReader, HandBuiltImageLoads) {
  std::string why;
  auto image = read(Parts().build(), &why);
  ASSERT_TRUE(image) << why;
  expectHandBuilt(*image);
}

TEST(ImageReader, DescriptorsInAnyOrderWithNoiseAndAnInterpreterLine) {
  Bytes bytes = Parts().build({3, 2, 0, 1}, 0xABCDEF);
  Bytes prefixed = {'#', '!', '/', 'u', 's', 'r', '/', 'b', 'i', 'n', '/', 'v', 'o', 'r', 'l', 'o', '\n'};
  prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
  for (const Bytes* b : {&bytes, &prefixed}) {
    std::string why;
    auto image = read(*b, &why);
    ASSERT_TRUE(image) << why;
    expectHandBuilt(*image);
  }
}

TEST(ImageReader, ReadsFromAFile) {
  Bytes bytes = Parts().build();
  std::FILE* f = std::tmpfile();
  ASSERT_TRUE(f);
  std::fputs("#!vorlo\n", f);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  auto image = readImageFile(f);
  std::fclose(f);
  ASSERT_TRUE(image);
  expectHandBuilt(*image);
}

TEST(ImageReader, EveryTruncationIsRejected) {
  Bytes bytes = Parts().build();
  for (size_t n = 0; n < bytes.size(); n++)
    EXPECT_FALSE(readImage(bytes.data(), n)) << "accepted " << n << " of " << bytes.size() << " bytes";
}

struct Lie {
  const char* name;
  std::function<void(Parts&)> change;
  std::function<void(Bytes&)> patch;  // applied to the built bytes
};

TEST(ImageReader, LyingImagesAreRejected) {
  const Lie lies[] = {
      {"no line feed after #", nullptr, [](Bytes& b) { b.insert(b.begin(), '#'); b.erase(b.begin() + 1, b.end()); }},
      {"bad magic", nullptr, [](Bytes& b) { b[3] = 'c'; }},
      {"no terminator", nullptr, [](Bytes& b) { b.resize(4 + 12 * 4); }},
      {"section past the end", nullptr, [](Bytes& b) { b[4 + 12 + 8] = 0xFF; }},
      {"section offset past the end", nullptr, [](Bytes& b) { b[4 + 4 + 3] = 0x7F; }},
      {"function count beyond the table", [](Parts& p) { p.functions[0] = 0x7F; }, nullptr},
      {"function offset beyond the code", [](Parts& p) { p.functions[p.functions.size() - 1] = 200; }, nullptr},
      {"function offsets out of order", [](Parts& p) { p.functions[6 + 3] = 20; }, nullptr},
      {"short function table", [](Parts& p) { p.functions.resize(7); }, nullptr},
      {"symbol operand out of range", [](Parts& p) { p.code[20] = 9; }, nullptr},
      {"symbol operand naming a non-symbol", [](Parts& p) { p.code[20] = 0; }, nullptr},
      {"constant operand out of range", [](Parts& p) { p.code[4] = 3; }, nullptr},
      {"jump into an instruction", [](Parts& p) { p.code[9] = 1; }, nullptr},
      {"jump out of the function", [](Parts& p) { p.code[9] = 20; }, nullptr},
      {"jump backwards out of the function", [](Parts& p) { p.code[6] = 0xFF; p.code[7] = 0xFF; p.code[8] = 0xFF; p.code[9] = 0x00; }, nullptr},
      {"local beyond LOCALS", [](Parts& p) { p.code[23] = 1; }, nullptr},
      {"negative local", [](Parts& p) { p.code[25] = 0xFF; p.code[26] = 0xFF; }, nullptr},
      {"slot beyond the frame", [](Parts& p) { p.code[11] = 2; }, nullptr},
      {"unknown opcode", [](Parts& p) { p.code[12] = 0x71; }, nullptr},
      {"HALT", [](Parts& p) { p.code[12] = 0x6B; }, nullptr},
      {"instruction crossing the function end", [](Parts& p) { p.code[12] = 0x59; }, nullptr},
      {"LOCALS after the start", [](Parts& p) { p.code[21] = 0x2E; }, nullptr},
      {"ARGFIX outside the prologue", [](Parts& p) { p.code[10] = 0x2D; p.code[11] = 4; }, nullptr},
      {"unknown constant kind", [](Parts& p) { p.constants[0] = 6; }, nullptr},
      {"odd string length", [](Parts& p) { p.constants[p.constants.size() - 5] = 3; }, nullptr},
      {"string longer than its section", [](Parts& p) { p.constants[p.constants.size() - 5] = 40; }, nullptr},
      {"unterminated symbol", [](Parts& p) { p.constants.resize(11); p.constants.push_back('f'); }, nullptr},
      {"anonymous name without a number", [](Parts& p) {
         p.constants.erase(p.constants.begin() + 10, p.constants.begin() + 11);
         p.constants.insert(p.constants.begin() + 10, {'@', 'F', '_', 'x'});
       }, nullptr},
      {"unknown debug record", [](Parts& p) { p.debug[0] = 9; }, nullptr},
      {"short debug record", [](Parts& p) { p.debug.pop_back(); }, nullptr},
  };
  for (const Lie& lie : lies) {
    Parts parts;
    if (lie.change) lie.change(parts);
    Bytes bytes = parts.build();
    if (lie.patch) lie.patch(bytes);
    std::string why;
    EXPECT_FALSE(read(bytes, &why)) << lie.name;
  }
}

class ImageLinkTest : public CompileTest {};

TEST_F(ImageLinkTest, LinksByteCodeIntoWordCode) {
  auto image = read(Parts().build());
  ASSERT_TRUE(image);
  appendValue(vm_, vm_->constants, ScriptValue::null());  // constants of an earlier image
  uint32_t counter = 0;
  CompiledFunction* main = loadImage(vm_, *image, ImageLoadContext{&counter});
  ASSERT_TRUE(main);
  EXPECT_EQ(image->constantBase, 1u);
  EXPECT_EQ(vm_->constants.values[1].asInt(), 42);
  Atom f = intern(vm_, "f");
  EXPECT_EQ(vm_->constants.values[2].asAtom(), f);
  ScriptValue bound = getGlobal(vm_, f);
  ASSERT_TRUE(bound.is(KindFunction));
  CompiledFunction* linked = bound.asFunction()->code;
  EXPECT_STREQ(linked->name, "f");
  EXPECT_STREQ(linked->sourceName, "a.v");
  EXPECT_EQ(std::vector<uint32_t>(linked->code, linked->code + linked->codeWords),
            (std::vector<uint32_t>{0x62, 1, 0x35, 0, 0x56, 0, 0x33, 0x6A}));
  // The line record at byte 5 (after PUSHCONST) is word 2.
  ASSERT_EQ(linked->lineCount, 1u);
  EXPECT_EQ(linked->lines[0].word, 2u);
  EXPECT_EQ(std::vector<uint32_t>(main->code, main->code + main->codeWords),
            (std::vector<uint32_t>{0x2E, 1, 0x58, f, 0x53, 0, 0x54, 0, 0x6A}));
}

TEST_F(ImageLinkTest, JumpDistancesAreCountedInWords) {
  Compiled c = compile("while (a) b = 1;");
  ASSERT_TRUE(c.ok);
  CompiledFunction* main = loadImage(vm_, *c.image, ImageLoadContext{});
  ASSERT_TRUE(main);
  // L1: LOADGLOBAL a; JFALSE L2; PUSH1; STOREGLOBAL b; JUMP L1; L2: PUSHUNDEF; END
  std::vector<uint32_t> words(main->code, main->code + main->codeWords);
  ASSERT_EQ(words.size(), 11u);
  EXPECT_EQ(words[2], uint32_t(OpJFalse));
  EXPECT_EQ(int32_t(words[3]), 5);   // from word 4 to word 9
  EXPECT_EQ(words[7], uint32_t(OpJump));
  EXPECT_EQ(int32_t(words[8]), -9);  // from word 9 back to word 0
}

TEST_F(ImageLinkTest, AnonymousFunctionsAreRenumberedAcrossImages) {
  Compiled first = compile("x = function () { return 1; };");
  Compiled second = compile("y = function () { return 2; };");
  ASSERT_TRUE(first.ok && second.ok);
  uint32_t counter = 0;
  CompiledFunction* main1 = loadImage(vm_, *first.image, ImageLoadContext{&counter});
  CompiledFunction* main2 = loadImage(vm_, *second.image, ImageLoadContext{&counter});
  EXPECT_EQ(counter, 2u);
  Atom f0 = intern(vm_, "@F_0"), f1 = intern(vm_, "@F_1");
  ASSERT_TRUE(getGlobal(vm_, f0).is(KindFunction));
  ASSERT_TRUE(getGlobal(vm_, f1).is(KindFunction));
  EXPECT_NE(getGlobal(vm_, f0).asFunction()->code, getGlobal(vm_, f1).asFunction()->code);
  // Each main loads its own function: LOADGLOBAL @F_n; STOREGLOBAL ...
  ASSERT_TRUE(main1 && main2);
  EXPECT_EQ(main1->code[0], uint32_t(OpLoadGlobal));
  EXPECT_EQ(main1->code[1], f0);
  EXPECT_EQ(main2->code[1], f1);
}

TEST_F(ImageLinkTest, StringConstantsAreStatic) {
  Compiled c = compile("'abc'");
  ASSERT_TRUE(c.ok);
  loadImage(vm_, *c.image, ImageLoadContext{});
  const ScriptValue& s = vm_->constants.values[c.image->constantBase];
  ASSERT_TRUE(s.isString());
  EXPECT_TRUE(isStatic(s.asString()));
  EXPECT_EQ(stringView(s.asString()), u"abc");
}

}  // namespace
}  // namespace vorlo::test
