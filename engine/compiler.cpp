#include "engine/compiler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "engine/codegen.h"
#include "engine/compile_arena.h"
#include "engine/compile_messages.h"
#include "engine/image_writer.h"
#include "engine/optimizer.h"
#include "engine/parser.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

void copyMessages(ScriptVM* vm, const std::string& text) {
  size_t n = std::min(text.size(), sizeof vm->message - 1);
  std::memcpy(vm->message, text.data(), n);
  vm->message[n] = '\0';
}

bool writeFile(const char* path, const void* data, size_t size) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

bool compileScript(ScriptVM* vm, SourceStream& source, uint32_t flags, CompileOutput& out,
                   const char* listingPath, const char* imagePath, uint32_t headerSeed) {
  out.image.clear();
  out.messages.clear();
  MessageStream messages;
  flags |= kCompileOptimizerPasses;
  try {
    source.peek();
    if (source.encodingProblem()) reportError(messages, 0, "%s", source.encodingProblem());
    CompileArena arena(vm);
    Parser parser(vm, source, messages, arena, flags);
    parser.parseProgram();
    GeneratedProgram program;
    generateProgram(parser.functions(), parser.statements(), messages, parser.lastLine(), program);
    optimize(program.code);
    if (listingPath) {
      if (flags & kCompileRewindListing) source.rewind();
      static const char kListing[] = "; -*- asm -*-\r\n";
      writeFile(listingPath, kListing, sizeof kListing - 1);
    }
    if (!headerSeed) headerSeed = uint32_t(std::time(nullptr));
    out.image = writeImage(program, (flags & kCompileDebugInfo) ? source.name() : nullptr, headerSeed);
  } catch (const CompileError&) {
    out.messages = messages.text;
    out.image.clear();
    copyMessages(vm, out.messages);
    return false;
  } catch (const std::bad_alloc&) {
    raiseOutOfMemory(vm);
  }
  out.messages = messages.text;
  copyMessages(vm, out.messages);
  if (imagePath) writeFile(imagePath, out.image.data(), out.image.size());
  return true;
}

}  // namespace vorlo
