// The external-call XML and the exec rules, natively: values written and read back, the reader's
// and writer's limits (depth, cycles, unknown elements) and how "exec" finds its program.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "engine/embed.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "projector/bridge/external_call.h"
#include "projector/bridge/launch_rules.h"
#include "stdlib/array.h"
#include "stdlib/portable_classes.h"

namespace vorlo::bridge {
namespace {

class ExternalCall : public ::testing::Test {
 protected:
  void SetUp() override { engine_ = createPortableEngine(); ASSERT_NE(engine_, nullptr); }
  void TearDown() override { destroyEngine(engine_); }

  ScriptVM* vm() { return engine_->vm; }
  // The value of a script expression.
  // The value of an expression, or (with `statements`) of __v after they ran.
  ScriptValue eval(const std::string& source, bool statements = false) {
    std::string text = statements ? source : "var __v = " + source + ";";
    EXPECT_EQ(runText(engine_, text.data(), text.size()), 1) << source << ": " << engineMessage(vm());
    return globalValue("__v");
  }
  ScriptValue globalValue(const char* name) { return getGlobal(vm(), intern(vm(), name)); }
  std::u16string write(const ScriptValue& v, HandleIssuer issue = nullptr) {
    std::u16string out;
    EXPECT_TRUE(writeValue(vm(), v, issue, out));
    return out;
  }
  // Script source that describes a value read back, through a global.
  std::string describe(const ScriptValue& v) {
    setGlobal(vm(), intern(vm(), "__r"), v);
    const char* text = "function d(v) { if (v === undefined) return 'undefined'; if (v === null) return 'null';"
                       " if (typeof v == 'string') return \"'\" + v + \"'\";"
                       " if (typeof v == 'object' && typeof v.length == 'number') { var s = '['; for (var i = 0; i < v.length; i++) s += (i ? ',' : '') + d(v[i]); return s + ']'; }"
                       " if (typeof v == 'object') { var o = '{'; for (var k in v) o += k + ':' + d(v[k]) + ';'; return o + '}'; }"
                       " return typeof v + ' ' + v; } d(__r);";
    EXPECT_EQ(runText(engine_, text, std::strlen(text)), 1) << engineMessage(vm());
    return vm()->result.isString() ? stringToAnsi(vm()->result.asString()) : "?";
  }

  Engine* engine_ = nullptr;
};

TEST_F(ExternalCall, ValuesAreWrittenAsTheMovieReadsThem) {
  struct Case {
    const char* script;
    const char16_t* xml;
  } cases[] = {
      {"undefined", u"<undefined/>"},
      {"null", u"<null/>"},
      {"true", u"<true/>"},
      {"false", u"<false/>"},
      {"42", u"<number>42</number>"},
      {"4294967301", u"<number>5</number>"},  // the low 32 bits
      {"-1", u"<number>-1</number>"},
      {"2.5", u"<number>2.5</number>"},
      {"0/0", u"<number>NaN</number>"},
      {"''", u"<string>null</string>"},
      {"'a<b&c>\"\\''", u"<string>a&lt;b&amp;c&gt;&quot;&apos;</string>"},
      {"[1, 'x']", u"<array><property id=\"0\"><number>1</number></property><property id=\"1\"><string>x</string></property></array>"},
      {"{a: [true]}", u"<object><property id=\"a\"><array><property id=\"0\"><true/></property></array></property></object>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(write(eval(c.script)), c.xml) << c.script;
  }
  // Properties in the order they were made; names escaped like texts.
  EXPECT_EQ(write(eval("var __v = {}; __v.b = 1; __v['q\"<'] = 2; __v.a = 3;", true)),
            u"<object><property id=\"b\"><number>1</number></property><property id=\"q&quot;&lt;\"><number>2</number>"
            u"</property><property id=\"a\"><number>3</number></property></object>");
}

TEST_F(ExternalCall, ValuesAreReadAsScriptsSeeThem) {
  struct Case {
    const char16_t* xml;
    const char* described;
  } cases[] = {
      {u"<undefined/>", "undefined"},
      {u"<NULL/>", "null"},  // names ignore case
      {u"<true/>", "boolean true"},
      {u"<number></number>", "number 0"},
      {u"<number>7</number>", "number 7"},
      {u"<number>4294967301</number>", "number 4294967301"},
      {u"<number>1.5</number>", "number 1.5"},
      {u"<number>1e3</number>", "number 1000"},
      {u"<number>NaN</number>", "number NaN"},
      {u"<number>abc</number>", "number NaN"},
      {u"<string/>", "''"},
      {u"<string>null</string>", "''"},
      {u"<string>Null</string>", "'Null'"},
      {u"<string>a&amp;lt;b</string>", "'a&lt;b'"},  // entities decoded once
      {u"<string>a&lt;b</string>", "'a<b'"},
      {u"<array><property id=\"2\"><string>z</string></property><property id=\"0\"><number>1</number></property></array>",
       "[number 1,undefined,'z']"},
      {u"<object><property id=\"k\"><array/></property></object>", "{k:[];}"},
  };
  for (const Case& c : cases) {
    ScriptValue v = readResponse(vm(), c.xml);
    ValueRoot keep(vm(), v);
    EXPECT_EQ(describe(v), c.described) << std::string(c.xml, c.xml + std::char_traits<char16_t>::length(c.xml));
  }
}

TEST_F(ExternalCall, RequestsCarryTheNameAndEveryArgument) {
  ValueRoot args(vm(), eval("['f', 2, [3]]"));
  ScriptValue list[3];
  for (int i = 0; i < 3; ++i) arrayGet(args.value.asArray(), i, &list[i]);
  std::optional<std::u16string> xml = writeRequest(vm(), u"call<me>", list, 3, nullptr);
  ASSERT_TRUE(xml);
  EXPECT_EQ(*xml, u"<invoke name=\"call<me>\" returntype=\"xml\"><arguments><string>f</string><number>2</number>"
                  u"<array><property id=\"0\"><number>3</number></property></array></arguments></invoke>");

  std::optional<Request> r = readRequest(vm(), u"<?xml version=\"1.0\"?><invoke name=\"go\" returntype=\"xml\"><arguments>"
                                               u"<string>a</string><null/></arguments></invoke>");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->name, "go");
  ASSERT_EQ(r->arguments.size(), 2u);
  EXPECT_TRUE(r->arguments[1].is(KindNull));
  // No arguments element: a call without arguments.
  r = readRequest(vm(), u"<invoke name=\"bare\"/>");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->arguments.empty());

  // What cannot be read makes no call.
  for (const char16_t* bad : {u"", u"<call name=\"x\"/>", u"<invoke><arguments/></invoke>",
                              u"<invoke name=\"x\"><arguments><date>1</date></arguments></invoke>",
                              u"<invoke name=\"x\"><arguments><array><property id=\"0\"><blob/></property></array></arguments></invoke>"}) {
    EXPECT_FALSE(readRequest(vm(), bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  // An answer that is an invoke or unreadable is undefined.
  EXPECT_TRUE(readResponse(vm(), u"<invoke name=\"x\"/>").isUndefined());
  EXPECT_TRUE(readResponse(vm(), u"<weird/>").isUndefined());
  EXPECT_TRUE(readResponse(vm(), u"not xml <").isUndefined());
}

TEST_F(ExternalCall, NestingAndCyclesAreBounded) {
  // Writing: a cycle and nesting beyond the limit fail; a shared (not cyclic) value is fine.
  std::u16string out;
  EXPECT_FALSE(writeValue(vm(), eval("var __v = {}; __v.me = __v;", true), nullptr, out));
  out.clear();
  EXPECT_FALSE(writeValue(vm(), eval("var __v = [1]; __v[1] = [__v];", true), nullptr, out));
  out.clear();
  EXPECT_TRUE(writeValue(vm(), eval("var s = [1]; var __v = [s, s];", true), nullptr, out));
  out.clear();
  EXPECT_FALSE(writeValue(vm(), eval("var __v = []; for (var i = 0; i < 300; i++) __v = [__v];", true), nullptr, out));
  out.clear();
  EXPECT_TRUE(writeValue(vm(), eval("var __v = []; for (var i = 0; i < 200; i++) __v = [__v];", true), nullptr, out));

  // Reading: 100,000 nested arrays give undefined without running the stack out; 200 are read.
  auto nested = [](int depth) {
    std::u16string xml;
    for (int i = 0; i < depth; ++i) xml += u"<array><property id=\"0\">";
    xml += u"<true/>";
    for (int i = 0; i < depth; ++i) xml += u"</property></array>";
    return xml;
  };
  EXPECT_TRUE(readResponse(vm(), nested(100000)).isUndefined());
  EXPECT_TRUE(readResponse(vm(), nested(300)).isUndefined());
  EXPECT_TRUE(readResponse(vm(), nested(200)).is(KindArray));
  EXPECT_FALSE(readRequest(vm(), u"<invoke name=\"f\"><arguments>" + nested(100000) + u"</arguments></invoke>"));
}

TEST_F(ExternalCall, NativeObjectsTravelAsTheHandlesTheIssuerGives) {
  ScriptValue math = globalValue("Math");
  ASSERT_TRUE(math.is(KindNative));
  std::u16string out;
  EXPECT_FALSE(writeValue(vm(), math, nullptr, out));  // no handles: cannot be sent
  out.clear();
  int issued = 0;
  HandleIssuer issue = [&](const ScriptValue&) -> std::optional<int64_t> {
    ++issued;
    return int64_t(140737488355328);  // a 48-bit address stays whole
  };
  EXPECT_TRUE(writeValue(vm(), math, issue, out));
  EXPECT_EQ(out, u"<number>140737488355328</number>");
  EXPECT_EQ(issued, 1);
}

TEST(LaunchRules, TheCommandSplitsAtTheLastQuoteOrTheFirstSpace) {
  struct Case {
    const char* text;
    const char* program;
    const char* parameters;
  } cases[] = {
      {"\"C:\\Program Files\\app.exe\" /s", "C:\\Program Files\\app.exe", " /s"},
      {"\"a b\"", "a b", ""},
      {"notepad.exe readme.txt now", "notepad.exe", " readme.txt now"},
      {"calc.exe", "calc.exe", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    LaunchCommand l = splitLaunchCommand(c.text);
    EXPECT_EQ(l.program, c.program) << c.text;
    EXPECT_EQ(l.parameters, c.parameters) << c.text;
  }
}

TEST(LaunchRules, ProgramsAreLookedForInOrder) {
  std::set<std::string> files;
  LaunchPlaces places;
  places.programFolder = "C:\\app\\";
  places.systemFolder = "C:\\windows\\system32";
  places.windowsFolder = "C:\\windows";
  places.pathVariable = "C:\\tools;;D:\\bin";
  places.fileExists = [&](const std::string& p) { return files.count(p) > 0; };
  std::string packaged;
  places.packagedFile = [&](const std::string& p) { return p == "setup.exe" ? packaged : std::string(); };

  EXPECT_EQ(resolveProgram("x.exe", places), "");  // nothing exists: nothing is launched
  EXPECT_EQ(resolveProgram("", places), "");
  files = {"D:\\bin\\x.exe"};
  EXPECT_EQ(resolveProgram("x.exe", places), "D:\\bin\\x.exe");
  files.insert("C:\\windows\\x.exe");
  EXPECT_EQ(resolveProgram("x.exe", places), "C:\\windows\\x.exe");
  files.insert("C:\\app\\fscommand\\x.exe");
  EXPECT_EQ(resolveProgram("/x.exe", places), "C:\\app\\fscommand\\x.exe");
  files.insert("C:\\app\\sub\\x.exe");
  EXPECT_EQ(resolveProgram("sub/x.exe", places), "C:\\app\\sub\\x.exe");
  // Absolute paths are used only when they exist.
  EXPECT_EQ(resolveProgram("E:\\x.exe", places), "");
  files.insert("E:\\x.exe");
  EXPECT_EQ(resolveProgram("E:/x.exe", places), "E:\\x.exe");
  // A packaged file comes first.
  packaged = "C:\\work\\setup.exe";
  files.insert(packaged);
  files.insert("C:\\app\\setup.exe");
  EXPECT_EQ(resolveProgram("setup.exe", places), packaged);
}

}  // namespace
}  // namespace vorlo::bridge
