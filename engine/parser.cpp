#include "engine/parser.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/error.h"
#include "engine/keywords.h"
#include "engine/value.h"

namespace vorlo {

namespace {

bool textIs(const Text& text, const char* word) {
  return text.chars && text.length == std::strlen(word) && std::memcmp(text.chars, word, text.length) == 0;
}

// Binary operators by binding strength, loosest first.
struct BinaryOperator {
  int token;
  int level;
  int kind;
};

constexpr BinaryOperator kBinaryOperators[] = {
    {TokOrOr, 0, NodeLogical},      {TokAndAnd, 1, NodeLogical},    {'|', 2, NodeBitwise},
    {'^', 3, NodeBitwise},          {'&', 4, NodeBitwise},          {TokEq, 5, NodeEquality},
    {TokNe, 5, NodeEquality},       {TokStrictEq, 5, NodeEquality}, {TokStrictNe, 5, NodeEquality},
    {'<', 6, NodeRelational},       {'>', 6, NodeRelational},       {TokLe, 6, NodeRelational},
    {TokGe, 6, NodeRelational},     {TokShl, 7, NodeShift},         {TokShr, 7, NodeShift},
    {TokUshr, 7, NodeShift},        {'+', 8, NodeAdditive},         {'-', 8, NodeAdditive},
    {'*', 9, NodeMultiplicative},   {'/', 9, NodeMultiplicative},   {'%', 9, NodeMultiplicative},
};

const BinaryOperator* findBinary(int token) {
  for (const BinaryOperator& op : kBinaryOperators)
    if (op.token == token) return &op;
  return nullptr;
}

constexpr int kAssignmentOperators[] = {'=',          TokMulAssign, TokDivAssign, TokModAssign,
                                        TokAddAssign, TokSubAssign, TokAndAssign, TokXorAssign,
                                        TokOrAssign,  TokShlAssign, TokShrAssign, TokUshrAssign};
constexpr int kPrefixOperators[] = {'!',      '+',    '-',        '~',         TokDelete,
                                    TokTypeof, TokVoid, TokPlusPlus, TokMinusMinus};

template <size_t N>
bool contains(const int (&set)[N], int code) {
  for (int c : set)
    if (c == code) return true;
  return false;
}

bool isAssignable(const Node* node) {
  return node->kind == NodeIdentifier || node->kind == NodeMember || node->kind == NodeIndex;
}

// Member types of structures and DLL functions; the first five may be unsigned.
constexpr const char* kMemberTypes[] = {"char",  "short",  "long",    "int",    "int64",
                                        "float", "double", "pointer", "String", "Boolean"};
constexpr int kUnsignableTypes = 5;

constexpr const char* kCallConventions[] = {"stdcall", "cdecl", "pascal", "fastcall"};

}  // namespace

// Counts one level of nesting for as long as a rule that can recurse is active.
class Parser::NestingGuard {
 public:
  explicit NestingGuard(Parser* parser) : parser_(parser) {
    if (++parser_->nesting_ > kMaxParseNesting) {
      parser_->fail("statements or expressions nested too deeply");
    }
  }
  ~NestingGuard() { parser_->nesting_--; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  Parser* parser_;
};

Parser::Parser(ScriptVM* vm, SourceStream& source, MessageStream& messages, CompileArena& arena,
               uint32_t flags)
    : vm_(vm), lexer_(vm, source, messages, arena, flags), messages_(messages), arena_(arena),
      flags_(flags) {}

// --- token access ---

const Token& Parser::peek() {
  if (!filled_) {
    lookahead_ = lexer_.next();
    filled_ = true;
  }
  return lookahead_;
}

Token Parser::next() {
  Token token = peek();
  filled_ = false;
  lastLine_ = token.line;
  if (token.code == TokIdentifier && textIs(token.text, "arguments")) argumentsCount_++;
  return token;
}

bool Parser::accept(int code) {
  if (peek().code != code) return false;
  next();
  return true;
}

void Parser::fail(const char* what) { reportError(messages_, lastLine_, "syntax error: %s", what); }

// The end of a statement: a ";", or an inserted one before "}", the end of input or a line break.
void Parser::endStatement() {
  const Token& token = peek();
  if (token.code == ';') {
    next();
    return;
  }
  if (token.code == '}' || token.code == TokEnd || token.line > lastLine_) {
    if (flags_ & kCompileWarnMissingSemicolon) reportWarning(messages_, lastLine_, "missing ;");
    return;
  }
  fail("missing ;");
}

// --- nodes ---

Node* Parser::make(int kind, Node* left, Node* right, Node* third) {
  Node* node = arena_.make<Node>();
  node->kind = kind;
  node->line = lastLine_;
  node->left = left;
  node->right = right;
  node->third = third;
  int depth = 0;
  for (Node* child : {left, right, third})
    if (child && child->depth > depth) depth = child->depth;
  node->depth = depth + 1;
  if (node->depth > kMaxTreeDepth) fail("expression too long or nested too deeply");
  return node;
}

Node* Parser::makeIdentifier(Text name) {
  Node* node = make(NodeIdentifier);
  node->name = name;
  return node;
}

Node* Parser::makeString(Text text) {
  Node* node = make(NodeString);
  node->name = text;
  node->resultKind = KindString;
  return node;
}

void Parser::appendTo(Node**& tail, Node* node) {
  *tail = node;
  tail = &node->next;
}

void Parser::coverList(Node* owner, const Node* list) {
  int depth = 0;
  for (; list; list = list->next)
    if (list->depth > depth) depth = list->depth;
  if (depth + 1 > owner->depth) owner->depth = depth + 1;
  if (owner->depth > kMaxTreeDepth) fail("expression too long or nested too deeply");
}

Text Parser::freshFunctionName() {
  char name[32];
  std::snprintf(name, sizeof name, "@F_%d", anonymousCount_++);
  return arena_.copyText(name, std::strlen(name));
}

bool Parser::isStructName(const Text& name) const {
  return structNames_.count(std::string_view(name.chars, name.length)) != 0;
}

// --- program ---

void Parser::parseProgram() {
  try {
    loadKeywords(vm_);
    while (!peekIs(TokEnd)) {
      if (peekIs(TokFunction)) {
        parseFunctionDefinition();  // a top-level declaration only adds to the function list
        continue;
      }
      Node* statement = parseStatement();
      if (!statement) fail("invalid statement");
      if (statement->kind == NodeVar) statement->flag = true;
      appendTo(statementsTail_, statement);
    }
  } catch (const std::bad_alloc&) {
    raiseOutOfMemory(vm_);
  }
}

// --- statements ---

Node* Parser::parseStatementOrFail(const char* what) {
  Node* statement = parseStatement();
  if (!statement) fail(what);
  return statement;
}

Node* Parser::parseStatement() {
  NestingGuard guard(this);
  switch (peek().code) {
    case '{': return parseBlock();
    case TokFunction: return parseFunctionStatement();
    case TokVar: {
      Node* var = parseVar();
      endStatement();
      return var;
    }
    case TokIf: return parseIf();
    case TokDo: return parseDoWhile();
    case TokWhile: return parseWhile();
    case TokFor: return parseFor();
    case TokStruct: return parseStruct();
    case TokDllimport: return parseDllImport();
    case ';':
      next();
      return make(NodeEmpty);
    case TokContinue: return parseJump(NodeContinue);
    case TokBreak: return parseJump(NodeBreak);
    case TokReturn: return parseReturn();
    case TokSwitch: return parseSwitch();
    case TokWith: return parseWith();
    case TokTry: return parseTry();
    case TokThrow: return parseThrow();
    default: return parseExpressionStatement();
  }
}

Node* Parser::parseBlock() {
  next();  // {
  Node* list = nullptr;
  Node** tail = &list;
  while (!peekIs('}')) {
    Node* statement = parseStatement();
    if (!statement) fail("missing } after block");
    appendTo(tail, statement);
  }
  next();
  if (!list) return make(NodeEmpty);
  Node* block = make(NodeBlock);
  block->left = list;
  coverList(block, list);
  return block;
}

Node* Parser::parseFunctionDefinition() {
  int line = next().line;  // function
  bool nested = !functionNames_.empty();
  Text declared, internal;
  if (peekIs(TokIdentifier)) {
    declared = next().text;
    internal = nested ? freshFunctionName() : declared;
  } else {
    declared = internal = freshFunctionName();
  }
  functionNames_.push_back(internal);
  if (!accept('(')) fail("missing ( before formal parameters");
  Node* params = nullptr;
  Node** tail = &params;
  int count = 0;
  if (!peekIs(')')) {
    for (;;) {
      if (!peekIs(TokIdentifier)) fail("illegal identifier");
      appendTo(tail, makeIdentifier(next().text));
      count++;
      if (!accept(',')) break;
    }
  }
  if (!accept(')')) fail("missing ) after formal parameters");
  if (!peekIs('{')) fail("invalid function body");
  int argumentsBefore = argumentsCount_;
  Node* body;
  {
    NestingGuard guard(this);
    body = parseBlock();
  }
  Node* function = make(NodeFunction, params, body);
  function->line = line;
  function->name = internal;
  function->name2 = declared;
  function->count = count;
  function->flag = argumentsCount_ > argumentsBefore;
  functionNames_.pop_back();
  appendTo(functionsTail_, function);
  return function;
}

// A definition standing as a statement: inside a function it also binds the nested function as a
// property of the enclosing one; elsewhere it leaves an empty statement.
Node* Parser::parseFunctionStatement() {
  Node* function = parseFunctionDefinition();
  if (functionNames_.empty()) return make(NodeEmpty);
  Node* binding = make(NodeMethodBinding);
  binding->name = functionNames_.back();
  binding->name2 = function->name;
  binding->name3 = function->name2;
  return binding;
}

Node* Parser::parseVar() {
  next();  // var
  if (!peekIs(TokIdentifier)) fail("missing variable name");
  Node* list = nullptr;
  Node** tail = &list;
  int count = 0;
  for (;;) {
    Node* declarator = make(NodeEmpty);
    declarator->name = next().text;
    if (accept('=')) {
      Node* value = parseAssignedValue();
      if (!value) fail("invalid variable initialization");
      declarator->left = value;
      coverList(declarator, value);
    }
    appendTo(tail, declarator);
    count++;
    if (!accept(',')) break;
    if (!peekIs(TokIdentifier)) fail("illegal identifier");
  }
  Node* var = make(NodeVar);
  var->left = list;
  var->count = count;
  coverList(var, list);
  return var;
}

void Parser::parseCondition(const char* missingOpen, const char* invalid, const char* missingClose,
                            Node** condition) {
  if (!accept('(')) fail(missingOpen);
  *condition = parseExpression();
  if (!*condition) fail(invalid);
  if (!accept(')')) fail(missingClose);
}

Node* Parser::parseIf() {
  next();
  Node* condition;
  parseCondition("missing ( before condition", "invalid condition expression",
                 "missing ) after condition", &condition);
  Node* then = parseStatementOrFail("invalid statement");
  Node* otherwise = nullptr;
  if (accept(TokElse)) otherwise = parseStatementOrFail("invalid statement");
  return make(NodeIf, condition, then, otherwise);
}

Node* Parser::parseWhile() {
  next();
  Node* condition;
  parseCondition("missing ( before condition", "invalid condition expression",
                 "missing ) after condition", &condition);
  Node* body = parseStatementOrFail("invalid statement");
  return make(NodeWhile, condition, body);
}

Node* Parser::parseDoWhile() {
  next();
  Node* body = parseStatementOrFail("invalid statement");
  if (!accept(TokWhile)) fail("missing while after do-loop body");
  Node* condition;
  parseCondition("missing ( before condition", "invalid condition expression",
                 "missing ) after condition", &condition);
  endStatement();
  return make(NodeDoWhile, body, condition);
}

Node* Parser::parseFor() {
  next();
  if (!accept('(')) fail("missing ( after for");
  Node* init = nullptr;
  if (peekIs(TokVar)) {
    init = parseVar();
  } else if (!peekIs(';')) {
    init = parseExpression();
    if (!init) fail("invalid for-loop initializer or for-in expression");
  }
  if (accept(';')) {
    Node* condition = nullptr;
    Node* update = nullptr;
    if (!peekIs(';')) {
      condition = parseExpression();
      if (!condition) fail("invalid for-loop condition expression");
    }
    if (!accept(';')) fail("missing ; after for-loop condition");
    if (!peekIs(')')) {
      update = parseExpression();
      if (!update) fail("invalid for-loop control expression");
    }
    if (!accept(')')) fail("missing ) after for-loop control");
    Node* body = parseStatementOrFail("invalid statement");
    Node* loop = make(NodeFor, init, condition, update);
    loop->fourth = body;
    coverList(loop, body);
    return loop;
  }
  if (init && peekIs(TokIn)) {
    if (init->kind == NodeVar) {
      if (init->count != 1) fail("more than one variable declaration");
    } else if (init->kind != NodeIdentifier) {
      fail("illegal identifier");
    }
    next();
    Node* collection = parseExpression();
    if (!collection) fail("invalid for-loop initializer or for-in expression");
    if (!accept(')')) fail("missing ) after for-loop control");
    Node* body = parseStatementOrFail("invalid statement");
    return make(NodeForIn, init, collection, body);
  }
  fail("missing ; after for-loop initializer");
}

Node* Parser::parseJump(int kind) {
  next();
  Node* jump = make(kind);
  if (peekIs(TokIdentifier) && onSameLine()) jump->name = next().text;
  endStatement();
  return jump;
}

Node* Parser::parseReturn() {
  next();
  Node* value = nullptr;
  int code = peek().code;
  if (onSameLine() && code != ';' && code != '}' && code != TokEnd) {
    value = parseExpression();
    if (!value) fail("invalid return");
  }
  endStatement();
  return make(NodeReturn, value);
}

Node* Parser::parseSwitch() {
  next();
  Node* discriminant;
  parseCondition("missing ( before switch expression", "invalid switch expression",
                 "missing ) after switch expression", &discriminant);
  if (!accept('{')) fail("missing { before switch body");
  Node* clauses = nullptr;
  Node** tail = &clauses;
  int defaults = 0;
  while (!accept('}')) {
    Node* clause;
    if (accept(TokCase)) {
      Node* test = parseExpression();
      if (!test) fail("invalid case expression");
      clause = make(NodeEmpty, test);
    } else if (accept(TokDefault)) {
      defaults++;
      clause = make(NodeEmpty);
    } else {
      fail("missing } after switch block");
    }
    if (!accept(':')) fail("missing : after case label");
    Node** statementTail = &clause->right;
    while (!peekIs(TokCase) && !peekIs(TokDefault) && !peekIs('}')) {
      appendTo(statementTail, parseStatementOrFail("invalid statement"));
    }
    coverList(clause, clause->right);
    appendTo(tail, clause);
  }
  if (defaults > 1) reportError(messages_, lastLine_, "more than one switch default");
  Node* node = make(NodeSwitch, discriminant);
  node->right = clauses;
  node->integer = lastLine_;
  coverList(node, clauses);
  return node;
}

Node* Parser::parseWith() {
  next();
  Node* object;
  parseCondition("missing ( before with-statement object", "invalid with-statement object",
                 "missing ) after with-statement object", &object);
  Node* body = parseStatementOrFail("invalid with block");
  return make(NodeWith, object, body);
}

Node* Parser::parseTry() {
  next();
  Node* body = parseStatementOrFail("invalid statement");
  Node* clauses = nullptr;
  Node** tail = &clauses;
  while (accept(TokCatch)) {
    if (!accept('(')) fail("missing ( before catch");
    if (!peekIs(TokIdentifier)) fail("missing identifier in catch");
    Text variable = next().text;
    Node* guard = nullptr;
    if (accept(TokIf)) {
      guard = parseExpression();
      if (!guard) fail("invalid condition expression");
    }
    if (!accept(')')) fail("missing ) after catch");
    Node* clause = make(NodeEmpty, guard, parseStatementOrFail("invalid statement"));
    clause->name = variable;
    appendTo(tail, clause);
  }
  Node* finally = nullptr;
  if (accept(TokFinally)) finally = parseStatementOrFail("invalid statement");
  if (!clauses && !finally) {
    // Reported at the token that stands where a catch or finally should.
    reportError(messages_, peek().line, "syntax error: %s", "missing catch or finally after try");
  }
  Node* node = make(NodeTry, body, nullptr, finally);
  node->right = clauses;
  coverList(node, clauses);
  return node;
}

Node* Parser::parseThrow() {
  next();
  Node* value = parseExpression();
  if (!value) fail("invalid throw");
  endStatement();
  return make(NodeThrow, value);
}

Node* Parser::parseExpressionStatement() {
  bool startsWithName = peekIs(TokIdentifier);
  Node* expression = parseExpression();
  if (!expression) return nullptr;
  if (startsWithName && expression->kind == NodeIdentifier && peekIs(':') && onSameLine()) {
    next();
    Node* statement = parseStatementOrFail("invalid label");
    Node* labelled = make(NodeLabelled, statement);
    labelled->name = expression->name;
    return labelled;
  }
  endStatement();
  return make(NodeExpression, expression);
}

// --- struct and dllimport ---

// [unsigned] type ["*"]: a member type name, `void` where allowed, or a structure declared earlier.
bool Parser::parseMemberType(bool allowVoid, std::string& text) {
  bool isUnsigned = false;
  if (peekIs(TokIdentifier) && textIs(peek().text, "unsigned")) {
    next();
    isUnsigned = true;
  }
  if (allowVoid && !isUnsigned && accept(TokVoid)) {
    text = "void";
  } else {
    if (!peekIs(TokIdentifier)) return false;
    const Text& name = peek().text;
    int found = -1;
    for (int i = 0; i < int(std::size(kMemberTypes)); i++)
      if (textIs(name, kMemberTypes[i])) found = i;
    if (found < 0 ? (isUnsigned || !isStructName(name)) : (isUnsigned && found >= kUnsignableTypes))
      return false;
    text.assign(isUnsigned ? "unsigned " : "");
    text.append(name.chars, name.length);
    next();
  }
  if (accept('*')) text += '*';
  return true;
}

void Parser::parseStructMembers(std::string& layout) {
  std::unordered_set<std::string_view> names;  // member names of this list
  while (!accept('}')) {
    NestingGuard guard(this);
    std::string type;
    std::string inner;
    bool nested = accept(TokStruct);
    if (nested) {
      if (!accept('{')) fail("invalid structure member");
      parseStructMembers(inner);
      type = accept('*') ? "struct*" : "struct";
    } else if (!parseMemberType(false, type)) {
      fail("invalid structure member");
    }
    if (!peekIs(TokIdentifier)) fail("invalid structure member");
    Text name = next().text;
    std::string count;
    if (accept('[')) {
      if (!peekIs(TokInteger) || peek().integer <= 0) fail("invalid structure member");
      count = std::to_string(next().integer);
      if (!accept(']')) fail("invalid structure member");
    }
    accept(';');
    if (!names.insert(std::string_view(name.chars, name.length)).second)
      fail("structure member redefined");
    layout += '<';
    layout.append(name.chars, name.length);
    layout += " type=\"" + type + "\"";
    if (!count.empty()) layout += " count=\"" + count + "\"";
    layout += '>';
    layout += inner;
    layout += "</";
    layout.append(name.chars, name.length);
    layout += '>';
  }
}

// struct { members } Name;  becomes the statement  Name = "<Name type=\"struct\">...</Name>";
Node* Parser::parseStruct() {
  next();
  if (!accept('{')) fail("missing { after structure");
  std::string members;
  parseStructMembers(members);
  if (!peekIs(TokIdentifier)) fail("structure must have a name");
  Text name = next().text;
  if (isStructName(name)) fail("structure redefined");
  structNames_.insert(std::string_view(name.chars, name.length));
  accept(';');
  std::string layout = "<";
  layout.append(name.chars, name.length);
  layout += " type=\"struct\">" + members + "</";
  layout.append(name.chars, name.length);
  layout += '>';
  Node* value = makeString(arena_.copyText(layout.data(), layout.size()));
  Node* assignment = make(NodeAssign, makeIdentifier(name), value);
  assignment->op = '=';
  return make(NodeExpression, assignment);
}

Node* Parser::parseDllImport() {
  next();
  Node* dll;
  if (peekIs(TokIdentifier)) dll = makeIdentifier(next().text);
  else if (peekIs(TokString)) dll = makeString(next().text);
  else fail("invalid dll name");

  bool knownConvention = false;
  if (peekIs(TokIdentifier))
    for (const char* convention : kCallConventions)
      if (textIs(peek().text, convention)) knownConvention = true;
  if (!knownConvention)
    fail("invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall");
  Text convention = next().text;

  std::string type;
  if (!parseMemberType(true, type)) fail("invalid return type");
  Node* returnType = makeString(arena_.copyText(type.data(), type.size()));

  if (!peekIs(TokIdentifier)) fail("invalid function name");
  Text function = next().text;
  if (!accept('(')) fail("missing ( after function name");
  Node* arguments = nullptr;
  Node** tail = &arguments;
  int count = 0;
  while (!accept(')')) {
    if (!parseMemberType(false, type)) fail("invalid argument type");
    appendTo(tail, makeString(arena_.copyText(type.data(), type.size())));
    count++;
    if (peekIs(TokIdentifier)) next();  // a parameter name documents the argument; it is ignored
    if (peekIs(')')) continue;
    if (!accept(',')) fail("missing , after argument");
  }
  Text alias;
  if (accept(TokAs)) {
    if (!peekIs(TokIdentifier)) fail("invalid alias name of the imported function");
    alias = next().text;
  }
  accept(';');
  Node* node = make(NodeDllImport, dll, returnType);
  node->third = arguments;
  coverList(node, arguments);
  node->name = function;
  node->name2 = alias;
  node->name3 = convention;
  node->count = count;
  return node;
}

// --- expressions ---

Node* Parser::parseExpression() {
  Node* e = parseAssignment();
  if (!e) return nullptr;
  while (accept(',')) {
    Node* right = parseAssignment();
    if (!right) fail("invalid expression");
    e = make(NodeComma, e, right);
  }
  return e;
}

Node* Parser::parseAssignment() {
  NestingGuard guard(this);
  Node* target = parseConditional();
  if (!target) return nullptr;
  int op = peek().code;
  if (!contains(kAssignmentOperators, op) || !isAssignable(target)) return target;
  next();
  Node* value = op == '=' ? parseAssignedValue() : parseAssignment();
  if (!value) fail("invalid expression");
  Node* node = make(NodeAssign, target, value);
  node->op = op;
  return node;
}

// The right-hand side of "=": an expression, or else a function definition, whose value is the
// function named by its internal name.
Node* Parser::parseAssignedValue() {
  Node* value = parseAssignment();
  if (value || !peekIs(TokFunction)) return value;
  NestingGuard guard(this);
  Node* function = parseFunctionDefinition();
  return makeIdentifier(function->name);
}

Node* Parser::parseConditional() {
  Node* condition = parseBinary(0);
  if (!condition || !accept('?')) return condition;
  Node* then = parseAssignment();
  if (!then) fail("invalid expression");
  if (!accept(':')) fail("missing : in conditional expression");
  Node* otherwise = parseAssignment();
  if (!otherwise) fail("invalid expression");
  return make(NodeConditional, condition, then, otherwise);
}

// Left-associative binary operators by precedence climbing over the operator table.
Node* Parser::parseBinary(int minLevel) {
  Node* left = parseUnary();
  if (!left) return nullptr;
  for (;;) {
    const BinaryOperator* op = findBinary(peek().code);
    if (!op || op->level < minLevel) return left;
    next();
    Node* right = parseBinary(op->level + 1);
    if (!right) fail("invalid expression");
    Node* node = make(op->kind, left, right);
    node->op = op->token;
    if (op->kind == NodeEquality || op->kind == NodeRelational ||
        (op->kind == NodeLogical && left->resultKind == KindBoolean &&
         right->resultKind == KindBoolean))
      node->resultKind = KindBoolean;
    left = node;
  }
}

Node* Parser::parseUnary() {
  int op = peek().code;
  if (!contains(kPrefixOperators, op)) return parsePostfix();
  NestingGuard guard(this);
  next();
  Node* operand = parseUnary();
  if (!operand) fail("invalid expression");
  Node* node = make(NodePrefix, operand);
  node->op = op;
  return node;
}

Node* Parser::parsePostfix() {
  Node* e = parseCall();
  if (!e) return nullptr;
  int op = peek().code;
  // "++" or "--" on a later line starts the next statement.
  if ((op == TokPlusPlus || op == TokMinusMinus) && onSameLine()) {
    next();
    e = make(NodePostfix, e);
    e->op = op;
  }
  return e;
}

Node* Parser::parseCall() {
  Node* e = parseMember();
  if (!e || !peekIs('(')) return e;
  return parseSelectors(e, true);
}

Node* Parser::parseMember() {
  Node* e;
  if (peekIs(TokNew)) {
    NestingGuard guard(this);
    next();
    Node* constructor = parseMember();
    if (!constructor) fail("invalid expression");
    e = make(NodeNew, constructor);
    if (peekIs('(')) {
      e->flag = true;
      parseArguments(e);
    }
  } else {
    e = parsePrimary();
    if (!e) return nullptr;
  }
  return parseSelectors(e, false);
}

// Member selections, index selections and (after a call) further argument lists.
Node* Parser::parseSelectors(Node* e, bool calls) {
  for (;;) {
    if (calls && peekIs('(')) {
      Node* call = make(NodeCall, e);
      parseArguments(call);
      e = call;
    } else if (accept('.')) {
      if (!peekIs(TokIdentifier)) fail("illegal identifier");
      Text name = next().text;
      e = make(NodeMember, e);
      e->name = name;
    } else if (accept('[')) {
      Node* index = parseExpression();
      if (!index) fail("invalid expression");
      if (!accept(']')) fail("missing ] in index expression");
      e = make(NodeIndex, e, index);
    } else {
      return e;
    }
  }
}

Node* Parser::parseArguments(Node* owner) {
  next();  // (
  Node** tail = &owner->right;
  int count = 0;
  if (!peekIs(')')) {
    for (;;) {
      Node* argument = parseAssignment();
      if (!argument) {
        if (count == 0) break;
        fail("invalid expression");
      }
      appendTo(tail, argument);
      if (++count > kMaxCallArguments)
        reportError(messages_, lastLine_, "too many arguments (at most %d in one call)", kMaxCallArguments);
      if (!accept(',')) break;
    }
  }
  if (!accept(')')) fail("missing ) after argument list");
  owner->count = count;
  coverList(owner, owner->right);
  return owner;
}

Node* Parser::parsePrimary() {
  switch (peek().code) {
    case '(': {
      next();
      Node* e = parseExpression();
      if (!e || !accept(')')) fail("invalid expression");
      return e;
    }
    case '/':
    case TokDivAssign: {
      // A regular-expression literal; the lexer reads its body from here on.
      bool equals = next().code == TokDivAssign;
      RegExpLiteral literal = lexer_.scanRegExp(equals);
      Node* node = make(NodeRegExp);
      node->name = literal.body;
      node->integer = literal.flags;
      return node;
    }
    case '[': return parseArrayLiteral();
    case '{': return parseObjectLiteral();
    case TokInteger: {
      Node* node = make(NodeInteger);
      node->integer = next().integer;
      node->line = lastLine_;
      node->resultKind = KindInteger;
      return node;
    }
    case TokFloat: {
      Node* node = make(NodeFloat);
      node->number = next().number;
      node->line = lastLine_;
      node->resultKind = KindFloat;
      return node;
    }
    case TokString: {
      Text text = next().text;
      return makeString(text);
    }
    case TokIdentifier: {
      Text name = next().text;
      return makeIdentifier(name);
    }
    case TokThis: next(); return make(NodeThis);
    case TokUndefined: next(); return make(NodeUndefined);
    case TokNull: {
      next();
      Node* node = make(NodeNull);
      node->resultKind = KindNull;
      return node;
    }
    case TokTrue:
    case TokFalse: {
      Node* node = make(next().code == TokTrue ? NodeTrue : NodeFalse);
      node->resultKind = KindBoolean;
      return node;
    }
    default: return nullptr;
  }
}

// Elements are assignment expressions; a comma with no element before it is an elision, and a
// trailing comma adds one more: [1,] and [,] both have two elements.
Node* Parser::parseArrayLiteral() {
  next();  // [
  Node* array = make(NodeArray);
  array->resultKind = KindArray;
  Node** tail = &array->left;
  int count = 0;
  if (!accept(']')) {
    for (;;) {
      if (peekIs(',')) {
        appendTo(tail, make(NodeEmpty));
        count++;
      } else {
        Node* element = parseAssignment();
        if (!element) fail("missing ] after element list");
        appendTo(tail, element);
        count++;
      }
      if (accept(']')) break;
      if (!accept(',')) fail("missing ] after element list");
      if (accept(']')) {
        appendTo(tail, make(NodeEmpty));
        count++;
        break;
      }
    }
  }
  array->count = count;
  coverList(array, array->left);
  return array;
}

Node* Parser::parseObjectLiteral() {
  next();  // {
  Node* object = make(NodeObject);
  object->resultKind = KindObject;
  Node** tail = &object->left;
  int count = 0;
  while (!accept('}')) {
    Node* property = make(NodeEmpty);
    const Token& key = peek();
    if (key.code == TokInteger) property->integer = key.integer;
    else if (key.code == TokString || key.code == TokIdentifier) property->name = key.text;
    else fail("invalid property id");
    property->op = next().code;
    if (!accept(':')) fail("missing : after property id");
    Node* value = parseAssignment();
    if (!value) fail("invalid expression");
    property->left = value;
    coverList(property, value);
    appendTo(tail, property);
    count++;
    if (accept('}')) break;
    if (!accept(',')) fail("missing } after property list");
  }
  object->count = count;
  coverList(object, object->left);
  return object;
}

}  // namespace vorlo
