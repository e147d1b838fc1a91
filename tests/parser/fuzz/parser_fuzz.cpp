// libFuzzer target for the lexer and the parser. Each input is lexed on its own (with every "/" also
// tried as the start of a regular-expression literal) and then parsed; the first byte chooses the
// warning options. Besides the sanitizers it checks the promises callers rely on: a failed parse ends
// with exactly one error line, a successful one has none, and the tree stays within the depth bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/compile_arena.h"
#include "engine/compile_messages.h"
#include "engine/keywords.h"
#include "engine/lexer.h"
#include "engine/parser.h"
#include "engine/source_stream.h"
#include "engine/syntax_tree.h"
#include "engine/vm.h"

namespace {

using namespace vorlo;

void check(bool condition) {
  if (!condition) std::abort();
}

int countErrors(const std::string& messages) {
  int errors = 0;
  for (size_t at = 0; at < messages.size();) {
    size_t end = messages.find("\r\n", at);
    check(end != std::string::npos);  // every message line ends with CR LF
    if (messages.compare(at, 12, "error: line ") == 0) errors++;
    else check(messages.compare(at, 14, "warning: line ") == 0);
    at = end + 2;
  }
  return errors;
}

int treeDepth(const Node* n) {
  if (!n) return 0;
  int depth = 0;
  for (const Node* child : {n->left, n->right, n->third, n->fourth}) {
    for (const Node* item = child; item; item = item->next) {
      int d = treeDepth(item);
      if (d > depth) depth = d;
    }
  }
  return depth + 1;
}

void lexOnly(ScriptVM* vm, const std::string& text, uint32_t flags) {
  MemorySource source(text);
  MessageStream messages;
  CompileArena arena(vm);
  Lexer lexer(vm, source, messages, arena, flags);
  try {
    for (int n = 0; n < 1000000; n++) {
      Token t = lexer.next();
      if (t.code == TokEnd) break;
      check(t.code != TokIdentifier || t.text.present());
      if (t.code == '/' && (n & 1)) lexer.scanRegExp(false);
    }
    check(countErrors(messages.text) == 0);
  } catch (const CompileError&) {
    check(countErrors(messages.text) == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScriptVM* vm = [] {
    ScriptVM* created = createVM();
    check(created != nullptr);
    loadKeywords(created);
    return created;
  }();
  if (size == 0) return 0;
  uint32_t flags = 0;
  if (data[0] & 1) flags |= kCompileWarnMissingSemicolon;
  if (data[0] & 2) flags |= kCompileWarnLineFeedInString;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  lexOnly(vm, text, flags);

  MemorySource source(text);
  MessageStream messages;
  CompileArena arena(vm);
  Parser parser(vm, source, messages, arena, flags);
  try {
    parser.parseProgram();
    check(countErrors(messages.text) == 0);
    for (const Node* f = parser.functions(); f; f = f->next) {
      check(f->kind == NodeFunction && f->name.present() && f->name2.present());
      check(treeDepth(f) <= kMaxTreeDepth + 1);
      printNode(f);
    }
    for (const Node* s = parser.statements(); s; s = s->next) check(treeDepth(s) <= kMaxTreeDepth + 1);
    printList(parser.statements());
  } catch (const CompileError&) {
    check(countErrors(messages.text) == 1);
  }
  return 0;
}
