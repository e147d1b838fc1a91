#include "engine/linker.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/error.h"
#include "engine/function.h"
#include "engine/heap.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

void finalizeFunction(ScriptVM*, void* block) {
  auto* f = static_cast<CompiledFunction*>(block);
  std::free(f->name);
  std::free(f->code);
  std::free(f->sourceName);
  std::free(f->lines);
}

char* copyText(ScriptVM* vm, const std::string& text) {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (!copy) raiseOutOfMemory(vm);
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// "@F_n" becomes "@F_(n + base)"; other names stay as they are. The reader has checked the digits.
std::string renumbered(const std::string& name, uint32_t base) {
  if (name.compare(0, 3, "@F_") != 0) return name;
  uint64_t n = std::strtoull(name.c_str() + 3, nullptr, 10) + base;
  return "@F_" + std::to_string(n);
}

}  // namespace

CompiledFunction* linkFunction(ScriptVM* vm, const BytecodeImage& image, const ImageFunction& fn) {
  auto* f = static_cast<CompiledFunction*>(heapAllocFinalized(vm, sizeof(CompiledFunction)));
  f->finalizer = finalizeFunction;
  f->name = copyText(vm, fn.name);
  f->sourceName = copyText(vm, image.hasSourceName ? image.sourceName : "unknown");

  // Word address of every instruction start (and of the END word at the function's end).
  uint32_t bytes = fn.end - fn.start;
  std::vector<uint32_t> wordAt(size_t(bytes) + 1, 0);
  std::vector<bool> isStart(size_t(bytes) + 1, false);
  isStart[bytes] = true;
  uint32_t words = 0;
  forEachInstruction(image, fn.start, fn.end, [&](uint32_t at, int op, int64_t, int) {
    wordAt[at - fn.start] = words;
    isStart[at - fn.start] = true;
    words += opcodeInfo(op).operand == OperandNone ? 1 : 2;
  });
  wordAt[bytes] = words;
  f->code = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * (words + 1)));
  if (!f->code) raiseOutOfMemory(vm);
  f->codeWords = words + 1;
  uint32_t* out = f->code;
  forEachInstruction(image, fn.start, fn.end, [&](uint32_t at, int op, int64_t operand, int size) {
    *out++ = uint32_t(op);
    switch (opcodeInfo(op).operand) {
      case OperandNone: return;
      case OperandSym: {
        const ScriptValue& sym = vm->constants.values[image.constantBase + uint32_t(operand)];
        *out++ = sym.asAtom();
        return;
      }
      case OperandConst: *out++ = image.constantBase + uint32_t(operand); return;
      case OperandRel: {
        uint32_t target = uint32_t(int64_t(at) + size + operand) - fn.start;
        uint32_t after = wordAt[at - fn.start] + 2;
        *out++ = uint32_t(int32_t(wordAt[target]) - int32_t(after));
        return;
      }
      default: *out++ = uint32_t(int32_t(operand)); return;
    }
  });
  *out = OpEnd;

  std::vector<LinePair> lines;
  for (const LineRecord& r : image.lines) {
    if (r.offset > fn.end) break;
    if (r.offset < fn.start) continue;
    uint32_t rel = r.offset - fn.start;
    // Records that do not fall on an instruction boundary cannot be mapped to a word.
    if (!isStart[rel]) continue;
    lines.push_back(LinePair{wordAt[rel], r.line});
  }
  if (!lines.empty()) {
    f->lines = static_cast<LinePair*>(std::malloc(sizeof(LinePair) * lines.size()));
    if (!f->lines) raiseOutOfMemory(vm);
    std::memcpy(f->lines, lines.data(), sizeof(LinePair) * lines.size());
    f->lineCount = uint32_t(lines.size());
  }
  return f;
}

CompiledFunction* loadImage(ScriptVM* vm, BytecodeImage& image, const ImageLoadContext& context) {
  uint32_t counter = context.anonymousCounter ? *context.anonymousCounter : 0;
  if (image.constantBase == 0) {
    image.constantBase = vm->constants.count;
    uint32_t anonymousBase = counter;
    for (const ImageConstant& c : image.constants) {
      ScriptValue v;
      switch (c.kind) {
        case ConstNull: v = ScriptValue::null(); break;
        case ConstNaN: v = ScriptValue::nan(); break;
        case ConstBoolean: v = ScriptValue::boolean(c.boolean); break;
        case ConstInteger: v = ScriptValue::integer(c.integer); break;
        case ConstFloat: v = ScriptValue::number(c.number); break;
        case ConstString: {
          const char16_t* text = keepConstantText(vm, c.text.data(), c.text.size());
          v = ScriptValue::string(newStaticString(vm, text, c.text.size()));
          break;
        }
        case ConstSymbol: {
          std::string name = renumbered(c.name, anonymousBase);
          v = ScriptValue::symbol(intern(vm, name.data(), name.size()));
          break;
        }
        case ConstRegExp:
          if (context.makeRegExp) {
            v = context.makeRegExp(vm, c.text.data(), c.text.size(), c.regExpFlags);
          } else {
            const char16_t* text = keepConstantText(vm, c.text.data(), c.text.size());
            v = ScriptValue::string(newStaticString(vm, text, c.text.size()));
          }
          break;
        default: raiseRuntimeError(vm, "Unimplemented Vorlo Script bytecode");
      }
      appendValue(vm, vm->constants, v);
    }
  }
  uint32_t anonymousBase = counter;
  CompiledFunction* main = nullptr;
  for (const ImageFunction& fn : image.functions) {
    CompiledFunction* linked = linkFunction(vm, image, fn);
    if (fn.name == ".main") {
      main = linked;
      continue;
    }
    std::string name = renumbered(fn.name, anonymousBase);
    if (fn.name.compare(0, 3, "@F_") == 0) counter++;
    Atom atom = intern(vm, name.data(), name.size());
    setGlobal(vm, atom, ScriptValue::function(newFunctionValue(vm, linked)));
  }
  if (context.anonymousCounter) *context.anonymousCounter = counter;
  return main;
}

}  // namespace vorlo
