// The parser: recursive descent with one token of look-ahead over one source. Every function
// definition, named or not and however deeply nested, ends up in the function list; the rest of the
// program is the top-level statement list (the body of the implicit main function).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/compile_arena.h"
#include "engine/compile_messages.h"
#include "engine/lexer.h"
#include "engine/source_stream.h"
#include "engine/syntax_tree.h"

#include "engine/options.h"

namespace vorlo {

struct ScriptVM;

// Nesting of statements and expressions that the parser accepts (each nested block, statement body,
// parenthesis, array or object literal, prefix operator, `new`, function body and structure counts
// one level). Deeper programs get a syntax error instead of exhausting the native stack.
inline constexpr int kMaxParseNesting = 256;
// Depth of the finished tree (long operator chains such as a+b+c+... deepen it without nesting).
// The code generator walks the tree recursively; this keeps that walk bounded too.
inline constexpr int kMaxTreeDepth = 1024;
// A call's arguments all go on the value stack (4,096 slots by default) with the callee's frame:
// longer argument lists are refused when they are compiled rather than failing when they run.
inline constexpr int kMaxCallArguments = 1024;

class Parser {
 public:
  Parser(ScriptVM* vm, SourceStream& source, MessageStream& messages, CompileArena& arena,
         uint32_t flags);

  // Loads the keyword table and parses the whole source. The first syntax error appends its line
  // to the message stream and throws CompileError; running out of memory raises RuntimeError.
  void parseProgram();

  // Function nodes in the order their definitions end (an inner function before its enclosing one).
  Node* functions() const { return functions_; }
  Node* statements() const { return statements_; }
  // Line of the last token consumed (after parseProgram: the program's last token).
  int lastLine() const { return lastLine_; }

 private:
  class NestingGuard;

  // token access
  const Token& peek();
  Token next();
  bool accept(int code);
  bool peekIs(int code) { return peek().code == code; }
  bool onSameLine() { return peek().line == lastLine_; }
  [[noreturn]] void fail(const char* what);
  void endStatement();

  Node* make(int kind, Node* left = nullptr, Node* right = nullptr, Node* third = nullptr);
  Node* makeIdentifier(Text name);
  Node* makeString(Text text);
  void appendTo(Node**& tail, Node* node);
  // Makes the owner at least one level deeper than every node of the list (a single node counts).
  void coverList(Node* owner, const Node* list);
  Text freshFunctionName();
  bool isStructName(const Text& name) const;

  // statements
  Node* parseStatement();
  Node* parseBlock();
  Node* parseFunctionDefinition();
  Node* parseFunctionStatement();
  Node* parseVar();
  Node* parseIf();
  Node* parseWhile();
  Node* parseDoWhile();
  Node* parseFor();
  Node* parseJump(int kind);
  Node* parseReturn();
  Node* parseSwitch();
  Node* parseWith();
  Node* parseTry();
  Node* parseThrow();
  Node* parseExpressionStatement();
  void parseCondition(const char* missingOpen, const char* invalid, const char* missingClose,
                      Node** condition);
  Node* parseStatementOrFail(const char* what);

  // declarations of the dialect
  Node* parseStruct();
  void parseStructMembers(std::string& layout);
  bool parseMemberType(bool allowVoid, std::string& text);
  Node* parseDllImport();

  // expressions
  Node* parseExpression();
  Node* parseAssignment();
  Node* parseAssignedValue();
  Node* parseConditional();
  Node* parseBinary(int minLevel);
  Node* parseUnary();
  Node* parsePostfix();
  Node* parseCall();
  Node* parseMember();
  Node* parseSelectors(Node* e, bool calls);
  Node* parseArguments(Node* owner);
  Node* parsePrimary();
  Node* parseArrayLiteral();
  Node* parseObjectLiteral();

  ScriptVM* vm_;
  Lexer lexer_;
  MessageStream& messages_;
  CompileArena& arena_;
  uint32_t flags_;

  Token lookahead_;
  bool filled_ = false;
  int lastLine_ = 0;  // line of the last consumed token
  int nesting_ = 0;

  Node* functions_ = nullptr;
  Node** functionsTail_ = &functions_;
  Node* statements_ = nullptr;
  Node** statementsTail_ = &statements_;
  std::vector<Text> functionNames_;  // names of the functions being parsed, innermost last
  int anonymousCount_ = 0;
  int argumentsCount_ = 0;  // identifier tokens "arguments" consumed so far
  std::unordered_set<std::string_view> structNames_;  // declared so far in this compilation
};

}  // namespace vorlo
