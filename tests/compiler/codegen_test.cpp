// Generated instruction sequences for every construct, read back from the image's listing.
#include <gtest/gtest.h>

#include <string>

#include "compile_fixture.h"

namespace vorlo::test {
namespace {

struct CodeCase {
  const char* name;
  const char* source;
  const char* function;
  const char* code;
};

const CodeCase kExpressions[] = {
    {"result of a final expression", "1 + 2", ".main", "PUSH1; PUSH2; ADD"},
    {"top-level var is a global without a local", "var a = 5; a", ".main",
     "PUSHCONST 5; STOREGLOBAL a; LOADGLOBAL a"},
    {"program ending with var gives undefined", "var a = 1;", ".main",
     "PUSH1; STOREGLOBAL a; PUSHUNDEF"},
    {"assignment keeps its value as result", "x = 5", ".main", "PUSHCONST 5; DUP; STOREGLOBAL x"},
    {"call of a global", "f(1, 2); 0", ".main",
     "PUSH2; PUSH1; PUSH2; LOADGLOBAL f; CALL; POPN 5; PUSH0"},
    {"call of a method", "o.m(7); 0", ".main",
     "PUSHCONST 7; PUSH1; LOADGLOBAL o; CALLMETHOD m; POPN 4; PUSH0"},
    {"call of another expression", "f()(); 0", ".main",
     "PUSH0; PUSH0; LOADGLOBAL f; CALL; DROPUNDER 2; CALL; POPN 3; PUSH0"},
    {"new with arguments", "new F(1)", ".main",
     "PUSH1; PUSH1; LOADGLOBAL F; NEW; SWAP; DROPUNDER 3"},
    {"new without argument list", "new F", ".main", "PUSH0; LOADGLOBAL F; NEW; SWAP; DROPUNDER 2"},
    {"array literal with elision", "[1, , 3]", ".main",
     "PUSH3; PUSHUNDEF; PUSH1; PUSHINT -3; LOADGLOBAL Array; NEW; SWAP; DROPUNDER 5"},
    {"object literal stores the last property first", "({a: 1, 2: 3, \"s\": 4})", ".main",
     "PUSH0; LOADGLOBAL Object; NEW; SWAP; DROPUNDER 2; "
     "DUP; PUSHCONST 4; SWAP; PUSHCONST \"s\"; SETELEM; "
     "DUP; PUSH3; SWAP; PUSH2; SETELEM; "
     "DUP; PUSH1; SWAP; SETPROP a"},
    {"logical and", "a && b", ".main", "LOADGLOBAL a; DUP; JFALSE L1; POP; LOADGLOBAL b; L1:"},
    {"logical or over a boolean", "a < b || c", ".main",
     "LOADGLOBAL a; LOADGLOBAL b; LT; DUP; JTRUEB L1; POP; LOADGLOBAL c; L1:"},
    {"conditional", "c ? 1 : 2", ".main", "LOADGLOBAL c; JFALSE L1; PUSH1; JUMP L2; L1:; PUSH2; L2:"},
    {"prefix operators", "~a, -a, !a, +a, typeof a, void a", ".main",
     "LOADGLOBAL a; PUSHCONST -1; XOR; POP; LOADGLOBAL a; NEG; POP; LOADGLOBAL a; NOT; POP; "
     "LOADGLOBAL a; POP; LOADGLOBAL a; TYPEOF; POP; LOADGLOBAL a; POP; PUSHUNDEF"},
    {"prefix increment", "++a; 0", ".main", "LOADGLOBAL a; PUSH1; ADD; STOREGLOBAL a; PUSH0"},
    {"postfix decrement keeps the old value", "a--", ".main",
     "LOADGLOBAL a; DUP; PUSH1; SUB; STOREGLOBAL a"},
    {"compound assignment evaluates the object twice", "o.p += 2; 0", ".main",
     "LOADGLOBAL o; GETPROP p; PUSH2; ADD; LOADGLOBAL o; SETPROP p; PUSH0"},
    {"index store after the value", "a[i] = v; 0", ".main",
     "LOADGLOBAL v; LOADGLOBAL a; LOADGLOBAL i; SETELEM; PUSH0"},
    {"delete of member, element, name and other", "delete o.p; delete a[1]; delete x; delete 5; 0",
     ".main",
     "LOADGLOBAL o; DELPROP p; POP; LOADGLOBAL a; PUSH1; DELELEM; POP; "
     "PUSHNULL; RELEASEGLOBAL x; POP; PUSHCONST 5; POP; PUSHUNDEF; POP; PUSH0"},
    {"this and literals", "this, null, true, false, undefined, 'x', 2.5, /a/gi", ".main",
     "LOADSLOT 0; POP; PUSHNULL; POP; PUSHTRUE; POP; PUSHFALSE; POP; PUSHUNDEF; POP; "
     "PUSHCONST \"x\"; POP; PUSHCONST 2.5; POP; PUSHCONST /a/gi"},
};

const CodeCase kStatements[] = {
    {"if else", "if (a) b; else c; 0", ".main",
     "LOADGLOBAL a; JFALSE L1; LOADGLOBAL b; POP; JUMP L2; L1:; LOADGLOBAL c; POP; L2:; PUSH0"},
    {"while", "while (a) b(); 0", ".main",
     "L1:; LOADGLOBAL a; JFALSE L2; PUSH0; LOADGLOBAL b; CALL; POPN 3; JUMP L1; L2:; PUSH0"},
    {"endless while with break folds to one conditional jump",
     "while (true) { if (a) break; } 0", ".main", "L1:; LOADGLOBAL a; JFALSE L1; PUSH0"},
    {"do while", "do x(); while (a); 0", ".main",
     "L1:; PUSH0; LOADGLOBAL x; CALL; POPN 3; LOADGLOBAL a; JTRUE L1; PUSH0"},
    {"for", "for (i = 0; i < 3; i++) f(i); 0", ".main",
     "PUSH0; STOREGLOBAL i; L1:; LOADGLOBAL i; PUSH3; LT; JFALSEB L2; "
     "LOADGLOBAL i; PUSH1; LOADGLOBAL f; CALL; POPN 4; "
     "LOADGLOBAL i; PUSH1; ADD; STOREGLOBAL i; JUMP L1; L2:; PUSH0"},
    {"for in", "for (k in o) f(k); 0", ".main",
     "LOADGLOBAL o; DUP; PUSH0; SWAP; PUSH0; L1:; NEXTITEM; JFALSEB L2; STOREGLOBAL k; "
     "LOADGLOBAL k; PUSH1; LOADGLOBAL f; CALL; POPN 4; "
     "PUSH1; ADD; DUP; ROLL -3; DUP; ROLL 4; SWAP; JUMP L1; L2:; POP; POPN 2; PUSH0"},
    {"switch in a loop: break leaves the switch, continue pops the discriminant",
     "for (;;) { switch (a) { case 1: break; case 2: continue; default: f(); } }", ".main",
     "L1:; LOADGLOBAL a; DUP; PUSH1; SEQ; JFALSEB L2; JUMP L4; "
     "L2:; DUP; PUSH2; SEQ; JFALSEB L3; POP; JUMP L1; "
     "L3:; PUSH0; LOADGLOBAL f; CALL; POPN 3; L4:; POP; JUMP L1"},
    {"switch discriminant is the result", "switch (a) { case 1: b; }", ".main",
     "LOADGLOBAL a; DUP; PUSH1; SEQ; JFALSEB L1; LOADGLOBAL b; POP; L1:"},
    {"labelled break pops the constructs it leaves",
     "outer: while (a) { switch (b) { case 1: break outer; } }", ".main",
     "L1:; LOADGLOBAL a; JFALSE L3; LOADGLOBAL b; DUP; PUSH1; SEQ; JFALSEB L2; POP; JUMP L3; "
     "L2:; POP; JUMP L1; L3:; PUSHUNDEF"},
    {"labelled continue pops the switch and keeps the for-in's own values",
     "outer: for (k in o) { switch (k) { case 1: continue outer; } }", ".main",
     "LOADGLOBAL o; DUP; PUSH0; SWAP; PUSH0; L1:; NEXTITEM; JFALSEB L4; STOREGLOBAL k; "
     "LOADGLOBAL k; DUP; PUSH1; SEQ; JFALSEB L2; POP; JUMP L3; L2:; POP; "
     "L3:; PUSH1; ADD; DUP; ROLL -3; DUP; ROLL 4; SWAP; JUMP L1; L4:; POP; POPN 2; PUSHUNDEF"},
    {"try catch", "try { a(); } catch (e) { b(e); }", ".main",
     "LOCALS 1; TRY L1; PUSH0; LOADGLOBAL a; CALL; POPN 3; POPTRY 1; PUSHFALSE; JUMP L4; "
     "L1:; PUSHFALSE; SWAP; TRY L3; DUP; STORELOCAL 0; SWAP; POP; PUSHTRUE; SWAP; "
     "LOADLOCAL 0; PUSH1; LOADGLOBAL b; CALL; POPN 4; "
     "POPTRY 1; SWAP; JTRUEB L2; PUSHTRUE; JUMP L4; L2:; POP; PUSHFALSE; JUMP L4; "
     "L3:; DROPUNDER 2; PUSHTRUE; L4:; JFALSEB L5; THROW; L5:; PUSHUNDEF"},
    {"return in try leaves the handler and skips finally",
     "function f() { try { return 1; } finally { g(); } }", "f",
     "LOADSLOT 1; ADD2; ARGFIX 2; TRY L1; POPTRY 1; PUSH1; RETURN; "
     "L1:; PUSHTRUE; PUSH0; LOADGLOBAL g; CALL; POPN 3; JFALSEB L2; THROW; L2:; PUSHUNDEF; RETURN"},
    {"break out of a catch clause drops the flag and the exception",
     "while (a) { try { f(); } catch (e) { break; } }", ".main",
     "LOCALS 1; L1:; LOADGLOBAL a; JFALSE L5; TRY L2; PUSH0; LOADGLOBAL f; CALL; POPN 3; "
     "POPTRY 1; PUSHFALSE; JUMP L4; L2:; PUSHFALSE; SWAP; TRY L3; DUP; STORELOCAL 0; SWAP; POP; "
     "PUSHTRUE; SWAP; POPTRY 1; POPN 2; JUMP L5; L3:; DROPUNDER 2; PUSHTRUE; "
     "L4:; JFALSEB L1; THROW; JUMP L1; L5:; PUSHUNDEF"},
    {"with compiles names through the with-scope", "with (o) { x = y; f(); }", ".main",
     "LOADGLOBAL o; PUSHWITH; LOADNAME y; STORENAME x; PUSH0; LOADNAME f; CALLNAME f; POPN 3; "
     "POPWITH 1; PUSHUNDEF"},
    {"throw", "throw 'x';", ".main", "PUSHCONST \"x\"; THROW; PUSHUNDEF"},
    {"constant true condition drops the else branch", "if (true) a; else b;", ".main",
     "LOADGLOBAL a; POP; PUSHUNDEF"},
    {"constant false condition drops the then branch", "if (false) a;", ".main", "PUSHUNDEF"},
};

const CodeCase kFunctions[] = {
    {"arguments prologue", "function g(a) { return arguments.length; }", "g",
     "LOADSLOT 1; ADD2; ARGFIX 3; LOCALS 1; PUSH0; LOADGLOBAL Object; NEW; SWAP; DROPUNDER 2; "
     "STORELOCAL 0; PUSH0; L1:; DUP; LOADSLOT 1; GE; JTRUEB L2; DUP; DUP; ADD2; LOADARGX; SWAP; "
     "LOADLOCAL 0; SWAP; SETELEM; INC; JUMP L1; L2:; LOADLOCAL 0; SETPROP length; LOADGLOBAL g; "
     "LOADLOCAL 0; SETPROP callee; LOADLOCAL 0; GETPROP length; RETURN"},
    {"a name used before its var is the global", "function f(p) { x = 1; var x = 2; return p; }",
     "f",
     "LOADSLOT 1; ADD2; ARGFIX 3; LOCALS 1; PUSH1; STOREGLOBAL x; PUSH2; STORELOCAL 0; "
     "LOADSLOT 2; RETURN"},
    {"a nested function reads globals, not the outer parameter",
     "function f(p) { var g = function () { return p; }; }", "@F_0",
     "LOADSLOT 1; ADD2; ARGFIX 2; LOADGLOBAL p; RETURN"},
    {"function value inside with is its global", "with (o) x = function () {};", ".main",
     "LOADGLOBAL o; PUSHWITH; LOADGLOBAL @F_0; STORENAME x; POPWITH 1; PUSHUNDEF"},
    {"method binding", "function outer() { function inner() {} }", "outer",
     "LOADSLOT 1; ADD2; ARGFIX 2; LOADGLOBAL @F_0; LOADGLOBAL outer; SETPROP inner; PUSHUNDEF; RETURN"},
    {"var in a top-level block is a local of the main function", "if (a) { var x = 1; } x", ".main",
     "LOCALS 1; LOADGLOBAL a; JFALSE L1; PUSH1; STORELOCAL 0; L1:; LOADGLOBAL x"},
    {"sibling blocks share local indices", "function f() { { var a = 1; } { var b = 2; } }", "f",
     "LOADSLOT 1; ADD2; ARGFIX 2; LOCALS 1; PUSH1; STORELOCAL 0; PUSH2; STORELOCAL 0; PUSHUNDEF; "
     "RETURN"},
    {"delete of a local and a parameter", "function f(p) { var l; delete l; delete p; }", "f",
     "LOADSLOT 1; ADD2; ARGFIX 3; LOCALS 1; PUSHNULL; RELEASELOCAL 0; POP; PUSHNULL; "
     "RELEASESLOT 2; POP; PUSHUNDEF; RETURN"},
    {"dllimport", "dllimport \"k.dll\" stdcall void Beep(long, long) as B; 0", ".main",
     "PUSHCONST \"long\"; PUSHCONST \"long\"; PUSHCONST \"void\"; PUSHCONST \"stdcall\"; "
     "PUSHCONST \"B\"; PUSHCONST \"Beep\"; PUSHCONST \"k.dll\"; PUSHINT 7; LOADGLOBAL Dll; "
     "CALLMETHOD registerFunction; POPN 10; PUSH0"},
    {"struct", "struct { long x; } P; 0", ".main",
     "PUSHCONST \"<P type=\\\"struct\\\"><x type=\\\"long\\\"></x></P>\"; STOREGLOBAL P; PUSH0"},
};

class CodegenTest : public CompileTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CodegenTest, GeneratesTheSequence) {
  const CodeCase& c = GetParam();
  Compiled compiled = compile(c.source);
  ASSERT_TRUE(compiled.ok) << compiled.messages;
  EXPECT_EQ(compiled.code(c.function), c.code) << c.source;
}

std::string caseName(const ::testing::TestParamInfo<CodeCase>& info) {
  std::string name;
  for (const char* p = info.param.name; *p; p++) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Expressions, CodegenTest, ::testing::ValuesIn(kExpressions), caseName);
INSTANTIATE_TEST_SUITE_P(Statements, CodegenTest, ::testing::ValuesIn(kStatements), caseName);
INSTANTIATE_TEST_SUITE_P(Functions, CodegenTest, ::testing::ValuesIn(kFunctions), caseName);

using CompilerTest = CompileTest;

TEST_F(CompilerTest, ProgramWithoutStatementsHasNoMain) {
  Compiled c = compile("function f() {}");
  ASSERT_TRUE(c.ok);
  ASSERT_EQ(c.image->functions.size(), 1u);
  EXPECT_EQ(c.image->functions[0].name, "f");
}

TEST_F(CompilerTest, MainComesLastAfterFunctionsInListOrder) {
  Compiled c = compile("function a() { function b() {} } x = 1; function c() {}");
  ASSERT_TRUE(c.ok);
  std::vector<std::string> names;
  for (const ImageFunction& f : c.image->functions) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"@F_0", "a", "c", ".main"}));
}

TEST_F(CompilerTest, EqualConstantsShareOneEntryAndDistinctFloatsStayDistinct) {
  Compiled c = compile("a = 1.5; b = 1.5; c = 'x'; d = 'x'; e = 1e-40; f = 0.0; g = /ag/; h = /a/g; "
                       "i = 7; j = 7; a");
  ASSERT_TRUE(c.ok) << c.messages;
  std::vector<std::string> texts;
  for (const ImageConstant& k : c.image->constants) texts.push_back(constantText(k));
  EXPECT_EQ(texts, (std::vector<std::string>{"1.5", "a", "b", "\"x\"", "c", "d", "1e-40", "e", "0.0",
                                             "f", "/ag/", "g", "/a/g", "h", "7", "i", "j"}));
  double tiny = 0;
  for (const ImageConstant& k : c.image->constants)
    if (k.kind == ConstFloat && k.number != 0 && k.number != 1.5) tiny = k.number;
  EXPECT_EQ(tiny, 1e-40);
}

TEST_F(CompilerTest, StringConstantsAreUtf16) {
  Compiled c = compile("'hi'");
  ASSERT_TRUE(c.ok) << c.messages;
  ASSERT_EQ(c.image->constants.size(), 1u);
  EXPECT_EQ(c.image->constants[0].text, u"hi");
}

std::string repeated(const std::string& item, int n, const char* separator = ", ") {
  std::string out;
  for (int i = 0; i < n; i++) out += (i ? separator : "") + item;
  return out;
}

TEST_F(CompilerTest, LongArgumentListsAndArraysStayWithinByteOperands) {
  Compiled call = compile("f(" + repeated("0", 130) + "); 1");
  ASSERT_TRUE(call.ok) << call.messages;
  EXPECT_NE(call.code().find("PUSHINT 130; LOADGLOBAL f; CALL; DROPUNDER 127; POPN 6; PUSH1"),
            std::string::npos)
      << call.code();

  Compiled array = compile("[" + repeated("0", 200) + "]");
  ASSERT_TRUE(array.ok) << array.messages;
  EXPECT_NE(array.code().find("PUSHINT -200; LOADGLOBAL Array; NEW; SWAP; DROPUNDER 127; DROPUNDER 75"),
            std::string::npos);
}

TEST_F(CompilerTest, ParameterAndLocalLimitsAreCompileErrors) {
  std::string params;
  for (int i = 0; i < 126; i++) params += (i ? ", p" : "p") + std::to_string(i);
  Compiled tooMany = compile("function f(" + params + ") {}");
  EXPECT_FALSE(tooMany.ok);
  EXPECT_EQ(tooMany.messages, "error: line 0: too many formal parameters (at most 125)\r\n");
  EXPECT_TRUE(compile("function f(" + params.substr(0, params.rfind(',')) + ") {}").ok);

  std::string vars;
  for (int i = 0; i < 32768; i++) vars += (i ? ", v" : "v") + std::to_string(i);
  Compiled locals = compile("function f() {\nvar " + vars + "; }");
  EXPECT_FALSE(locals.ok);
  EXPECT_EQ(locals.messages, "error: line 1: too many local variables (at most 32767)\r\n");
}

// A call's arguments share the value stack with the callee's frame: past the limit the call is a
// compile error, not a stack overflow when it runs. Long array literals are built element by element.
TEST_F(CompilerTest, LongArgumentListsAreRefusedAndLongLiteralsBuiltInPieces) {
  Compiled tooMany = compile("f(" + repeated("0", 1025) + ");");
  EXPECT_FALSE(tooMany.ok);
  EXPECT_EQ(tooMany.messages, "error: line 0: too many arguments (at most 1024 in one call)\r\n");
  EXPECT_FALSE(compile("new F(" + repeated("0", 1025) + ");").ok);
  EXPECT_TRUE(compile("f(" + repeated("0", 1024) + ");").ok);

  Compiled array = compile("a = [" + repeated("7", 5000) + "];");
  ASSERT_TRUE(array.ok) << array.messages;
  EXPECT_EQ(array.code().find("PUSHINT -5000"), std::string::npos) << "all elements on the stack";
  EXPECT_NE(array.code().find("SETELEM"), std::string::npos);
}

// Text as editors save it: a UTF-8 mark is skipped, a CR alone ends a line, UTF-16 is refused by name.
TEST_F(CompilerTest, SourceTextAsEditorsSaveIt) {
  struct {
    std::string source;
    bool ok;
    const char* messages;
  } cases[] = {
      {"\xEF\xBB\xBFx = 1;", true, ""},
      {"\xEF\xBB\xBFx = ;", false, "error: line 0: syntax error: invalid expression\r\n"},
      {"x = 1;\ry = 2;\rbreak;\r", false, "error: line 2: invalid break\r\n"},
      {"x = 1;\r\ny = 2;\r\nbreak;\r\n", false, "error: line 2: invalid break\r\n"},
      {std::string("\xFF\xFEx\0=\0", 6), false, "error: line 0: the source is UTF-16 text; save it as UTF-8\r\n"},
      {std::string("\xFE\xFF\0x\0=", 6), false, "error: line 0: the source is UTF-16 text; save it as UTF-8\r\n"},
      {std::string("x\0=\0 \0", 6), false,
       "error: line 0: the source holds NUL bytes (UTF-16 text or not text at all); save it as UTF-8 text\r\n"},
  };
  for (const auto& c : cases) {
    Compiled compiled = compile(c.source);
    EXPECT_EQ(compiled.ok, c.ok) << c.source;
    EXPECT_EQ(compiled.messages, c.messages) << c.source;
  }
}

TEST_F(CompilerTest, InvalidBreakAndContinueReportTheLastLine) {
  struct {
    const char* source;
    const char* message;
  } cases[] = {
      {"break;", "error: line 0: invalid break\r\n"},
      {"while (a) {}\ncontinue;\nx = 1;\n\n", "error: line 2: invalid continue\r\n"},
      {"a: { continue a; }", "error: line 0: invalid continue\r\n"},
      {"while (a) { break b; }", "error: line 0: invalid break\r\n"},
  };
  for (const auto& c : cases) {
    Compiled compiled = compile(c.source);
    EXPECT_FALSE(compiled.ok) << c.source;
    EXPECT_EQ(compiled.messages, c.message) << c.source;
    EXPECT_STREQ(vm_->message, c.message);
  }
}

TEST_F(CompilerTest, GuardedClausesTryTheGuardUnderItsOwnHandler) {
  Compiled c = compile("try { x(); } catch (e if e == 1) { a(); } catch (e) { b(); }");
  ASSERT_TRUE(c.ok) << c.messages;
  std::string code = c.code();
  EXPECT_NE(code.find("DUP; STORELOCAL 0; TRY L2; LOADLOCAL 0; PUSH1; EQ; POPTRY 1; JFALSEB L4; "
                      "JUMP L3; L2:; POP; JUMP L4; L3:; SWAP; POP; PUSHTRUE; SWAP"),
            std::string::npos)
      << code;
}

TEST_F(CompilerTest, DebugInformationNamesTheSourceAndItsLines) {
  Compiled plain = compile("a = 1;\nb = 2;");
  ASSERT_TRUE(plain.ok);
  EXPECT_FALSE(plain.image->hasSourceName);
  EXPECT_TRUE(plain.image->lines.empty());

  Compiled debug = compile("a = 1;\nb = 2;", kCompileDebugInfo);
  ASSERT_TRUE(debug.ok);
  EXPECT_EQ(debug.image->sourceName, "string");
  // PUSH1 (1 byte) STOREGLOBAL a (5) on line 0; PUSH2 on line 1 ends at 7.
  ASSERT_EQ(debug.image->lines.size(), 2u);
  EXPECT_EQ(debug.image->lines[0].offset, 1u);
  EXPECT_EQ(debug.image->lines[0].line, 0u);
  EXPECT_EQ(debug.image->lines[1].offset, 7u);
  EXPECT_EQ(debug.image->lines[1].line, 1u);
}

TEST_F(CompilerTest, HeaderIsFiftySixBytesWithSectionsInOrder) {
  Compiled c = compile("x = 1;");
  ASSERT_TRUE(c.ok);
  ASSERT_GE(c.bytes.size(), 56u);
  EXPECT_EQ(std::string(c.bytes.begin(), c.bytes.begin() + 4), "VS1b");
  auto word = [&](size_t at) {
    return uint32_t(c.bytes[at]) | uint32_t(c.bytes[at + 1]) << 8 | uint32_t(c.bytes[at + 2]) << 16 |
           uint32_t(c.bytes[at + 3]) << 24;
  };
  uint32_t expectedOffset = 56;
  for (uint32_t i = 0; i < 4; i++) {
    EXPECT_EQ(word(4 + 12 * i) & 0xFF, i);
    EXPECT_EQ(word(8 + 12 * i), expectedOffset);
    expectedOffset += word(12 + 12 * i);
  }
  EXPECT_EQ(word(52), 0xFFFFFFFFu);
  EXPECT_EQ(expectedOffset, c.bytes.size());
  EXPECT_EQ(word(4 + 36 + 8), 0u) << "empty debug section without -g";
}

}  // namespace
}  // namespace vorlo::test

namespace vorlo::test {
namespace {

// Every script of the parser's seed corpus that compiles gives an image the reader accepts: the
// generator never writes an operand the loader would refuse.
TEST_F(CompilerTest, CompiledCorpusPassesTheImageChecks) {
  int compiled = 0;
  for (const char* name : {"basics.vos", "dialect.vos", "errors.vos", "escape-line-break.vos", "nested.vos",
                           "statements.vos"}) {
    std::string path = std::string(VORLO_SOURCE_DIR) + "/tests/parser/corpus/" + name;
    std::unique_ptr<FileSource> source(FileSource::open(path.c_str()));
    ASSERT_TRUE(source) << path;
    CompileOutput out;
    if (!compileScript(vm_, *source, kCompileDebugInfo, out)) continue;
    compiled++;
    std::string why;
    EXPECT_TRUE(readImage(out.image.data(), out.image.size(), &why)) << name << ": " << why;
  }
  EXPECT_GE(compiled, 3);
}

}  // namespace
}  // namespace vorlo::test
