// Runs the lexer or the parser over a text and renders what came out, so that tests compare short
// strings: tokens as "int:8 id:x (", trees in the printed form of engine/syntax_tree.h.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/compile_arena.h"
#include "engine/compile_messages.h"
#include "engine/keywords.h"
#include "engine/lexer.h"
#include "engine/parser.h"
#include "engine/source_stream.h"
#include "engine/vm.h"

namespace vorlo::test {

struct Parsed {
  bool ok = false;
  std::string messages;    // the message stream, CR LF line ends
  std::string functions;   // one line per function node
  std::string statements;  // the top-level statement list
};

class ParseFixture : public ::testing::Test {
 public:
  void SetUp() override {
    vm = createVM();
    ASSERT_NE(vm, nullptr);
  }
  void TearDown() override { destroyVM(vm); }

  Parsed parse(const std::string& source, uint32_t flags = 0) {
    MemorySource stream(source);
    return parseStream(stream, flags);
  }

  Parsed parseStream(SourceStream& stream, uint32_t flags = 0) {
    Parsed result;
    MessageStream messages;
    CompileArena arena(vm);
    Parser parser(vm, stream, messages, arena, flags);
    try {
      parser.parseProgram();
      result.ok = true;
      for (const Node* f = parser.functions(); f; f = f->next)
        result.functions += printNode(f) + "\n";
      result.statements = printList(parser.statements());
    } catch (const CompileError&) {
    }
    result.messages = messages.text;
    return result;
  }

  // The printed statement list of a source that must parse without messages.
  std::string tree(const std::string& source) {
    Parsed p = parse(source);
    EXPECT_TRUE(p.ok) << source << "\n" << p.messages;
    EXPECT_EQ(p.messages, "") << source;
    return p.statements;
  }

  // The one error line of a source that must fail, without the trailing CR LF.
  std::string error(const std::string& source, uint32_t flags = 0) {
    Parsed p = parse(source, flags);
    EXPECT_FALSE(p.ok) << source;
    std::string text = p.messages;
    size_t last = text.rfind("\nerror: line ");
    last = last == std::string::npos ? 0 : last + 1;
    if (text.compare(last, 12, "error: line ") != 0) return "(no error) " + text;
    text = text.substr(last);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text;
  }

  struct Lexed {
    bool ok = false;
    std::string tokens;
    std::string messages;
  };

  // Every token up to the end of input: "i:65" integer, "f:0.5" float, "s:\"text\"" string,
  // "id:name" identifier, anything else its spelling; with `lines`, each followed by "@line".
  Lexed lex(SourceStream& stream, uint32_t flags = 0, bool lines = false) {
    Lexed result;
    MessageStream messages;
    CompileArena arena(vm);
    loadKeywords(vm);
    Lexer lexer(vm, stream, messages, arena, flags);
    try {
      for (Token t = lexer.next(); t.code != TokEnd; t = lexer.next()) {
        if (!result.tokens.empty()) result.tokens += ' ';
        result.tokens += describe(t);
        if (lines) result.tokens += "@" + std::to_string(t.line);
      }
      result.ok = true;
    } catch (const CompileError&) {
    }
    result.messages = messages.text;
    return result;
  }
  Lexed lex(const std::string& source, uint32_t flags = 0, bool lines = false) {
    MemorySource stream(source);
    return lex(stream, flags, lines);
  }

  static std::string describe(const Token& t) {
    char buffer[64];
    switch (t.code) {
      case TokInteger: return "i:" + std::to_string(t.integer);
      case TokFloat:
        std::snprintf(buffer, sizeof buffer, "f:%.17g", t.number);
        return buffer;
      case TokIdentifier: return "id:" + std::string(t.text.chars, t.text.length);
      case TokString: {
        std::string out = "s:\"";
        for (size_t i = 0; i < t.text.length; i++) {
          auto c = static_cast<unsigned char>(t.text.chars[i]);
          if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
          } else {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
          }
        }
        return out + "\"";
      }
      default: return tokenSpelling(t.code);
    }
  }

  ScriptVM* vm = nullptr;
};

}  // namespace vorlo::test
