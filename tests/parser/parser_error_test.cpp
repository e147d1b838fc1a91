// Every syntax error the parser reports, with the line it names (the line of the last token
// consumed, counted from 0), and the lexer's errors as they surface through the parser.
#include "tests/parser/parse_fixture.h"

namespace vorlo::test {
namespace {

using ParserErrorTest = ParseFixture;

struct ErrorCase {
  const char* source;
  int line;
  const char* message;  // the text after "syntax error: ", or the whole text when it starts with "="
};

void expectErrors(ParseFixture& f, const ErrorCase* begin, const ErrorCase* end) {
  for (const ErrorCase* c = begin; c != end; ++c) {
    std::string expected = "error: line " + std::to_string(c->line) + ": ";
    expected += c->message[0] == '=' ? std::string(c->message + 1)
                                     : "syntax error: " + std::string(c->message);
    EXPECT_EQ(f.error(c->source), expected) << c->source;
  }
}

TEST_F(ParserErrorTest, StatementErrors) {
  const ErrorCase cases[] = {
      {"x;\n\ny = 1; )", 2, "invalid statement"},
      {"#", 0, "invalid statement"},
      {"{\n a;\n )", 1, "missing } after block"},
      {"{ a;", 0, "missing } after block"},
      {"var a = ;", 0, "invalid variable initialization"},
      {"var a,\n 1;", 0, "illegal identifier"},
      {"var 1;", 0, "missing variable name"},
      {"if x;", 0, "missing ( before condition"},
      {"if\n() x;", 1, "invalid condition expression"},
      {"if (a b", 0, "missing ) after condition"},
      {"if (a)\n", 0, "invalid statement"},
      {"if (a) x; else", 0, "invalid statement"},
      {"while x", 0, "missing ( before condition"},
      {"while (a) )", 0, "invalid statement"},
      {"do )", 0, "invalid statement"},
      {"do x;\n y", 0, "missing while after do-loop body"},
      {"do x; while y", 0, "missing ( before condition"},
      {"do x; while ()", 0, "invalid condition expression"},
      {"do x; while (a;", 0, "missing ) after condition"},
      {"for x", 0, "missing ( after for"},
      {"for ()", 0, "invalid for-loop initializer or for-in expression"},
      {"for (x in ) ;", 0, "invalid for-loop initializer or for-in expression"},
      {"for (; ) ;", 0, "invalid for-loop condition expression"},
      {"for (; a b) ;", 0, "missing ; after for-loop condition"},
      {"for (;; ]) ;", 0, "invalid for-loop control expression"},
      {"for (o.p in x) ;", 0, "illegal identifier"},
      {"for (f() in x) ;", 0, "illegal identifier"},
      {"for (var a, b in x) ;", 0, "more than one variable declaration"},
      {"for (a b) ;", 0, "missing ; after for-loop initializer"},
      {"for (;; x ;", 0, "missing ) after for-loop control"},
      {"for (x in o ;", 0, "missing ) after for-loop control"},
      {"for (;;)", 0, "invalid statement"},
      {"a:", 0, "invalid label"},
      {"a b", 0, "missing ;"},
      {"x = 1 2", 0, "missing ;"},
      {"undefined = 1;", 0, "missing ;"},
      {"1 = 2;", 0, "missing ;"},
      {"return )", 0, "invalid return"},
      {"throw;", 0, "invalid throw"},
      {"throw\n;", 0, "invalid throw"},
      {"switch x", 0, "missing ( before switch expression"},
      {"switch () {}", 0, "invalid switch expression"},
      {"switch (x {}", 0, "missing ) after switch expression"},
      {"switch (x) case", 0, "missing { before switch body"},
      {"switch (x) { case : }", 0, "invalid case expression"},
      {"switch (x) { case 1 }", 0, "missing : after case label"},
      {"switch (x) { default }", 0, "missing : after case label"},
      {"switch (x) { case 1: ) }", 0, "invalid statement"},
      {"switch (x) { case 1: a;", 0, "invalid statement"},
      {"switch (x) { x; }", 0, "missing } after switch block"},
      {"switch (x) {\n default: a;\n default: b;\n}", 3, "=more than one switch default"},
      {"with o", 0, "missing ( before with-statement object"},
      {"with () x;", 0, "invalid with-statement object"},
      {"with (o x;", 0, "missing ) after with-statement object"},
      {"with (o)", 0, "invalid with block"},
      {"try", 0, "invalid statement"},
      {"try {}\n\n x;", 2, "missing catch or finally after try"},
      {"try {}", 0, "missing catch or finally after try"},
      {"try {} catch e {}", 0, "missing ( before catch"},
      {"try {} catch (1) {}", 0, "missing identifier in catch"},
      {"try {} catch (e {}", 0, "missing ) after catch"},
      {"try {} catch (e if ) {}", 0, "invalid condition expression"},
      {"try {} catch (e)", 0, "invalid statement"},
      {"try {} finally", 0, "invalid statement"},
  };
  expectErrors(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserErrorTest, FunctionErrors) {
  const ErrorCase cases[] = {
      {"function f {}", 0, "missing ( before formal parameters"},
      {"function f(1) {}", 0, "illegal identifier"},
      {"function f(a,\n) {}", 0, "illegal identifier"},
      {"function f(a b) {}", 0, "missing ) after formal parameters"},
      {"function f()\n return;", 0, "invalid function body"},
      {"function f() { )", 0, "missing } after block"},
      // a definition is a value only on the right of "="
      {"x = (function () {});", 0, "invalid expression"},
      {"f(function () {});", 0, "missing ) after argument list"},
      {"x += function () {};", 0, "invalid expression"},
      {"x = [function () {}];", 0, "missing ] after element list"},
  };
  expectErrors(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserErrorTest, ExpressionErrors) {
  const ErrorCase cases[] = {
      {"a +\n;", 0, "invalid expression"},
      {"a = ;", 0, "invalid expression"},
      {"a, ;", 0, "invalid expression"},
      {"(a;", 0, "invalid expression"},
      {"();", 0, "invalid expression"},
      {"new ;", 0, "invalid expression"},
      {"!;", 0, "invalid expression"},
      {"a ? : b;", 0, "invalid expression"},
      {"a ? b c;", 0, "missing : in conditional expression"},
      {"a ? b : ;", 0, "invalid expression"},
      {"a.class;", 0, "illegal identifier"},
      {"a.\n'x';", 0, "illegal identifier"},
      {"a[1;", 0, "missing ] in index expression"},
      {"a[];", 0, "invalid expression"},
      {"f(1;", 0, "missing ) after argument list"},
      {"f(1,);", 0, "invalid expression"},
      {"x = [1 2];", 0, "missing ] after element list"},
      {"x = [1,\n2", 1, "missing ] after element list"},
      {"x = {1.5: 2};", 0, "invalid property id"},
      {"x = {class: 1};", 0, "invalid property id"},
      {"x = {,};", 0, "invalid property id"},
      {"x = {a 1};", 0, "missing : after property id"},
      {"x = {a: };", 0, "invalid expression"},
      {"x = {a: 1 b: 2};", 0, "missing } after property list"},
      {"x = # 1;", 0, "invalid expression"},
      {"x = in;", 0, "invalid expression"},
      // reserved words are keywords that no rule accepts
      {"class = 1;", 0, "invalid statement"},
      {"var class;", 0, "missing variable name"},
      {"var const = 1;", 0, "missing variable name"},
      {"var enum;", 0, "missing variable name"},
      {"var super;", 0, "missing variable name"},
      {"var true;", 0, "missing variable name"},
      {"var undefined;", 0, "missing variable name"},
      {"debugger;", 0, "invalid statement"},
      {"x = as;", 0, "invalid expression"},
  };
  expectErrors(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserErrorTest, StructAndDllImportErrors) {
  const ErrorCase cases[] = {
      {"struct x", 0, "missing { after structure"},
      {"struct { int } S;", 0, "invalid structure member"},
      {"struct { unsigned double d; } S;", 0, "invalid structure member"},
      {"struct { unsigned x; } S;", 0, "invalid structure member"},
      {"struct { foo x; } S;", 0, "invalid structure member"},
      {"struct { void x; } S;", 0, "invalid structure member"},
      {"struct { int a[0]; } S;", 0, "invalid structure member"},
      {"struct { int a[-1]; } S;", 0, "invalid structure member"},
      {"struct { int a[b]; } S;", 0, "invalid structure member"},
      {"struct { int a[2; } S;", 0, "invalid structure member"},
      {"struct { int a[2.0]; } S;", 0, "invalid structure member"},
      {"struct { long v; } P; struct { unsigned P p; } S;", 0, "invalid structure member"},
      {"struct { S self; } S;", 0, "invalid structure member"},
      {"struct { struct x; } S;", 0, "invalid structure member"},
      {"struct { int a;", 0, "invalid structure member"},
      {"struct { int a;\n long a; } S", 1, "structure member redefined"},
      {"struct { struct { int a; long a; } in; } S", 0, "structure member redefined"},
      {"struct { int a; };", 0, "structure must have a name"},
      {"struct { int a; }", 0, "structure must have a name"},
      {"struct { int a; } S;\nstruct { int b; } S;", 1, "structure redefined"},
      {"dllimport 1 stdcall void f();", 0, "invalid dll name"},
      {"dllimport k thiscall void f();", 0,
       "invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall"},
      {"dllimport k 'stdcall' void f();", 0,
       "invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall"},
      {"dllimport k stdcall foo f();", 0, "invalid return type"},
      {"dllimport k stdcall unsigned void f();", 0, "invalid return type"},
      {"dllimport k stdcall unsigned float f();", 0, "invalid return type"},
      {"dllimport k stdcall void 1();", 0, "invalid function name"},
      {"dllimport k stdcall void f;", 0, "missing ( after function name"},
      {"dllimport k stdcall void f(void);", 0, "invalid argument type"},
      {"dllimport k stdcall void f(,);", 0, "invalid argument type"},
      {"dllimport k stdcall void f(int a b);", 0, "missing , after argument"},
      {"dllimport k stdcall void f(int;", 0, "missing , after argument"},
      {"dllimport k stdcall void f() as 1;", 0, "invalid alias name of the imported function"},
  };
  expectErrors(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserErrorTest, LexerErrorsStopTheParse) {
  const ErrorCase cases[] = {
      {"x = /abc", 0, "=unterminated regular expression constant"},
      {"x = /a\\", 0, "=unterminated regular expression constant"},
      {"x = /\\c", 0, "=unterminated regular expression constant"},
      {"x = /\\xZZ/", 0, "=illegal character '\\xZZ'"},
      {"x = /\\u00G0/", 0, "=illegal unicode character '\\u00G0'"},
      {"x = 1;\ny = 2e;", 1, "=invalid exponent part in a decimal literal"},
      {"x = 'a\nb", 1, "=unterminated string constant"},
  };
  expectErrors(*this, std::begin(cases), std::end(cases));
}

TEST_F(ParserErrorTest, OnlyTheFirstErrorIsReported) {
  Parsed p = parse("a b; c d; e f;");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.messages, "error: line 0: syntax error: missing ;\r\n");
  // Warnings given before the error stay in the stream.
  p = parse("x = '\\q';\n)", 0);
  EXPECT_EQ(p.messages,
            "warning: line 0: unknown escape sequence '\\q'\r\n"
            "error: line 0: syntax error: invalid statement\r\n");
}

}  // namespace
}  // namespace vorlo::test
