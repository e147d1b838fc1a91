#include "engine/codegen.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/token.h"
#include "engine/value.h"

namespace vorlo {

namespace {

enum BindingKind { BindSlot = 1, BindLocal = 2 };

struct Binding {
  std::string_view name;
  int kind;
  int index;
};

struct Scope {
  size_t firstBinding;
  int nextLocal;
};

// Marks a construct that keeps a flag (and, when the flag is true, a pending exception under it)
// on the stack: the finally part of a try statement.
constexpr int kPendingFlag = -1;

// Array literals longer than this are built element by element instead of on the value stack.
constexpr int kLongArrayLiteral = 256;

// An enclosing loop, switch, labelled statement or stack-holding construct, or the base entry of a
// function. Withs and handlers are counted on the innermost entry when they are installed.
struct JumpTarget {
  int breakLabel = 0;     // 0: not a break target
  int continueLabel = 0;  // 0: not a continue target
  std::string_view label;
  bool labelled = false;
  int temporaries = 0;
  int withs = 0;
  int handlers = 0;
};

JumpTarget loopTarget(int breakLabel, int continueLabel) {
  JumpTarget t;
  t.breakLabel = breakLabel;
  t.continueLabel = continueLabel;
  return t;
}

int binaryOpcode(int token) {
  switch (token) {
    case '*': case TokMulAssign: return OpMul;
    case '/': case TokDivAssign: return OpDiv;
    case '%': case TokModAssign: return OpMod;
    case '+': case TokAddAssign: return OpAdd;
    case '-': case TokSubAssign: return OpSub;
    case '&': case TokAndAssign: return OpAnd;
    case '^': case TokXorAssign: return OpXor;
    case '|': case TokOrAssign: return OpOr;
    case TokShl: case TokShlAssign: return OpShl;
    case TokShr: case TokShrAssign: return OpShr;
    case TokUshr: case TokUshrAssign: return OpUshr;
    case '<': return OpLt;
    case '>': return OpGt;
    case TokLe: return OpLe;
    case TokGe: return OpGe;
    case TokEq: return OpEq;
    case TokNe: return OpNe;
    case TokStrictEq: return OpSeq;
    case TokStrictNe: return OpSne;
    default: return OpNop;
  }
}

std::string_view view(const Text& text) { return {text.chars ? text.chars : "", text.length}; }

bool isLoop(const Node* node) {
  return node->kind == NodeWhile || node->kind == NodeDoWhile || node->kind == NodeFor ||
         node->kind == NodeForIn;
}

class Generator {
 public:
  Generator(MessageStream& messages, int errorLine, GeneratedProgram& program)
      : messages_(messages), errorLine_(errorLine), program_(program), code_(program.code) {}

  void function(const Node* fn);
  void mainProgram(const Node* statements);

 private:
  // --- emission ---
  void emit(int op, int64_t operand = 0) { code_.push_back(Instruction{op, line_, operand, 0}); }
  void emitName(int op, std::string_view name) {
    emit(op, program_.constants.symbol(name.data(), name.size()));
  }
  int newLabel() { return ++labels_; }
  void place(int label) { emit(kPseudoLabel, label); }
  void emitCount(int64_t n);
  void emitInteger(int64_t value);
  // Byte-operand instructions whose effect adds up: split into pieces that fit the operand.
  void emitSplit(int op, int64_t n);
  void emitPops(int n);

  // --- scopes and names ---
  void pushScope() {
    int next = scopes_.empty() ? 0 : scopes_.back().nextLocal;
    scopes_.push_back(Scope{bindings_.size(), next});
  }
  void popScope() {
    bindings_.resize(scopes_.back().firstBinding);
    scopes_.pop_back();
  }
  int declareLocal(std::string_view name, int line);
  const Binding* lookup(std::string_view name) const;
  void loadName(std::string_view name);
  void storeName(std::string_view name);

  // --- expressions ---
  void expression(const Node* e);
  void load(const Node* target);
  void store(const Node* target);
  void call(const Node* e);
  void construct(const Node* e);
  void arrayLiteral(const Node* e);
  void longArrayLiteral(const Node* e);
  void objectLiteral(const Node* e);
  void prefix(const Node* e);
  void pushArgumentsReversed(const Node* list, int count);
  int falseJump(const Node* condition) const {
    return condition && condition->resultKind == KindBoolean ? OpJFalseB : OpJFalse;
  }
  int trueJump(const Node* condition) const {
    return condition && condition->resultKind == KindBoolean ? OpJTrueB : OpJTrue;
  }

  // --- statements ---
  void statements(const Node* list);
  void statement(const Node* s);
  void scopedStatement(const Node* s) {
    pushScope();
    statement(s);
    popScope();
  }
  void var(const Node* s);
  void forLoop(const Node* s);
  void forIn(const Node* s);
  void switchStatement(const Node* s);
  void tryStatement(const Node* s);
  void dllImport(const Node* s);
  void breakStatement(const Node* s);
  void continueStatement(const Node* s);
  void returnStatement(const Node* s);
  void leaveTargets(size_t outermost, size_t keepTemporariesOf);
  int takeContinueLabel() {
    int label = pendingContinue_ ? pendingContinue_ : newLabel();
    pendingContinue_ = 0;
    return label;
  }
  JumpTarget& innermost() { return targets_.back(); }

  void startFunction(const std::string& name);
  void patchLocals(size_t localsAt, int line);

  MessageStream& messages_;
  int errorLine_;
  GeneratedProgram& program_;
  InstructionList& code_;
  int line_ = 0;
  int labels_ = 0;
  std::vector<Binding> bindings_;
  std::vector<Scope> scopes_;
  int localsUsed_ = 0;
  std::vector<JumpTarget> targets_;
  int withDepth_ = 0;
  int pendingContinue_ = 0;  // continue label chosen by a label for the loop it names
};

// Keeps the line of the node being generated for the instructions emitted around its children.
class LineScope {
 public:
  LineScope(int& line, const Node* node) : line_(line), saved_(line) { line = node->line; }
  ~LineScope() { line_ = saved_; }

 private:
  int& line_;
  int saved_;
};

void Generator::emitCount(int64_t n) {
  if (n >= 0 && n <= 3) emit(OpPush0 - int(n));
  else emit(OpPushInt, n);
}

void Generator::emitInteger(int64_t value) {
  if (value >= 0 && value <= 3) emit(OpPush0 - int(value));
  else emit(OpPushConst, program_.constants.integer(value));
}

void Generator::emitSplit(int op, int64_t n) {
  while (n > kByteMax) {
    emit(op, kByteMax);
    n -= kByteMax;
  }
  if (n > 0) emit(op, n);
}

void Generator::emitPops(int n) {
  if (n == 1) emit(OpPop);
  else emitSplit(OpPopN, n);
}

int Generator::declareLocal(std::string_view name, int line) {
  Scope& scope = scopes_.back();
  int index = scope.nextLocal++;
  if (index >= kMaxLocals) reportError(messages_, line, "too many local variables (at most %d)", kMaxLocals);
  localsUsed_ = std::max(localsUsed_, index + 1);
  bindings_.push_back(Binding{name, BindLocal, index});
  return index;
}

const Binding* Generator::lookup(std::string_view name) const {
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
    if (it->name == name) return &*it;
  return nullptr;
}

void Generator::loadName(std::string_view name) {
  // A function definition used as a value names the function's global ("@F_n" cannot be declared).
  if (name.starts_with("@F_")) return emitName(OpLoadGlobal, name);
  if (withDepth_ > 0) return emitName(OpLoadName, name);
  const Binding* b = lookup(name);
  if (!b) return emitName(OpLoadGlobal, name);
  emit(b->kind == BindLocal ? OpLoadLocal : OpLoadSlot, b->index);
}

void Generator::storeName(std::string_view name) {
  if (withDepth_ > 0) return emitName(OpStoreName, name);
  const Binding* b = lookup(name);
  if (!b) return emitName(OpStoreGlobal, name);
  emit(b->kind == BindLocal ? OpStoreLocal : OpStoreSlot, b->index);
}

// --- expressions ---

void Generator::load(const Node* t) {
  LineScope ls(line_, t);
  switch (t->kind) {
    case NodeIdentifier: return loadName(view(t->name));
    case NodeMember:
      expression(t->left);
      return emitName(OpGetProp, view(t->name));
    case NodeIndex:
      expression(t->left);
      expression(t->right);
      return emit(OpGetElem);
    default: return expression(t);
  }
}

void Generator::store(const Node* t) {
  LineScope ls(line_, t);
  switch (t->kind) {
    case NodeIdentifier: return storeName(view(t->name));
    case NodeMember:
      expression(t->left);
      return emitName(OpSetProp, view(t->name));
    case NodeIndex:
      expression(t->left);
      expression(t->right);
      return emit(OpSetElem);
    default:
      // The parser only lets names, members and index accesses be assigned to.
      return emit(OpPop);
  }
}

void Generator::pushArgumentsReversed(const Node* list, int count) {
  std::vector<const Node*> items;
  items.reserve(size_t(std::max(count, 0)));
  for (const Node* a = list; a; a = a->next) items.push_back(a);
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    if ((*it)->kind == NodeEmpty) emit(OpPushUndef);  // an elision
    else expression(*it);
  }
}

void Generator::call(const Node* e) {
  pushArgumentsReversed(e->right, e->count);
  emitCount(e->count);
  const Node* callee = e->left;
  if (callee->kind == NodeIdentifier) {
    load(callee);
    if (withDepth_ > 0) emitName(OpCallName, view(callee->name));
    else emit(OpCall);
  } else if (callee->kind == NodeMember) {
    expression(callee->left);
    emitName(OpCallMethod, view(callee->name));
  } else {
    expression(callee);
    emit(OpCall);
  }
  emitSplit(OpDropUnder, int64_t(e->count) + 2);
}

void Generator::construct(const Node* e) {
  pushArgumentsReversed(e->right, e->count);
  emitCount(e->flag ? e->count : 0);
  expression(e->left);
  emit(OpNew);
  emit(OpSwap);
  emitSplit(OpDropUnder, int64_t(e->count) + 2);
}

void Generator::arrayLiteral(const Node* e) {
  if (e->count > kLongArrayLiteral) return longArrayLiteral(e);
  pushArgumentsReversed(e->left, e->count);
  emit(OpPushInt, -int64_t(e->count));
  emitName(OpLoadGlobal, "Array");
  emit(OpNew);
  emit(OpSwap);
  emitSplit(OpDropUnder, int64_t(e->count) + 2);
}

// A literal too long to have all its elements on the value stack at once: an empty array whose
// elements are stored one by one, from the last to the first as the short form evaluates them.
void Generator::longArrayLiteral(const Node* e) {
  emit(OpPush0);
  emitName(OpLoadGlobal, "Array");
  emit(OpNew);
  emit(OpSwap);
  emit(OpDropUnder, 2);
  std::vector<const Node*> items;
  for (const Node* a = e->left; a; a = a->next) items.push_back(a);
  for (size_t i = items.size(); i-- > 0;) {
    emit(OpDup);
    if (items[i]->kind == NodeEmpty) emit(OpPushUndef);
    else expression(items[i]);
    emit(OpSwap);
    emitInteger(int64_t(i));
    emit(OpSetElem);
  }
}

void Generator::objectLiteral(const Node* e) {
  emit(OpPush0);
  emitName(OpLoadGlobal, "Object");
  emit(OpNew);
  emit(OpSwap);
  emit(OpDropUnder, 2);
  std::vector<const Node*> properties;
  for (const Node* p = e->left; p; p = p->next) properties.push_back(p);
  for (auto it = properties.rbegin(); it != properties.rend(); ++it) {
    const Node* p = *it;
    LineScope ls(line_, p);
    emit(OpDup);
    expression(p->left);
    emit(OpSwap);
    if (p->op == TokIdentifier) {
      emitName(OpSetProp, view(p->name));
    } else if (p->op == TokInteger) {
      emitInteger(p->integer);
      emit(OpSetElem);
    } else {
      emit(OpPushConst, program_.constants.string(p->name.chars, p->name.length));
      emit(OpSetElem);
    }
  }
}

void Generator::prefix(const Node* e) {
  const Node* x = e->left;
  switch (e->op) {
    case '!': expression(x); return emit(OpNot);
    case '-': expression(x); return emit(OpNeg);
    case '+': return expression(x);
    case '~':
      expression(x);
      emit(OpPushConst, program_.constants.integer(-1));
      return emit(OpXor);
    case TokTypeof: expression(x); return emit(OpTypeof);
    case TokVoid:
      expression(x);
      emit(OpPop);
      return emit(OpPushUndef);
    case TokPlusPlus:
    case TokMinusMinus:
      load(x);
      emit(OpPush1);
      emit(e->op == TokPlusPlus ? OpAdd : OpSub);
      emit(OpDup);
      return store(x);
    case TokDelete:
      if (x->kind == NodeMember) {
        expression(x->left);
        return emitName(OpDelProp, view(x->name));
      }
      if (x->kind == NodeIndex) {
        expression(x->left);
        expression(x->right);
        return emit(OpDelElem);
      }
      if (x->kind == NodeIdentifier) {
        emit(OpPushNull);
        std::string_view name = view(x->name);
        if (withDepth_ > 0) return emitName(OpDelName, name);
        const Binding* b = lookup(name);
        if (!b) return emitName(OpReleaseGlobal, name);
        return emit(b->kind == BindLocal ? OpReleaseLocal : OpReleaseSlot, b->index);
      }
      // Nothing to delete: the operand is evaluated for its effects and the value is undefined,
      // like every other delete, so the stack stays balanced.
      expression(x);
      emit(OpPop);
      return emit(OpPushUndef);
    default: return expression(x);
  }
}

void Generator::expression(const Node* e) {
  LineScope ls(line_, e);
  switch (e->kind) {
    case NodeComma:
      expression(e->left);
      emit(OpPop);
      return expression(e->right);
    case NodeAssign:
      if (e->op == '=') {
        expression(e->right);
      } else {
        load(e->left);
        expression(e->right);
        emit(binaryOpcode(e->op));
      }
      emit(OpDup);
      return store(e->left);
    case NodeConditional: {
      int otherwise = newLabel(), end = newLabel();
      expression(e->left);
      emit(falseJump(e->left), otherwise);
      expression(e->right);
      emit(OpJump, end);
      place(otherwise);
      expression(e->third);
      return place(end);
    }
    case NodeLogical: {
      int end = newLabel();
      expression(e->left);
      emit(OpDup);
      emit(e->op == TokAndAnd ? falseJump(e->left) : trueJump(e->left), end);
      emit(OpPop);
      expression(e->right);
      return place(end);
    }
    case NodeBitwise:
    case NodeEquality:
    case NodeRelational:
    case NodeShift:
    case NodeMultiplicative:
    case NodeAdditive:
      expression(e->left);
      expression(e->right);
      return emit(binaryOpcode(e->op));
    case NodeThis: return emit(OpLoadSlot, 0);
    case NodeNull: return emit(OpPushNull);
    case NodeTrue: return emit(OpPushTrue);
    case NodeFalse: return emit(OpPushFalse);
    case NodeUndefined: return emit(OpPushUndef);
    case NodeIdentifier:
    case NodeMember:
    case NodeIndex: return load(e);
    case NodeFloat: return emit(OpPushConst, program_.constants.number(e->number));
    case NodeInteger: return emitInteger(e->integer);
    case NodeString: return emit(OpPushConst, program_.constants.string(e->name.chars, e->name.length));
    case NodeRegExp:
      return emit(OpPushConst,
                  program_.constants.regExp(e->name.chars, e->name.length, int(e->integer)));
    case NodeCall: return call(e);
    case NodeNew: return construct(e);
    case NodePostfix:
      load(e->left);
      emit(OpDup);
      emit(OpPush1);
      emit(e->op == TokPlusPlus ? OpAdd : OpSub);
      return store(e->left);
    case NodePrefix: return prefix(e);
    case NodeArray: return arrayLiteral(e);
    case NodeObject: return objectLiteral(e);
    default:
      // No other node kind stands where a value is expected; keep the stack balanced regardless.
      return emit(OpPushUndef);
  }
}

// --- statements ---

void Generator::statements(const Node* list) {
  for (const Node* s = list; s; s = s->next) statement(s);
}

void Generator::var(const Node* s) {
  for (const Node* d = s->left; d; d = d->next) {
    LineScope ls(line_, d);
    std::string_view name = view(d->name);
    if (s->flag) {  // directly in the main program: a global
      if (d->left) {
        expression(d->left);
        emitName(OpStoreGlobal, name);
      }
      continue;
    }
    int index = declareLocal(name, d->line);
    if (d->left) {
      expression(d->left);
      emit(OpStoreLocal, index);
    }
  }
}

void Generator::forLoop(const Node* s) {
  pushScope();
  int top = newLabel(), next = takeContinueLabel(), end = newLabel();
  if (const Node* init = s->left) {
    if (init->kind == NodeVar) {
      var(init);
    } else {
      expression(init);
      emit(OpPop);
    }
  }
  place(top);
  if (s->right) {
    expression(s->right);
    emit(falseJump(s->right), end);
  } else {
    emit(OpPushTrue);
    emit(OpJFalse, end);
  }
  targets_.push_back(loopTarget(end, next));
  scopedStatement(s->fourth);
  targets_.pop_back();
  place(next);
  if (s->third) {
    expression(s->third);
    emit(OpPop);
  }
  emit(OpJump, top);
  place(end);
  popScope();
}

void Generator::forIn(const Node* s) {
  pushScope();
  int top = newLabel(), next = takeContinueLabel(), done = newLabel(), end = newLabel();
  const Node* target = s->left;
  std::string_view name;
  if (target->kind == NodeVar) {
    const Node* d = target->left;
    name = view(d->name);
    int index = declareLocal(name, d->line);
    if (d->left) {
      expression(d->left);
      emit(OpStoreLocal, index);
    }
  } else {
    name = view(target->name);
  }
  expression(s->right);
  emit(OpDup);
  emit(OpPush0);
  emit(OpSwap);
  emit(OpPush0);
  place(top);
  emit(OpNextItem);
  emit(OpJFalseB, done);
  storeName(name);
  JumpTarget loop = loopTarget(end, next);
  loop.temporaries = 2;  // the collection and the index
  targets_.push_back(loop);
  scopedStatement(s->third);
  targets_.pop_back();
  place(next);
  emit(OpPush1);
  emit(OpAdd);
  emit(OpDup);
  emit(OpRoll, -3);
  emit(OpDup);
  emit(OpRoll, 4);
  emit(OpSwap);
  emit(OpJump, top);
  place(done);
  emit(OpPop);
  place(end);
  emit(OpPopN, 2);
  popScope();
}

void Generator::switchStatement(const Node* s) {
  expression(s->left);
  int end = newLabel();
  std::vector<const Node*> clauses;
  for (const Node* c = s->right; c; c = c->next) clauses.push_back(c);
  std::vector<int> bodies(clauses.size());
  int defaultBody = 0;
  for (size_t i = 0; i < clauses.size(); i++) {
    bodies[i] = newLabel();
    if (!clauses[i]->left) defaultBody = bodies[i];
  }
  // The case tests in source order; a failed last test goes to the default clause or the end.
  int nextTest = 0;
  for (size_t i = 0; i < clauses.size(); i++) {
    const Node* c = clauses[i];
    if (!c->left) continue;
    if (nextTest) place(nextTest);
    nextTest = newLabel();
    LineScope ls(line_, c->left);
    emit(OpDup);
    expression(c->left);
    emit(OpSeq);
    emit(OpJFalseB, nextTest);
    emit(OpJump, bodies[i]);
  }
  if (nextTest) place(nextTest);
  emit(OpJump, defaultBody ? defaultBody : end);
  JumpTarget target = loopTarget(end, 0);
  target.temporaries = 1;  // the discriminant
  targets_.push_back(target);
  pushScope();
  for (size_t i = 0; i < clauses.size(); i++) {
    place(bodies[i]);
    statements(clauses[i]->right);
  }
  popScope();
  targets_.pop_back();
  place(end);
  emit(OpPop);
}

void Generator::tryStatement(const Node* s) {
  int catchLabel = newLabel(), finallyLabel = newLabel(), done = newLabel();
  emit(OpTry, catchLabel);
  innermost().handlers++;
  scopedStatement(s->left);
  emit(OpPopTry, 1);
  innermost().handlers--;
  emit(OpPushFalse);
  emit(OpJump, finallyLabel);
  place(catchLabel);  // the exception value is on the stack here
  if (!s->right) {
    emit(OpPushTrue);
  } else {
    int nomatch = newLabel(), handled = newLabel(), rethrow = newLabel();
    emit(OpPushFalse);
    emit(OpSwap);
    emit(OpTry, rethrow);
    innermost().handlers++;
    // While the clauses run the flag and the exception stay on the stack.
    JumpTarget held;
    held.temporaries = 2;
    targets_.push_back(held);
    for (const Node* c = s->right; c; c = c->next) {
      LineScope ls(line_, c);
      int nextTest = c->next ? newLabel() : nomatch;
      int body = newLabel();
      pushScope();
      emit(OpDup);
      emit(OpStoreLocal, declareLocal(view(c->name), c->line));
      if (c->left) {
        int guardFailed = newLabel();
        emit(OpTry, guardFailed);
        innermost().handlers++;
        expression(c->left);
        emit(OpPopTry, 1);
        innermost().handlers--;
        emit(falseJump(c->left), nextTest);
        emit(OpJump, body);
        place(guardFailed);
        emit(OpPop);
        emit(OpJump, nextTest);
      }
      place(body);
      emit(OpSwap);
      emit(OpPop);
      emit(OpPushTrue);
      emit(OpSwap);
      statement(c->right);
      popScope();
      emit(OpJump, nomatch);
      if (c->next) place(nextTest);
    }
    targets_.pop_back();
    place(nomatch);
    emit(OpPopTry, 1);
    innermost().handlers--;
    emit(OpSwap);
    emit(OpJTrueB, handled);
    emit(OpPushTrue);
    emit(OpJump, finallyLabel);
    place(handled);
    emit(OpPop);
    emit(OpPushFalse);
    emit(OpJump, finallyLabel);
    place(rethrow);
    emit(OpDropUnder, 2);
    emit(OpPushTrue);
  }
  place(finallyLabel);
  if (s->third) {
    JumpTarget pending;
    pending.temporaries = kPendingFlag;
    targets_.push_back(pending);
    scopedStatement(s->third);
    targets_.pop_back();
  }
  emit(OpJFalseB, done);
  emit(OpThrow);
  place(done);
}

void Generator::dllImport(const Node* s) {
  std::vector<const Node*> types;
  for (const Node* t = s->third; t; t = t->next) types.push_back(t);
  auto pushText = [&](const Text& text) {
    emit(OpPushConst, program_.constants.string(text.chars, text.length));
  };
  for (auto it = types.rbegin(); it != types.rend(); ++it) pushText((*it)->name);
  pushText(s->right->name);
  pushText(s->name3);
  pushText(s->name2.present() ? s->name2 : s->name);
  pushText(s->name);
  expression(s->left);
  int n = int(types.size());
  emit(OpPushInt, n + 5);
  emitName(OpLoadGlobal, "Dll");
  emitName(OpCallMethod, "registerFunction");
  emitSplit(OpDropUnder, int64_t(n) + 7);
  emit(OpPop);
}

// Leaves the entries from the innermost one down to `outermost`: removes the with objects and the
// handlers installed inside them, then pops the stack values held by the entries above
// `keepTemporariesOf` (whose own values stay).
void Generator::leaveTargets(size_t outermost, size_t keepTemporariesOf) {
  int withs = 0, handlers = 0;
  for (size_t i = outermost; i < targets_.size(); i++) {
    withs += targets_[i].withs;
    handlers += targets_[i].handlers;
  }
  emitSplit(OpPopWith, withs);
  emitSplit(OpPopTry, handlers);
  int values = 0;
  for (size_t i = targets_.size(); i-- > keepTemporariesOf + 1;) {
    int held = targets_[i].temporaries;
    if (held != kPendingFlag) {
      values += held;
      continue;
    }
    if (values) emitPops(values);
    values = 0;
    // A pending exception lies under a true flag; leaving the finally part abandons it.
    int clean = newLabel();
    emit(OpJFalseB, clean);
    emit(OpPop);
    place(clean);
  }
  if (values) emitPops(values);
}

void Generator::breakStatement(const Node* s) {
  size_t found = targets_.size();
  for (size_t i = targets_.size(); i-- > 0;) {
    const JumpTarget& t = targets_[i];
    if (!t.breakLabel) continue;
    if (s->name.present() && !(t.labelled && t.label == view(s->name))) continue;
    found = i;
    break;
  }
  if (found == targets_.size()) reportError(messages_, errorLine_, "invalid break");
  leaveTargets(found, found);
  emit(OpJump, targets_[found].breakLabel);
}

void Generator::continueStatement(const Node* s) {
  size_t found = targets_.size();
  for (size_t i = targets_.size(); i-- > 0;) {
    const JumpTarget& t = targets_[i];
    if (!t.continueLabel) continue;
    if (s->name.present() && !(t.labelled && t.label == view(s->name))) continue;
    found = i;
    break;
  }
  if (found == targets_.size()) reportError(messages_, errorLine_, "invalid continue");
  int label = targets_[found].continueLabel;
  // A label names the loop right inside it: that loop keeps its own values.
  size_t loop = found;
  while (loop < targets_.size() && (targets_[loop].labelled || targets_[loop].continueLabel != label))
    loop++;
  if (loop == targets_.size()) loop = found;
  leaveTargets(loop, loop);
  emit(OpJump, label);
}

void Generator::returnStatement(const Node* s) {
  int handlers = 0;
  for (const JumpTarget& t : targets_) handlers += t.handlers;
  emitSplit(OpPopTry, handlers);
  if (s->left) expression(s->left);
  else emit(OpPushUndef);
  emit(OpReturn);
}

void Generator::statement(const Node* s) {
  LineScope ls(line_, s);
  switch (s->kind) {
    case NodeEmpty: return;
    case NodeExpression:
      expression(s->left);
      return emit(OpPop);
    case NodeBlock:
      pushScope();
      statements(s->left);
      return popScope();
    case NodeVar: return var(s);
    case NodeIf: {
      int otherwise = newLabel(), end = newLabel();
      expression(s->left);
      emit(falseJump(s->left), otherwise);
      scopedStatement(s->right);
      emit(OpJump, end);
      place(otherwise);
      if (s->third) scopedStatement(s->third);
      return place(end);
    }
    case NodeWhile: {
      int top = takeContinueLabel(), end = newLabel();
      place(top);
      expression(s->left);
      emit(falseJump(s->left), end);
      targets_.push_back(loopTarget(end, top));
      scopedStatement(s->right);
      targets_.pop_back();
      emit(OpJump, top);
      return place(end);
    }
    case NodeDoWhile: {
      int top = newLabel(), next = takeContinueLabel(), end = newLabel();
      place(top);
      targets_.push_back(loopTarget(end, next));
      scopedStatement(s->left);
      targets_.pop_back();
      place(next);
      expression(s->right);
      emit(trueJump(s->right), top);
      return place(end);
    }
    case NodeFor: return forLoop(s);
    case NodeForIn: return forIn(s);
    case NodeContinue: return continueStatement(s);
    case NodeBreak: return breakStatement(s);
    case NodeReturn: return returnStatement(s);
    case NodeWith:
      expression(s->left);
      emit(OpPushWith);
      innermost().withs++;
      withDepth_++;
      scopedStatement(s->right);
      withDepth_--;
      emit(OpPopWith, 1);
      innermost().withs--;
      return;
    case NodeTry: return tryStatement(s);
    case NodeThrow:
      expression(s->left);
      return emit(OpThrow);
    case NodeSwitch: return switchStatement(s);
    case NodeLabelled: {
      JumpTarget target = loopTarget(newLabel(), 0);
      target.label = view(s->name);
      target.labelled = true;
      const Node* inner = s->left;
      while (inner->kind == NodeLabelled) inner = inner->left;
      if (isLoop(inner)) {
        if (!pendingContinue_) pendingContinue_ = newLabel();
        target.continueLabel = pendingContinue_;
      }
      targets_.push_back(target);
      statement(s->left);
      targets_.pop_back();
      return place(target.breakLabel);
    }
    case NodeMethodBinding:
      emitName(OpLoadGlobal, view(s->name2));
      emitName(OpLoadGlobal, view(s->name));
      return emitName(OpSetProp, view(s->name3));
    case NodeDllImport: return dllImport(s);
    default:
      // Any other node standing as a statement is an expression whose value is not used.
      expression(s);
      return emit(OpPop);
  }
}

// --- functions ---

void Generator::startFunction(const std::string& name) {
  program_.functionNames.push_back(name);
  emit(kPseudoFunction, int64_t(program_.functionNames.size() - 1));
  bindings_.clear();
  scopes_.clear();
  targets_.assign(1, JumpTarget{});
  withDepth_ = 0;
  pendingContinue_ = 0;
  localsUsed_ = 0;
}

// The LOCALS instruction is emitted before the body and gets its count once the body is known.
void Generator::patchLocals(size_t localsAt, int line) {
  if (localsUsed_ > kMaxLocals)
    reportError(messages_, line, "too many local variables (at most %d)", kMaxLocals);
  if (localsUsed_ == 0) code_.erase(code_.begin() + std::ptrdiff_t(localsAt));
  else code_[localsAt].operand = localsUsed_;
}

void Generator::function(const Node* fn) {
  line_ = fn->line;
  startFunction(std::string(view(fn->name)));
  if (fn->count > kMaxParameters)
    reportError(messages_, fn->line, "too many formal parameters (at most %d)", kMaxParameters);
  pushScope();
  int slot = 2;
  for (const Node* p = fn->left; p; p = p->next)
    bindings_.push_back(Binding{view(p->name), BindSlot, slot++});
  emit(OpLoadSlot, 1);
  emit(OpAdd2);
  emit(OpArgFix, fn->count + 2);
  size_t localsAt = code_.size();
  emit(OpLocals, 0);
  if (fn->flag) {
    int arguments = declareLocal("arguments", fn->line);
    int loop = newLabel(), out = newLabel();
    emit(OpPush0);
    emitName(OpLoadGlobal, "Object");
    emit(OpNew);
    emit(OpSwap);
    emit(OpDropUnder, 2);
    emit(OpStoreLocal, arguments);
    emit(OpPush0);  // the index
    place(loop);
    emit(OpDup);
    emit(OpLoadSlot, 1);
    emit(OpGe);
    emit(OpJTrueB, out);
    emit(OpDup);
    emit(OpDup);
    emit(OpAdd2);
    emit(OpLoadArgX);
    emit(OpSwap);
    emit(OpLoadLocal, arguments);
    emit(OpSwap);
    emit(OpSetElem);
    emit(OpInc);
    emit(OpJump, loop);
    place(out);
    // The index left on the stack equals the count.
    emit(OpLoadLocal, arguments);
    emitName(OpSetProp, "length");
    emitName(OpLoadGlobal, view(fn->name));
    emit(OpLoadLocal, arguments);
    emitName(OpSetProp, "callee");
  }
  if (fn->right && fn->right->kind == NodeBlock) statements(fn->right->left);
  emit(OpPushUndef);
  emit(OpReturn);
  popScope();
  patchLocals(localsAt, fn->line);
}

void Generator::mainProgram(const Node* list) {
  line_ = list->line;
  startFunction(".main");
  pushScope();
  size_t localsAt = code_.size();
  emit(OpLocals, 0);
  statements(list);
  popScope();
  // The value of a final expression statement (or of a switch's discriminant) is the run's result.
  if (code_.back().op == OpPop) code_.pop_back();
  else emit(OpPushUndef);
  patchLocals(localsAt, list->line);
}

}  // namespace

void generateProgram(const Node* functions, const Node* statements, MessageStream& messages,
                     int errorLine, GeneratedProgram& program) {
  Generator generator(messages, errorLine, program);
  for (const Node* fn = functions; fn; fn = fn->next) generator.function(fn);
  if (statements) generator.mainProgram(statements);
}

}  // namespace vorlo
