// The interpreter and the embedding seen from a host: runs, failures that leave the engine usable,
// calls into scripts, eval, run-file rules, the hook, the bounds on recursion.
//
// The Number and Object classes are not written yet; two small stand-ins registered here give
// integers their text and scripts their `new Object` (which `arguments` needs), so that the machine's
// own paths (THROW of a number, ARGFIX with `arguments`) can be tested now.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <algorithm>
#include <memory>

#include "engine/compiler.h"
#include "engine/embed.h"
#include "engine/image.h"
#include "engine/opcodes.h"
#include "engine/object.h"
#include "engine/source_stream.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/trace.h"
#include "stdlib/binding.h"
#include "stdlib/portable_classes.h"

namespace vorlo {
namespace {

void integerText(MemberCall& call) {
  auto* self = static_cast<ScriptValue*>(call.self);
  std::string text = std::to_string(self ? self->asInt() : 0);
  setStringFromAnsi(call.vm, call.result, text.data(), text.size());
}
constexpr Member kNumberMembers[] = {{"toString", integerText}};

void constructObject(ScriptVM* vm, NativeClass*, const ScriptValue*, ScriptValue* result) {
  *result = ScriptValue::object(newObject(vm));
}

void registerWithStandIns(ScriptVM* vm) {
  registerPortableClasses(vm);
  registerClass(vm, ClassDef{"NumberStandIn", kNumberMembers, nullptr, nullptr, nullptr, nullptr,
                             kindBit(KindInteger)});
  registerClass(vm, ClassDef{"Object", {}, nullptr, constructObject});
}

std::vector<std::string>* gLines = nullptr;
void collectLine(void*, std::string_view line) { gLines->emplace_back(line); }

class VmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLines = &lines;
    setTraceSink(collectLine, nullptr);
    engine = createEngine(&options, registerWithStandIns);
    ASSERT_NE(engine, nullptr);
    vm = engine->vm;
  }
  void TearDown() override {
    destroyEngine(engine);
    setTraceSink(nullptr, nullptr);
    gLines = nullptr;
  }

  int run(const std::string& text) { return runText(engine, text.data(), text.size()); }
  std::string resultText() {
    if (!vm->result.isString()) return "<not a string>";
    return stringToAnsi(vm->result.asString());
  }
  std::string message() { return engineMessage(vm); }
  bool resultIs(bool b) { return vm->result.is(KindBoolean) && vm->result.asBool() == b; }

  VMOptions options;
  Engine* engine = nullptr;
  ScriptVM* vm = nullptr;
  std::vector<std::string> lines;
};

TEST_F(VmTest, UncaughtThrowEndsTheRunWithTheValueAsMessage) {
  EXPECT_EQ(run("trace('before'); throw 5; trace('after');"), 0);
  EXPECT_EQ(message(), "5");
  EXPECT_EQ(lines, std::vector<std::string>{"before"});
  EXPECT_EQ(run("function f() { throw 'text'; } f();"), 0);
  EXPECT_EQ(message(), "text");
}

TEST_F(VmTest, ArgumentsHoldEveryArgumentAndMissingOnesArePadded) {
  ASSERT_EQ(run("function f(a, b) { return arguments.length === 4 && arguments[3] === 'd' &&"
                " arguments.callee === f && b === 'b'; }"
                "f('a', 'b', 'c', 'd');"),
            1)
      << message();
  EXPECT_TRUE(resultIs(true));
  ASSERT_EQ(run("function g(a, b, c) { return arguments.length === 1 && c === undefined; } g(1);"), 1);
  EXPECT_TRUE(resultIs(true));
  // A padded constructor still hands back the object it built.
  ASSERT_EQ(run("function P(a, b, c, d) { this.d = d; this.a = a; } p = new P('x'); p.a === 'x' && p.d === undefined;"), 1);
  EXPECT_TRUE(resultIs(true));
}

TEST_F(VmTest, CallGlobalOfAValueThatCannotBeCalledFails) {
  ASSERT_EQ(run("handler = 5;"), 1);
  ScriptValue args[1] = {ScriptValue::integer(0)};
  EXPECT_FALSE(callGlobal(vm, "handler", 1, args));
  EXPECT_EQ(message(), "Warning: call a undefined function");
  EXPECT_FALSE(callGlobal(vm, "neverDefined", 1, args));
}

TEST_F(VmTest, AFailingEventHandlerLeavesTheEngineUsable) {
  ASSERT_EQ(run("function onEvent(kind) {"
                "  if (kind === 1) return onEvent(1);"
                "  if (kind === 2) throw 'thrown from handler';"
                "  return 'handled'; }"),
            1);
  ScriptValue* stackBefore = vm->stackPointer;
  ScriptValue one[2] = {ScriptValue::integer(1), ScriptValue::integer(1)};
  EXPECT_FALSE(callGlobal(vm, "onEvent", 2, one));
  EXPECT_EQ(message(), "Runtime error: stack overflow");
  EXPECT_EQ(vm->stackPointer, stackBefore);
  ScriptValue two[2] = {ScriptValue::integer(1), ScriptValue::integer(2)};
  EXPECT_FALSE(callGlobal(vm, "onEvent", 2, two));
  EXPECT_EQ(message(), "thrown from handler");
  EXPECT_EQ(vm->stackPointer, stackBefore);
  ScriptValue three[2] = {ScriptValue::integer(1), ScriptValue::integer(3)};
  ASSERT_TRUE(callGlobal(vm, "onEvent", 2, three)) << message();
  EXPECT_EQ(resultText(), "handled");
  EXPECT_EQ(vm->exec.errorFrames.size(), 0u);
  EXPECT_EQ(vm->exec.runningCode.size(), 0u);
}

TEST_F(VmTest, CallMethodFindsScriptMethodsAndReportsUnknownOnes) {
  ASSERT_EQ(run("function T() { this.name = 'tee'; } function hello(x) { return this.name + x; }"
                "t = new T(); t.hello = hello;"),
            1);
  ScriptValue t = getGlobal(vm, intern(vm, "t"));
  ScriptValue args[2] = {ScriptValue::integer(1), staticString(vm, u"!")};
  ASSERT_TRUE(callMethod(vm, t, "hello", 2, args)) << message();
  EXPECT_EQ(resultText(), "tee!");
  EXPECT_FALSE(callMethod(vm, t, "nope", 1, args));
  EXPECT_EQ(message(), "Warning: unknown method \"nope\"");
}

// Runaway recursion through natives that run scripts (conversion methods, eval, sort comparators)
// ends the whole run with "stack overflow" like plain recursion, quickly, and leaves the machine
// usable. A program inside eval that overflows on its own
// ends only the eval.
TEST_F(VmTest, RecursionThroughNativesEndsTheRunWithStackOverflow) {
  const char* runaway[] = {
      "function T() {} function text() { return '<' + this + '>'; } t = new T(); t.toString = text; '' + t;",
      "depth = 0; function f() { depth++; eval('f()'); } f(); depth;",
      "function f(n) { return [1, 2, 3].sort(g); } function g(a, b) { f(0); return 0; } f(0);",
      "function f() { var a = [1, 2, 3, 4, 5, 6, 7, 8]; return eval('f()') + a.length; } f();",
  };
  for (const char* text : runaway) {
    EXPECT_EQ(run(text), 0) << text;
    EXPECT_EQ(message(), "Runtime error: stack overflow") << text;
    EXPECT_EQ(run("'still usable';"), 1);
  }
  ASSERT_EQ(run("eval('function deep() { return deep(); } deep();'); 'went on';"), 1) << message();
  EXPECT_EQ(resultText(), "went on");
  EXPECT_EQ(run("'still usable';"), 1);
  EXPECT_EQ(resultText(), "still usable");
}

TEST_F(VmTest, EvalRunsTextAndReturnsOtherValuesUnchanged) {
  ASSERT_EQ(run("eval('1 + 2');"), 1);
  ASSERT_TRUE(vm->result.is(KindInteger));
  EXPECT_EQ(vm->result.asInt(), 3);
  ASSERT_EQ(run("x = 'kept'; eval('x = ; 1'); x;"), 1);
  EXPECT_EQ(resultText(), "kept");
  EXPECT_NE(std::string(vm->message).find("error: line"), std::string::npos) << vm->message;
}

TEST_F(VmTest, CompileErrorsRunNothingAndLeaveTheCompilerMessage) {
  EXPECT_EQ(run("trace('no'); x = ;"), 0);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(message().rfind("error: line 0", 0), 0u) << message();
}

std::vector<uint8_t> compileToImage(ScriptVM* vm, const std::string& text) {
  MemorySource source(text);
  CompileOutput out;
  EXPECT_TRUE(compileScript(vm, source, 0, out)) << out.messages;
  return out.image;
}

TEST_F(VmTest, RunFileChoosesImageOrSourceByContent) {
  std::vector<uint8_t> image = compileToImage(vm, "'from the image';");
  std::string base = ::testing::TempDir() + "vm_run_file";
  auto write = [](const std::string& path, const std::string& prefix, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << prefix;
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };
  write(base + ".txt", "", image);
  ASSERT_EQ(runFile(engine, (base + ".txt").c_str()), 1) << message();
  EXPECT_EQ(resultText(), "from the image");
  write(base + "2.txt", "#!/usr/bin/vorlo run\n", image);
  ASSERT_EQ(runFile(engine, (base + "2.txt").c_str()), 1) << message();
  EXPECT_EQ(resultText(), "from the image");
  std::string source = "'from the source';";
  write(base + ".script", "", std::vector<uint8_t>(source.begin(), source.end()));
  ASSERT_EQ(runFile(engine, (base + ".script").c_str()), 1) << message();
  EXPECT_EQ(resultText(), "from the source");
  EXPECT_EQ(runFile(engine, (base + "-missing.vos").c_str()), -1);
  EXPECT_NE(message().find("can't open the script file: "), std::string::npos);
  for (const char* suffix : {".txt", "2.txt", ".script"}) std::remove((base + suffix).c_str());
}

TEST_F(VmTest, DamagedImagesAreRefusedWithoutRunning) {
  std::vector<uint8_t> image = compileToImage(vm, "trace('ran');");
  for (size_t cut : {size_t(0), size_t(4), image.size() / 2, image.size() - 1}) {
    EXPECT_EQ(runImageBuffer(engine, image.data(), cut), 0) << cut;
  }
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(runImageBuffer(engine, image.data(), image.size()), 1);
  EXPECT_EQ(lines, std::vector<std::string>{"ran"});
}

TEST_F(VmTest, RuntimeErrorsNameTheFunctionAndWithDebugInformationTheLine) {
  EXPECT_EQ(run("function inner() {\n  return inner();\n}\ninner();"), 0);
  EXPECT_EQ(lastErrorLocation(vm), "in function inner");
  VMOptions debug;
  debug.optionBits |= kOptionDebugInfo;
  Engine* withLines = createEngine(&debug, registerWithStandIns);
  ASSERT_NE(withLines, nullptr);
  std::string text = "x = 1;\nfunction inner() {\n  return inner();\n}\ninner();";
  EXPECT_EQ(runText(withLines, text.data(), text.size()), 0);
  EXPECT_EQ(lastErrorLocation(withLines->vm), "in function inner (string:3)");
  destroyEngine(withLines);
}

int breakingHook(ScriptVM*, int event, uint32_t data) {
  return event == static_cast<int>(HookEvent::AfterCollection) ? int(data) : 0;
}

TEST(VmHook, ANonzeroHookAnswerStopsTheRun) {
  VMOptions options;
  options.hook = breakingHook;
  options.hookData = 7;
  Engine* engine = createEngine(&options, registerPortableClasses);
  ASSERT_NE(engine, nullptr);
  engine->vm->heap.threshold = 256;
  std::string text = "s = ''; for (i = 0; i < 10000; i++) s = s + 'x'; 'done';";
  EXPECT_EQ(runText(engine, text.data(), text.size()), 0);
  EXPECT_STREQ(engineMessage(engine->vm), "Runtime error: hook break 7");
  destroyEngine(engine);
}

TEST(VmOptions, CompileFlagsFollowTheOptionBits) {
  VMOptions options;  // the defaults: three of the optimiser bits
  EXPECT_EQ(compileFlagsFor(options), 0x160u);
  options.userValue = 9;
  options.optionBits = kOptionDebugInfo | kOptionWarnMissingSemicolon | kOptionWarnLineFeedInString;
  EXPECT_EQ(compileFlagsFor(options), 0x1u | 0x4u | 0x100000u | 0x200000u);
}

}  // namespace
}  // namespace vorlo

namespace vorlo {
namespace {

// Images that pass the reader but whose code misuses the stack (pops past its frame, slots beyond
// its arguments, calls with counts that lie) end with a runtime error, never with a crash: every
// instruction of a small program is replaced by every other instruction of the same size and
// operand kind, and every byte operand by a spread of values. (The program has no loops: a mutation
// may loop for ever, which is no fault of the machine.)
TEST_F(VmTest, MutatedCodeNeverEscapesItsFrame) {
  std::vector<uint8_t> image = compileToImage(
      vm, "function f(a, b) { var x = a; with (b) { x = x + a; } try { throw x; } catch (e) { return e; } }"
          "function g(a) { this.a = a; return a; }"
          "r = f('p', new g('q')); r = r + g('s', 2) + ('ab'[1] === 98); r;");
  std::unique_ptr<BytecodeImage> decoded = readImage(image.data(), image.size());
  ASSERT_NE(decoded, nullptr);
  auto at = std::search(image.begin(), image.end(), decoded->code.begin(), decoded->code.end());
  ASSERT_NE(at, image.end());
  size_t codeOffset = size_t(at - image.begin());
  std::vector<int> plain, withByte;
  for (int op = kFirstOpcode; op <= kLastOpcode; op++) {
    if (op == OpHalt) continue;
    if (opcodeInfo(op).operand == OperandNone) plain.push_back(op);
    if (opcodeInfo(op).operand == OperandByte) withByte.push_back(op);
  }
  int runs = 0;
  forEachInstruction(*decoded, 0, uint32_t(decoded->code.size()), [&](uint32_t offset, int op, int64_t, int) {
    size_t where = codeOffset + offset;
    std::vector<uint8_t> mutated = image;
    if (opcodeInfo(op).operand == OperandNone) {
      for (int other : plain) {
        mutated[where] = uint8_t(other);
        runImageBuffer(engine, mutated.data(), mutated.size());
        runs++;
      }
    } else if (opcodeInfo(op).operand == OperandByte) {
      for (int other : withByte) {
        for (int value : {-128, -5, -2, -1, 0, 1, 2, 3, 5, 9, 40, 127}) {
          mutated[where] = uint8_t(other);
          mutated[where + 1] = uint8_t(int8_t(value));
          runImageBuffer(engine, mutated.data(), mutated.size());
          runs++;
        }
      }
    }
    EXPECT_EQ(vm->exec.errorFrames.size(), 0u);
  });
  EXPECT_GT(runs, 1000);
  // The engine is still sound afterwards.
  lines.clear();
  EXPECT_EQ(run("trace('sound');"), 1);
  EXPECT_EQ(lines, std::vector<std::string>{"sound"});
}

}  // namespace
}  // namespace vorlo
