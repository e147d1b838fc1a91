// Parser: the trees it builds for expressions and statements, automatic semicolons, function
// hoisting and naming, structure layouts, DLL imports, static result kinds and the nesting limits.
#include "tests/parser/parse_fixture.h"

namespace vorlo::test {
namespace {

using ParserTest = ParseFixture;

struct TreeCase {
  const char* source;
  const char* tree;
};

void expectTrees(ParseFixture& f, const TreeCase* begin, const TreeCase* end) {
  for (const TreeCase* c = begin; c != end; ++c) {
    Parsed p = f.parse(c->source);
    EXPECT_TRUE(p.ok) << c->source << "\n" << p.messages;
    EXPECT_EQ(p.messages, "") << c->source;
    EXPECT_EQ(p.statements, c->tree) << c->source;
  }
}

TEST_F(ParserTest, ExpressionPrecedenceAndAssociativity) {
  const TreeCase cases[] = {
      {"a + b * c - d;", "(expr (- (+ a (* b c)) d))"},
      {"a - b - c;", "(expr (- (- a b) c))"},
      {"a = b = c;", "(expr (= a (= b c)))"},
      {"a += b -= c;", "(expr (+= a (-= b c)))"},
      {"x *= 1, y /= 2, z %= 3;", "(expr (, (, (*= x 1) (/= y 2)) (%= z 3)))"},
      {"a &= 1; a ^= 2; a |= 3; a <<= 4; a >>= 5; a >>>= 6;",
       "(expr (&= a 1)) (expr (^= a 2)) (expr (|= a 3)) (expr (<<= a 4)) (expr (>>= a 5)) "
       "(expr (>>>= a 6))"},
      {"a || b && c | d ^ e & f;", "(expr (|| a (&& b (| c (^ d (& e f))))))"},
      {"a == b != c === d !== e;", "(expr (!== (=== (!= (== a b) c) d) e))"},
      {"a < b == c >= d;", "(expr (== (< a b) (>= c d)))"},
      {"a << b < c >> d >>> e;", "(expr (< (<< a b) (>>> (>> c d) e)))"},
      {"a % b / c * d;", "(expr (* (/ (% a b) c) d))"},
      {"a ? b : c ? d : e;", "(expr (? a b (? c d e)))"},
      {"a = b ? c = 1 : d;", "(expr (= a (? b (= c 1) d)))"},
      {"!a + -b - +c * ~d;", "(expr (- (+ (! a) (- b)) (* (+ c) (~ d))))"},
      {"typeof void delete a.b;", "(expr (typeof (void (delete (. a b)))))"},
      {"- - ++a;", "(expr (- (- (++ a))))"},
      {"a++ + --b;", "(expr (+ (post++ a) (-- b)))"},
      {"(a, b) * c;", "(expr (* (, a b) c))"},
      {"f(1)(2).g[3](4, 5);", "(expr (call ([] (. (call (call f 1) 2) g) 3) 4 5))"},
      {"o.p.q[r + 1];", "(expr ([] (. (. o p) q) (+ r 1)))"},
      {"new F; new F(); new F(1, 2).g;", "(expr (new F)) (expr (new F ())) (expr (. (new F (1 2)) g))"},
      {"new a.b.C(x)(y);", "(expr (call (new (. (. a b) C) (x)) y))"},
      {"new new F()();", "(expr (new (new F ()) ()))"},
      {"new F[0];", "(expr (new ([] F 0)))"},
      {"x = 1.5 + 07 + 'q' + this + null + true + false + undefined;",
       "(expr (= x (+ (+ (+ (+ (+ (+ (+ 1.5f 7) \"q\") this) null) true) false) undefined)))"},
      {"x = #'A' + 0x10;", "(expr (= x (+ 65 16)))"},
      // an operator that cannot assign is left to the statement, which wants a ";"
      {"a.b = c[0] = d;", "(expr (= (. a b) (= ([] c 0) d)))"},
  };
  expectTrees(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserTest, ArrayObjectAndRegExpLiterals) {
  const TreeCase cases[] = {
      {"x = [];", "(expr (= x (array)))"},
      {"x = [1];", "(expr (= x (array 1)))"},
      {"x = [1,];", "(expr (= x (array 1 ;)))"},
      {"x = [,];", "(expr (= x (array ; ;)))"},
      {"x = [1,,2];", "(expr (= x (array 1 ; 2)))"},
      {"x = [1,,];", "(expr (= x (array 1 ; ;)))"},
      {"x = [[1], [a = 2]];", "(expr (= x (array (array 1) (array (= a 2)))))"},
      {"x = {};", "(expr (= x (object)))"},
      {"x = {a: 1, 'b c': 2, 3: [4],};", "(expr (= x (object a:1 \"b c\":2 3:(array 4))))"},
      {"x = {o: {p: q}};", "(expr (= x (object o:(object p:q))))"},
      {"x = /a\\/b/;", "(expr (= x /a\\/b/))"},
      {"x = /\\\\n/;", "(expr (= x /\\\\n/))"},
      {"x = /a\\nb\\t\\f\\r\\v/;", "(expr (= x /a\\x0Ab\\x09\\x0C\\x0D\\x0B/))"},
      {"x = /\\x41\\u0042\\0103\\d\\1/;", "(expr (= x /ABC\\d\\1/))"},
      {"x = /\\cJ\\c\\/;", "(expr (= x /\\cJ\\c\\/))"},
      {"x = /a\\\nb/;", "(expr (= x /ab/))"},
      {"x = /a/mgigm;", "(expr (= x /a/gim))"},
      {"x = /a/i.test(s);", "(expr (= x (call (. /a/i test) s)))"},
      {"x = /=a/g;", "(expr (= x /=a/g))"},
      {"x = a / b / c;", "(expr (= x (/ (/ a b) c)))"},
      {"f(/a/, /b/);", "(expr (call f /a/ /b/))"},
  };
  expectTrees(*this, std::begin(cases), std::end(cases));
  // The first unescaped "/" ends the literal, even inside brackets.
  EXPECT_EQ(error("x = /[/]/;"), "error: line 0: syntax error: missing ;");
}

TEST_F(ParserTest, Statements) {
  const TreeCase cases[] = {
      {"{}", ";"},
      {";;", "; ;"},
      {"{ a; { b; } }", "{(expr a) {(expr b)}}"},
      {"var a, b = 1, c = d = 2;", "(var-global a b=1 c=(= d 2))"},
      {"if (a) { var x; }", "(if a {(var x)})"},
      {"if (a) b; else if (c) d; else e;", "(if a (expr b) (if c (expr d) (expr e)))"},
      {"while (i < 3) i++;", "(while (< i 3) (expr (post++ i)))"},
      {"do x(); while (y)", "(do (expr (call x)) y)"},
      {"do { x(); } while (y); z;", "(do {(expr (call x))} y) (expr z)"},
      {"for (;;) ;", "(for _ _ _ ;)"},
      {"for (var i = 0, j; i < n; i++) f();",
       "(for (var i=0 j) (< i n) (post++ i) (expr (call f)))"},
      {"for (i = 0; ; ) break;", "(for (= i 0) _ _ (break))"},
      {"for (x in o) f(x);", "(for-in x o (expr (call f x)))"},
      {"for (var x in o.p) {}", "(for-in (var x) (. o p) ;)"},
      {"for (var x = 1 in o) ;", "(for-in (var x=1) o ;)"},
      {"outer: for (;;) { continue outer; break outer; }",
       "(label outer (for _ _ _ {(continue outer) (break outer)}))"},
      {"a: b: ;", "(label a (label b ;))"},
      {"with (o) { p = 1; }", "(with o {(expr (= p 1))})"},
      {"throw new Error('x');", "(throw (new Error (\"x\")))"},
      {"switch (x) { case 1: case 2: a(); break; default: b(); }",
       "(switch x (case 1) (case 2 (expr (call a)) (break)) (default (expr (call b))) @0)"},
      {"switch (x) {\n}", "(switch x @1)"},
      {"switch (x) { default: case 'a': }", "(switch x (default) (case \"a\") @0)"},
      {"try { a(); } catch (e) { b(); }", "(try {(expr (call a))} (catch e {(expr (call b))}))"},
      {"try a(); finally b();", "(try (expr (call a)) (finally (expr (call b))))"},
      {"try {} catch (e if e == 1) {} catch (e if e == 2) x; catch (e) {} finally {}",
       "(try ; (catch e if (== e 1) ;) (catch e if (== e 2) (expr x)) (catch e ;) (finally ;))"},
  };
  expectTrees(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserTest, AutomaticSemicolons) {
  const TreeCase cases[] = {
      {"a\nb", "(expr a) (expr b)"},
      {"{ a }", "{(expr a)}"},
      {"a", "(expr a)"},
      {"var x = 1\nvar y", "(var-global x=1) (var-global y)"},
      // return, break and continue take their operand from their own line only
      {"return\nx + 1", "(return) (expr (+ x 1))"},
      {"return x +\n 1", "(return (+ x 1))"},
      {"return;", "(return)"},
      {"{ return }", "{(return)}"},
      {"for (;;) { break\nfoo; continue\nfoo }",
       "(for _ _ _ {(break) (expr foo) (continue) (expr foo)})"},
      // postfix ++ and -- bind only on their operand's line
      {"a = b\n++c", "(expr (= a b)) (expr (++ c))"},
      {"a = b++\nc", "(expr (= a (post++ b))) (expr c)"},
      {"a\n--\nb", "(expr a) (expr (-- b))"},
      {"throw e\nx", "(throw e) (expr x)"},
      {"do x; while (y) z", ""},  // placeholder replaced below
      // a label needs its ":" on the identifier's line
      {"a\n: b", ""},
  };
  // The last two are errors: "missing ;" after do-while, "invalid statement" for the split label.
  expectTrees(*this, std::begin(cases), std::end(cases) - 2);
  EXPECT_EQ(error("do x; while (y) z"), "error: line 0: syntax error: missing ;");
  EXPECT_EQ(error("a\n: b"), "error: line 0: syntax error: invalid statement");
}

TEST_F(ParserTest, MissingSemicolonWarnsWhenAsked) {
  Parsed p = parse("a = 1\nreturn\nb++\n{ c }\nbreak;", kCompileWarnMissingSemicolon);
  ASSERT_TRUE(p.ok) << p.messages;
  EXPECT_EQ(p.statements, "(expr (= a 1)) (return) (expr (post++ b)) {(expr c)} (break)");
  EXPECT_EQ(p.messages,
            "warning: line 0: missing ;\r\n"
            "warning: line 1: missing ;\r\n"
            "warning: line 2: missing ;\r\n"
            "warning: line 3: missing ;\r\n");
  // Without the option the same text parses silently.
  EXPECT_EQ(parse("a = 1\nreturn\nb++\n{ c }\nbreak;").messages, "");
}

TEST_F(ParserTest, FunctionsAreHoistedAndNamed) {
  Parsed p = parse(
      "function Outer(a, b) {\n"
      "  function helper() { return arguments; }\n"
      "  var f = function () {};\n"
      "  if (a) { function inner2(x) {} }\n"
      "}\n"
      "x = function () { return 1; };\n"
      "y = function named() {};\n"
      "{ function atTop() {} }\n"
      "function () {}\n");
  ASSERT_TRUE(p.ok) << p.messages;
  EXPECT_EQ(p.functions,
            "(function @F_0 helper () arguments {(return arguments)})\n"
            "(function @F_1 @F_1 () ;)\n"
            "(function @F_2 inner2 (x) ;)\n"
            "(function Outer Outer (a b) arguments {(bind Outer @F_0 helper) "
            "(var f=@F_1) (if a {(bind Outer @F_2 inner2)})})\n"
            "(function @F_3 @F_3 () {(return 1)})\n"
            "(function named named () ;)\n"
            "(function atTop atTop () ;)\n"
            "(function @F_4 @F_4 () ;)\n");
  EXPECT_EQ(p.statements, "(expr (= x @F_3)) (expr (= y named)) {;}");
}

TEST_F(ParserTest, UsesArgumentsOnlyWhenTheBodyNamesIt) {
  Parsed p = parse(
      "function a(arguments) { }\n"
      "function b() { arguments.length; }\n"
      "function c() { x.arguments; }\n"
      "function d() { }\n");
  ASSERT_TRUE(p.ok) << p.messages;
  EXPECT_EQ(p.functions,
            "(function a a (arguments) ;)\n"
            "(function b b () arguments {(expr (. arguments length))})\n"
            "(function c c () arguments {(expr (. x arguments))})\n"
            "(function d d () ;)\n");
}

TEST_F(ParserTest, StructDeclarationsBecomeLayoutTexts) {
  const TreeCase cases[] = {
      {"struct { long x; long y; } POINT;",
       "(expr (= POINT \"<POINT type=\"struct\"><x type=\"long\"></x><y type=\"long\"></y></POINT>\"))"},
      {"struct { unsigned char c[4] unsigned int64 *p; double d; pointer q String s Boolean b }"
       " S",
       "(expr (= S \"<S type=\"struct\"><c type=\"unsigned char\" count=\"4\"></c>"
       "<p type=\"unsigned int64*\"></p><d type=\"double\"></d><q type=\"pointer\"></q>"
       "<s type=\"String\"></s><b type=\"Boolean\"></b></S>\"))"},
      {"struct { short a; struct { int b; float c; } *inner[2]; struct { } e; } T;",
       "(expr (= T \"<T type=\"struct\"><a type=\"short\"></a><inner type=\"struct*\" count=\"2\">"
       "<b type=\"int\"></b><c type=\"float\"></c></inner><e type=\"struct\"></e></T>\"))"},
      {"struct { long v; } P; struct { P at; P *next; } Node;",
       "(expr (= P \"<P type=\"struct\"><v type=\"long\"></v></P>\")) "
       "(expr (= Node \"<Node type=\"struct\"><at type=\"P\"></at><next type=\"P*\"></next></Node>\"))"},
      {"struct { int x; struct { int x; } y; } Q", 
       "(expr (= Q \"<Q type=\"struct\"><x type=\"int\"></x><y type=\"struct\"><x type=\"int\"></x></y></Q>\"))"},
  };
  expectTrees(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserTest, DllImportDeclarations) {
  const TreeCase cases[] = {
      {"dllimport user32 stdcall long MessageBoxA(long hwnd, String text, String, unsigned int);",
       "(dllimport user32 MessageBoxA _ stdcall \"long\" (\"long\" \"String\" \"String\" \"unsigned int\"))"},
      {"dllimport \"kernel32.dll\" cdecl void Sleep(long,) as nap",
       "(dllimport \"kernel32.dll\" Sleep nap cdecl \"void\" (\"long\"))"},
      {"dllimport k pascal unsigned short* f()", "(dllimport k f _ pascal \"unsigned short*\" ())"},
      {"struct { long x; } PT; dllimport k fastcall PT* g(PT *p, void_ok)",
       ""},  // placeholder: void_ok is not a type (checked below)
      {"struct { long x; } PT; dllimport k fastcall PT* g(PT *p, char c)",
       "(expr (= PT \"<PT type=\"struct\"><x type=\"long\"></x></PT>\")) "
       "(dllimport k g _ fastcall \"PT*\" (\"PT*\" \"char\"))"},
  };
  expectTrees(*this, std::begin(cases), std::begin(cases) + 3);
  expectTrees(*this, std::begin(cases) + 4, std::end(cases));
  EXPECT_EQ(error(cases[3].source), "error: line 0: syntax error: invalid argument type");
  // The node keeps the argument count for the code generator.
  std::string text = "dllimport d stdcall void f(int, int, int)";
  MemorySource source(text);
  MessageStream messages;
  CompileArena arena(vm);
  Parser parser(vm, source, messages, arena, 0);
  parser.parseProgram();
  ASSERT_NE(parser.statements(), nullptr);
  EXPECT_EQ(parser.statements()->kind, NodeDllImport);
  EXPECT_EQ(parser.statements()->count, 3);
}

TEST_F(ParserTest, StaticResultKinds) {
  struct KindCase {
    const char* expression;
    int kind;
  };
  const KindCase cases[] = {
      {"null", KindNull},        {"true", KindBoolean},     {"false", KindBoolean},
      {"1", KindInteger},        {"1.5", KindFloat},        {"'s'", KindString},
      {"[1]", KindArray},        {"({})", KindObject},      {"a == b", KindBoolean},
      {"a !== b", KindBoolean},  {"a < b", KindBoolean},    {"a >= b", KindBoolean},
      {"(a < b) && true", KindBoolean}, {"a && true", 0},   {"true || b", 0},
      {"!a", 0},                 {"a + b", 0},              {"a", 0},
      {"a = true", 0},           {"undefined", 0},          {"/x/", 0},
  };
  for (const KindCase& c : cases) {
    std::string text = std::string("x = ") + c.expression + ";";
    MemorySource source(text);
    MessageStream messages;
    CompileArena arena(vm);
    Parser parser(vm, source, messages, arena, 0);
    parser.parseProgram();
    const Node* value = parser.statements()->left->right;
    EXPECT_EQ(value->resultKind, c.kind) << c.expression;
  }
}

TEST_F(ParserTest, NodesCarryTheLineOfTheirLastToken) {
  std::string text = "\n\nfoo(\n1);\nfunction f()\n{\n}";
  MemorySource source(text);
  MessageStream messages;
  CompileArena arena(vm);
  Parser parser(vm, source, messages, arena, 0);
  parser.parseProgram();
  EXPECT_EQ(parser.statements()->line, 3);  // the ";" on line 3
  EXPECT_EQ(parser.functions()->line, 4);   // a function node keeps the line of `function`
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; i++) out += s;
  return out;
}

TEST_F(ParserTest, DeepNestingIsAnErrorNotACrash) {
  const char* tooDeep = "error: line 0: syntax error: statements or expressions nested too deeply";
  const std::string sources[] = {
      "x = " + repeat("(", 1000) + "1" + repeat(")", 1000) + ";",
      repeat("{", 1000) + repeat("}", 1000),
      "x = " + repeat("[", 1000) + repeat("]", 1000) + ";",
      "x = " + repeat("{a:", 1000) + "1" + repeat("}", 1000) + ";",
      "x = " + repeat("!", 100000) + "a;",
      "x = " + repeat("new ", 100000) + "F;",
      "x = " + repeat("a = ", 100000) + "1;",
      "x = " + repeat("a ? b : ", 100000) + "c;",
      repeat("if (a) ", 100000) + ";",
      repeat("function f() {", 1000) + repeat("}", 1000),
      "struct {" + repeat("struct {", 1000) + repeat("} a;", 1000) + "} S;",
  };
  for (const std::string& s : sources) EXPECT_EQ(error(s), tooDeep) << s.substr(0, 40);

  // Long chains do not recurse in the parser but deepen the tree: they are bounded as well.
  const char* tooLong = "error: line 0: syntax error: expression too long or nested too deeply";
  EXPECT_EQ(error("x = a" + repeat(" + a", 5000) + ";"), tooLong);
  EXPECT_EQ(error("x = a" + repeat(".b", 5000) + ";"), tooLong);
  EXPECT_EQ(error("x = f" + repeat("()", 5000) + ";"), tooLong);

  // Nesting within the limits parses.
  const int fits = kMaxParseNesting / 2 - 2;
  EXPECT_TRUE(parse("x = " + repeat("(", fits) + "1" + repeat(")", fits) + ";").ok);
  EXPECT_TRUE(parse(repeat("{", fits) + repeat("}", fits)).ok);
  EXPECT_TRUE(parse("x = a" + repeat(" + a", kMaxTreeDepth - 10) + ";").ok);
  // Long flat lists are not nesting.
  EXPECT_TRUE(parse(repeat("a;", 20000)).ok);
  EXPECT_TRUE(parse("x = [" + repeat("1,", 20000) + "];").ok);
}

}  // namespace
}  // namespace vorlo::test
