// The action interpreter: one loop over an action block, with nested ranges for `with`, `try` and
// function bodies. Every length and jump target is checked against the range it belongs to; a
// damaged block stops that block only.
#include <cmath>
#include <cstring>
#include <limits>

#include "player/avm1/sound_api.h"
#include "player/avm1/text.h"
#include "player/avm1/vm.h"

namespace vorlo::player::avm1 {

namespace {

struct BadCode {
  std::string reason;
};

// How a nested range ended.
struct Flow {
  enum Kind { Normal, Return, Jump } kind = Normal;
  Value value;
  uint32_t target = 0;
};

class Reader {
 public:
  Reader(const uint8_t* p, uint32_t n) : p_(p), n_(n) {}
  bool done() const { return pos_ >= n_; }
  uint8_t u8() {
    need(1);
    return p_[pos_++];
  }
  uint16_t u16() {
    need(2);
    uint16_t v = uint16_t(p_[pos_] | p_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  uint32_t u32() {
    need(4);
    uint32_t v = uint32_t(p_[pos_]) | uint32_t(p_[pos_ + 1]) << 8 | uint32_t(p_[pos_ + 2]) << 16 |
                 uint32_t(p_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  std::string str() {
    uint32_t start = pos_;
    while (pos_ < n_ && p_[pos_]) ++pos_;
    if (pos_ >= n_) throw BadCode{"a string runs past its action"};
    std::string s(reinterpret_cast<const char*>(p_ + start), pos_ - start);
    ++pos_;
    return s;
  }
  float f32() {
    uint32_t v = u32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  double f64() {
    // Stored as two little-endian words, the high word first.
    uint64_t hi = u32(), lo = u32();
    uint64_t v = hi << 32 | lo;
    double d;
    std::memcpy(&d, &v, 8);
    return d;
  }

 private:
  void need(uint32_t k) {
    if (n_ - pos_ < k || pos_ > n_) throw BadCode{"an action's data is shorter than it says"};
  }
  const uint8_t* p_;
  uint32_t n_;
  uint32_t pos_ = 0;
};

bool isClip(const Value& v) { return v.type == Type::Object && v.obj->kind == Kind::Clip; }

class Interpreter {
 public:
  Interpreter(Activation& a) : a_(a), vm_(a.vm) {}

  Flow run(const Code& code, uint32_t begin, uint32_t end);

 private:
  Value pop() {
    if (a_.stack.empty()) return {};
    Value v = std::move(a_.stack.back());
    a_.stack.pop_back();
    return v;
  }
  void push(Value v) {
    if (a_.stack.size() >= Vm::kMaxStack) throw ScriptAbort{"the stack grew beyond its limit"};
    a_.stack.push_back(std::move(v));
  }
  void pushBool(bool b) {
    if (vm_.version < 5) push(Value(b ? 1.0 : 0.0));
    else push(Value(b));
  }
  std::string str(const Value& v) { return vm_.toString(v); }
  // A popped string gives its text up without a copy.
  std::string str(Value&& v) { return v.isString() ? std::move(v.str) : vm_.toString(v); }
  double num(const Value& v) { return vm_.toNumber(v); }

  Value getVariable(const std::string& name);
  Value lookupVariable(const std::string& name);
  void setVariable(const std::string& name, const Value& v);
  Object* findScope(const std::string& name);
  ClipObject* currentClip();
  MovieClip* targetClip();
  void gotoFrameValue(const Value& frame, bool play, int bias);
  void callFrame(const Value& frame);
  bool frameLoaded(const Value& frame);
  Function* defineFunction(Reader& r, bool v2, const Code& code, uint32_t bodyStart, uint32_t* bodySize);
  Flow tryBlock(Reader& r, const Code& code, uint32_t next, uint32_t end, uint32_t* after);
  void getUrl(const std::string& url, const std::string& target);
  void loadVariables(const std::string& url, const std::string& target);
  // tellTarget: a missing clip makes the root the target, as the reference player does; from SWF 7
  // only variables are looked up there, while timeline actions and properties do nothing.
  void setTarget(ClipObject* t) {
    a_.targetLost = !t && vm_.version >= 7;
    if (!t) t = vm_.clipObject(vm_.rootClip());
    a_.target = t;
    if (a_.frameScope && !a_.scope.empty()) a_.scope[0] = t;
  }

  Activation& a_;
  Vm& vm_;
};

ClipObject* Interpreter::currentClip() {
  if (a_.target && a_.target->display && !a_.targetLost) return a_.target;
  return nullptr;
}

MovieClip* Interpreter::targetClip() {
  ClipObject* c = currentClip();
  return c ? c->clip() : nullptr;
}

// The object of the scope chain that has `name`, innermost first; null when none has it.
Object* Interpreter::findScope(const std::string& name) {
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it)
    if (*it && vm_.has(*it, name)) return *it;
  return nullptr;
}

// Where the action `count` actions after `pc` starts (the end of the range at most).
uint32_t skipActions(const std::vector<uint8_t>& bytes, uint32_t pc, uint32_t end, uint32_t count) {
  for (; count && pc < end; --count) {
    if (bytes[pc] < 0x80) {
      ++pc;
    } else {
      if (pc + 3 > end) return end;
      pc += 3 + uint32_t(bytes[pc + 1] | bytes[pc + 2] << 8);
    }
  }
  return std::min(pc, end);
}

// WaitForFrame2's question. Every frame of a movie read whole is loaded, so only the reference
// player's limit counts: frame numbers beyond 16001 are never loaded. The number is taken as a
// 32-bit integer (a text or a fraction counts as frame 0).
bool Interpreter::frameLoaded(const Value& frame) {
  int32_t n = 0;
  if (frame.isNumber() && std::isfinite(frame.num) && frame.num == std::trunc(frame.num)) {
    n = toInt32(frame.num);
  } else {
    double d = stringToNumber(str(frame), 5);
    if (std::isfinite(d) && d == std::trunc(d)) n = toInt32(d);
  }
  if (n == std::numeric_limits<int32_t>::min()) n = std::numeric_limits<int32_t>::max();
  return n <= 16001;
}

bool hasPathChars(const std::string& s) {
  return s.find_first_of(":/.") != std::string::npos;
}

Value Interpreter::getVariable(const std::string& name) {
  Value v = lookupVariable(name);
  if (v.isObject() && (v.obj == a_.arguments || v.obj == a_.superObject)) a_.escaped = true;
  return v;
}

Value Interpreter::lookupVariable(const std::string& name) {
  if (hasPathChars(name) && name != "..") {
    // "path:var", "path.var" or a path to a clip.
    size_t colon = name.rfind(':');
    size_t split = colon != std::string::npos ? colon : name.rfind('.');
    if (split == std::string::npos) {
      Object* o = vm_.resolvePath(a_, name);
      if (o) return Value(o);
      size_t slash = name.rfind('/');
      if (slash == std::string::npos) return {};
      split = slash;
    }
    std::string path = name.substr(0, split), var = name.substr(split + 1);
    Object* o = path.empty() ? static_cast<Object*>(a_.target) : vm_.resolvePath(a_, path);
    if (!o) return {};
    return vm_.get(o, var);
  }
  std::string k = vm_.key(name);
  if (k == "this") {
    if (Object* s = findScope(name)) return vm_.get(s, name);
    // In functions `this` is a local (absent when preloaded into a register or suppressed).
    return a_.frameScope ? a_.self : Value();
  }
  if (vm_.version < 5) {
    // SWF 4 has variables only: no globals, and clips are not values.
    for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it) {
      if (!*it) continue;
      bool found;
      Object* holder = nullptr;
      Value v = vm_.lookup(*it, name, &found, &holder, Value(*it));
      if (found && !(v.isObject() && v.obj->kind == Kind::Clip)) return v;
    }
    return {};
  }
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it) {
    if (!*it) continue;
    bool found;
    Value v = vm_.lookup(*it, name, &found, nullptr, Value(*it));
    if (found) return v;
  }
  bool found;
  Value v = vm_.lookup(vm_.global(), name, &found, nullptr, Value(vm_.global()));
  if (found) return v;
  if (k == "_global" && vm_.version >= 6) return Value(vm_.global());
  if (k == "_root" || k == "_level0") return Value(static_cast<Object*>(vm_.clipObject(vm_.rootClip())));
  return {};
}

void Interpreter::setVariable(const std::string& name, const Value& v) {
  if (hasPathChars(name)) {
    size_t colon = name.rfind(':');
    size_t split = colon != std::string::npos ? colon : name.rfind('.');
    if (split == std::string::npos) split = name.rfind('/');
    std::string path = name.substr(0, split), var = name.substr(split + 1);
    Object* o = path.empty() ? static_cast<Object*>(a_.target) : vm_.resolvePath(a_, path);
    if (o) vm_.set(o, var, v);
    return;
  }
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it) {
    if (*it && vm_.has(*it, name)) {
      vm_.set(*it, name, v);
      return;
    }
  }
  // Not found: the innermost timeline takes it.
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it) {
    if (*it && (*it)->kind == Kind::Clip) {
      vm_.set(*it, name, v);
      return;
    }
  }
  if (a_.base) vm_.set(a_.base, name, v);
}

void Interpreter::gotoFrameValue(const Value& frame, bool play, int bias) {
  MovieClip* clip = targetClip();
  int number = 0;
  if (frame.type == Type::String) {
    std::string s = frame.str;
    size_t colon = s.rfind(':');
    if (colon != std::string::npos) {
      Object* o = vm_.resolvePath(a_, s.substr(0, colon));
      clip = o && o->kind == Kind::Clip ? static_cast<ClipObject*>(o)->clip() : nullptr;
      s = s.substr(colon + 1);
    }
    if (!clip) return;
    double n = stringToNumber(s, 5);
    if (!std::isnan(n)) number = int(n) + bias;
    else number = clip->frameOfLabel(s);
    if (number == 0) return;
  } else {
    if (!clip) return;
    double n = num(frame);
    if (!std::isfinite(n)) return;
    number = int(n) + bias;
  }
  if (number < 1) number = 1;
  vm_.gotoFrame(*clip, number);
  if (play) clip->play();
  else clip->stop();
}

void Interpreter::callFrame(const Value& frame) {
  MovieClip* clip = targetClip();
  std::string s = frame.type == Type::String ? frame.str : str(frame);
  size_t colon = s.rfind(':');
  if (colon != std::string::npos) {
    Object* o = vm_.resolvePath(a_, s.substr(0, colon));
    clip = o && o->kind == Kind::Clip ? static_cast<ClipObject*>(o)->clip() : nullptr;
    s = s.substr(colon + 1);
  }
  if (!clip) return;
  double n = stringToNumber(s, 5);
  int number = std::isnan(n) ? clip->frameOfLabel(s) : int(n);
  if (number < 1 || number > clip->frameCount()) return;
  for (const ControlTag& tag : clip->timeline().frames[size_t(number) - 1].tags) {
    auto* raw = std::get_if<RawTag>(&tag);
    if (raw && raw->code == 12) {
      auto block = std::make_shared<const std::vector<uint8_t>>(raw->body);
      vm_.runBlock(*clip, block);
    }
  }
}

// loadVariables(url, target) and loadVariablesNum (whose target is "_levelN"): the variables
// arrive on a later frame.
void Interpreter::loadVariables(const std::string& url, const std::string& target) {
  Object* o = vm_.resolvePath(a_, target);
  if (!o || o->kind != Kind::Clip) {
    vm_.warn("loadVariables: no clip \"" + target + "\"");
    return;
  }
  vm_.pendingLoads.push_back({Vm::LoadKind::Variables, Value(o), url});
}

void Interpreter::getUrl(const std::string& url, const std::string& target) {
  std::string lower = url.substr(0, 10);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "fscommand:") {
    if (vm_.onFsCommand) vm_.onFsCommand(url.substr(10), target);
    return;
  }
  // Loading and navigation belong to the host; without one the request is dropped.
}

Function* Interpreter::defineFunction(Reader& r, bool v2, const Code& code, uint32_t bodyStart,
                                      uint32_t* bodySize) {
  Function* f = vm_.make<Function>();
  f->proto = vm_.functionProto;
  f->name = r.str();
  uint16_t count = r.u16();
  f->v2 = v2;
  if (v2) {
    f->regCount = r.u8();
    f->flags2 = r.u16();
  }
  for (uint16_t i = 0; i < count; ++i) {
    Function::Param p;
    if (v2) p.reg = r.u8();
    p.name = r.str();
    f->params.push_back(std::move(p));
  }
  *bodySize = r.u16();
  f->code = Code{code.block, bodyStart, bodyStart + *bodySize};
  f->scope = a_.scope;
  a_.escaped = true;  // the scope (and the call's objects in it) outlive the call
  if (f->scope.size() > size_t(Vm::kMaxScopeDepth)) throw ScriptAbort{"scopes nested too deeply"};
  f->pool = a_.pool;
  f->clip = a_.base;
  Object* proto = vm_.newObject();
  vm_.defineOwn(proto, "constructor", Value(static_cast<Object*>(f)), kDontEnum);
  vm_.defineOwn(f, "prototype", Value(proto), kDontEnum);
  return f;
}

Flow Interpreter::tryBlock(Reader& r, const Code& code, uint32_t next, uint32_t end, uint32_t* after) {
  uint8_t flags = r.u8();
  uint16_t trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
  std::string catchName;
  uint8_t catchReg = 0;
  bool inReg = flags & 4;
  if (inReg) catchReg = r.u8();
  else catchName = r.str();
  uint32_t tryStart = next, catchStart = tryStart + trySize, finallyStart = catchStart + catchSize;
  uint32_t finallyEnd = finallyStart + finallySize;
  if (finallyEnd > end) throw BadCode{"a try block runs past its range"};
  *after = finallyEnd;
  Flow flow;
  bool pending = false;
  ScriptThrow thrown;
  size_t stackSize = a_.stack.size();
  try {
    flow = run(code, tryStart, catchStart);
  } catch (ScriptThrow& t) {
    a_.stack.resize(std::min(stackSize, a_.stack.size()));
    if (flags & 1) {
      if (inReg) {
        if (catchReg < a_.regs.size()) a_.regs[catchReg] = t.value;
      } else {
        Object* target = a_.locals ? a_.locals : a_.scope.empty() ? nullptr : a_.scope.back();
        if (target) vm_.set(target, catchName, t.value);
      }
      try {
        flow = run(code, catchStart, finallyStart);
      } catch (ScriptThrow& t2) {
        if (!(flags & 2)) throw;
        pending = true;
        thrown = t2;
      }
    } else {
      pending = true;
      thrown = t;
    }
  }
  if (flags & 2) {
    Flow f2 = run(code, finallyStart, finallyEnd);
    if (f2.kind != Flow::Normal) return f2;
  }
  if (pending) throw thrown;
  return flow;
}

Flow Interpreter::run(const Code& code, uint32_t begin, uint32_t end) {
  const std::vector<uint8_t>& bytes = *code.block;
  if (end > bytes.size()) end = uint32_t(bytes.size());
  uint32_t pc = begin;
  while (pc < end) {
    vm_.chargeAction();
    uint8_t op = bytes[pc];
    uint32_t len = 0, dataStart = pc + 1;
    if (op == 0) return {};
    if (op >= 0x80) {
      if (pc + 3 > end) throw BadCode{"an action's header runs past its block"};
      len = uint32_t(bytes[pc + 1] | bytes[pc + 2] << 8);
      dataStart = pc + 3;
      if (dataStart + len > end) throw BadCode{"an action runs past its block"};
    }
    uint32_t next = dataStart + len;
    Reader r(bytes.data() + dataStart, len);
    auto jumpTo = [&](int16_t offset) -> Flow {
      int64_t t = int64_t(next) + offset;
      if (t < int64_t(begin) || t > int64_t(end)) {
        if (t < 0 || t > int64_t(bytes.size())) throw BadCode{"a jump leaves its block"};
        Flow f;
        f.kind = Flow::Jump;
        f.target = uint32_t(t);
        return f;
      }
      next = uint32_t(t);
      return {};
    };
    switch (op) {
      // ---- SWF 3: timeline control ----
      case 0x04:
        if (MovieClip* c = targetClip()) {
          vm_.gotoFrame(*c, c->currentFrame() + 1);
          c->stop();
        }
        break;
      case 0x05:
        if (MovieClip* c = targetClip()) {
          vm_.gotoFrame(*c, c->currentFrame() - 1);
          c->stop();
        }
        break;
      case 0x06:
        if (MovieClip* c = targetClip()) c->play();
        break;
      case 0x07:
        if (MovieClip* c = targetClip()) c->stop();
        break;
      case 0x08: break;  // toggling the quality: the host's renderer keeps its own
      case 0x09:
        if (vm_.soundOutput) vm_.soundOutput->stop(0);
        break;
      case 0x81: {
        uint16_t f = r.u16();
        if (MovieClip* c = targetClip()) {
          vm_.gotoFrame(*c, int(f) + 1);
          c->stop();
        }
        break;
      }
      case 0x83: {
        std::string url = r.str();
        std::string target = r.str();
        getUrl(url, target);
        break;
      }
      case 0x8A: {  // WaitForFrame: every frame of a read movie is loaded, none beyond 16000
        uint16_t frame = r.u16();
        uint8_t skip = r.u8();
        if (frame > 16000) next = skipActions(bytes, next, end, skip);
        break;
      }
      case 0x8B: {  // SetTarget
        std::string path = r.str();
        ClipObject* t = a_.base;
        if (!path.empty()) {
          Object* o = vm_.resolvePath(a_, path);
          if (o && o->kind == Kind::Clip) t = static_cast<ClipObject*>(o);
          else {
            vm_.warn("tellTarget: no clip at \"" + path + "\"");
            t = nullptr;
          }
        }
        setTarget(t);
        break;
      }
      case 0x8C: {
        std::string label = r.str();
        if (MovieClip* c = targetClip()) {
          int f = c->frameOfLabel(label);
          if (f) {
            vm_.gotoFrame(*c, f);
            c->stop();
          }
        }
        break;
      }
      // ---- SWF 4: the stack machine ----
      case 0x96: {
        while (!r.done()) {
          uint8_t type = r.u8();
          switch (type) {
            case 0: push(Value(r.str())); break;
            case 1: push(Value(double(r.f32()))); break;
            case 2: push(Value::null()); break;
            case 3: push(Value()); break;
            case 4: {
              uint8_t reg = r.u8();
              push(reg < a_.regs.size() ? a_.regs[reg] : Value());
              break;
            }
            case 5: push(Value(r.u8() != 0)); break;
            case 6: push(Value(r.f64())); break;
            case 7: push(Value(double(int32_t(r.u32())))); break;
            case 8:
            case 9: {
              uint16_t i = type == 8 ? r.u8() : r.u16();
              if (a_.pool && i < a_.pool->size()) push(Value((*a_.pool)[i]));
              else push(Value());
              break;
            }
            default: throw BadCode{"a push of an unknown type"};
          }
        }
        break;
      }
      case 0x17: pop(); break;
      case 0x0A:
      case 0x0B:
      case 0x0C:
      case 0x0D: {
        Value bv = pop(), xv = pop();
        double x = num(xv), b = num(bv);
        double res = op == 0x0A ? x + b : op == 0x0B ? x - b : op == 0x0C ? x * b : 0;
        if (op == 0x0D) {
          if (b == 0 && vm_.version < 5) {
            push(Value("#ERROR#"));
            break;
          }
          res = x / b;
        }
        push(Value(res));
        break;
      }
      case 0x0E: {
        Value bv = pop(), xv = pop();
        double b = num(bv), x = num(xv);  // the top converts first here
        pushBool(x == b);
        break;
      }
      case 0x0F: {
        Value bv = pop(), xv = pop();
        double x = num(xv), b = num(bv);
        pushBool(x < b);
        break;
      }
      case 0x10: {
        Value b = pop(), x = pop();
        bool xb = vm_.toBool(x), bb = vm_.toBool(b);
        pushBool(xb && bb);
        break;
      }
      case 0x11: {
        Value b = pop(), x = pop();
        bool xb = vm_.toBool(x), bb = vm_.toBool(b);
        pushBool(xb || bb);
        break;
      }
      case 0x12: pushBool(!vm_.toBool(pop())); break;
      case 0x13: {
        Value bv = pop(), xv = pop();
        std::string x = str(xv), b = str(bv);
        pushBool(x == b);
        break;
      }
      case 0x14:
      case 0x31: {
        std::string s = str(pop());
        push(Value(double(op == 0x14 && vm_.version < 6 ? s.size() : toUtf16(s).size())));
        break;
      }
      case 0x15:
      case 0x35: {
        double count = num(pop()), index = num(pop());
        std::u16string s = toUtf16(str(pop()));
        int64_t i = std::isfinite(index) ? int64_t(index) - 1 : 0;
        int64_t n = std::isfinite(count) ? int64_t(count) : 0;
        if (i < 0) i = 0;
        if (i > int64_t(s.size())) i = int64_t(s.size());
        if (n < 0 || i + n > int64_t(s.size())) n = int64_t(s.size()) - i;
        push(Value(toUtf8(s.substr(size_t(i), size_t(n)))));
        break;
      }
      case 0x18: {
        double n = num(pop());
        push(Value(std::isnan(n) ? 0.0 : std::trunc(n)));
        break;
      }
      case 0x1C: {
        std::string name = str(pop());
        push(getVariable(name));
        break;
      }
      case 0x1D: {
        Value v = pop();
        std::string name = str(pop());
        setVariable(name, v);
        break;
      }
      case 0x20: {  // SetTarget2
        Value t = pop();
        ClipObject* target = nullptr;
        if (isClip(t) && vm_.version >= 7) {
          // From SWF 7 a clip is targeted by its path, found again by name (the first clip of
          // that name when two share it).
          auto* c = static_cast<ClipObject*>(t.obj);
          Object* o = c->display ? vm_.resolvePath(a_, vm_.targetPath(*c->display)) : nullptr;
          if (o && o->kind == Kind::Clip) target = static_cast<ClipObject*>(o);
        } else if (isClip(t)) {
          target = static_cast<ClipObject*>(t.obj);
        } else {
          std::string path = str(t);
          if (path.empty()) target = a_.base;
          else {
            Object* o = vm_.resolvePath(a_, path);
            if (o && o->kind == Kind::Clip) target = static_cast<ClipObject*>(o);
            else vm_.warn("tellTarget: no clip at \"" + path + "\"");
          }
        }
        setTarget(target);
        break;
      }
      case 0x21: {
        Value bv = pop(), xv = pop();
        std::string x = str(xv), b = str(bv);
        if (x.size() + b.size() > Vm::kMaxString) throw ScriptAbort{"a string grew beyond its limit"};
        push(Value(x + b));
        break;
      }
      case 0x22: {
        double index = num(pop());
        Value t = pop();
        Object* o = isClip(t) ? t.obj : nullptr;
        if (!o) {
          std::string path = str(t);
          o = path.empty() ? static_cast<Object*>(currentClip()) : vm_.resolvePath(a_, path);
        }
        if (o && o->kind == Kind::Clip && std::isfinite(index))
          push(vm_.getClipProperty(*static_cast<ClipObject*>(o), int(index)));
        else push(Value());
        break;
      }
      case 0x23: {
        Value v = pop();
        double index = num(pop());
        Value t = pop();
        Object* o = isClip(t) ? t.obj : nullptr;
        if (!o) {
          std::string path = str(t);
          o = path.empty() ? static_cast<Object*>(currentClip()) : vm_.resolvePath(a_, path);
        }
        if (o && o->kind == Kind::Clip && std::isfinite(index))
          vm_.setClipProperty(*static_cast<ClipObject*>(o), int(index), v);
        break;
      }
      case 0x24: {  // CloneSprite
        Value depth = pop(), name = pop(), source = pop();
        Object* o = isClip(source) ? source.obj : vm_.resolvePath(a_, str(source));
        // Text fields are cloned too, though they have no duplicateMovieClip method.
        if (o && o->kind == Kind::Clip && vm_.clipProto)
          vm_.call(vm_.get(vm_.clipProto, "duplicateMovieClip"), Value(o), {name, Value(num(depth) - 16384)});
        break;
      }
      case 0x25: {
        Value t = pop();
        Object* o = isClip(t) ? t.obj : vm_.resolvePath(a_, str(t));
        if (o && o->kind == Kind::Clip) vm_.callMethod(Value(o), "removeMovieClip", {});
        break;
      }
      case 0x26: {
        Value v = pop();
        vm_.trace(v.isUndefined() ? std::string("undefined") : str(v));
        break;
      }
      case 0x27: {  // StartDrag: no pointer here; the arguments are taken
        pop();
        pop();
        if (vm_.toBool(pop())) {
          pop();
          pop();
          pop();
          pop();
        }
        break;
      }
      case 0x28: break;
      case 0x29: {
        Value bv = pop(), xv = pop();
        std::string x = str(xv), b = str(bv);
        pushBool(lessByCodePoints(x, b));
        break;
      }
      case 0x68: {
        Value bv = pop(), xv = pop();
        std::string x = str(xv), b = str(bv);
        pushBool(lessByCodePoints(b, x));
        break;
      }
      case 0x30: {
        double max = num(pop());
        int32_t m = toInt32(max);  // any number, also one beyond 32 bits
        push(Value(m > 0 ? double(std::rand() % m) : 0.0));
        break;
      }
      case 0x32:
      case 0x36: {
        std::u16string s = toUtf16(str(pop()));
        push(Value(s.empty() ? 0.0 : double(s[0])));
        break;
      }
      case 0x33:
      case 0x37: {
        uint32_t c = toUint32(num(pop())) & 0xFFFF;
        std::string out;
        if (c) appendUtf8(out, c);
        push(Value(out));
        break;
      }
      case 0x34: push(Value(vm_.clock ? std::floor(vm_.clock()) : 0.0)); break;
      case 0x99: {
        Flow f = jumpTo(int16_t(r.u16()));
        if (f.kind == Flow::Jump) return f;
        break;
      }
      case 0x9D: {
        int16_t offset = int16_t(r.u16());
        if (vm_.toBool(pop())) {
          Flow f = jumpTo(offset);
          if (f.kind == Flow::Jump) return f;
        }
        break;
      }
      case 0x9E: callFrame(pop()); break;
      case 0x9F: {
        uint8_t flags = r.u8();
        int bias = flags & 2 ? r.u16() : 0;
        gotoFrameValue(pop(), flags & 1, bias);
        break;
      }
      case 0x9A: {
        uint8_t flags = r.u8();
        std::string target = str(pop());
        std::string url = str(pop());
        if (flags & 0x80) loadVariables(url, target);
        else getUrl(url, target);
        break;
      }
      case 0x8D: {  // WaitForFrame2
        uint8_t skip = r.u8();
        if (!frameLoaded(pop())) next = skipActions(bytes, next, end, skip);
        break;
      }
      // ---- SWF 5: objects ----
      case 0x88: {
        uint16_t count = r.u16();
        auto pool = std::make_shared<std::vector<std::string>>();
        pool->reserve(count);
        for (uint16_t i = 0; i < count; ++i) pool->push_back(r.str());
        a_.pool = std::move(pool);
        break;
      }
      case 0x3A: {
        std::string name = str(pop());
        Value o = pop();
        pushBool(o.isObject() && vm_.remove(o.obj, name));
        break;
      }
      case 0x3B: {
        std::string name = str(pop());
        Object* s = findScope(name);
        if (!s && vm_.hasOwn(vm_.global(), name)) s = vm_.global();
        pushBool(s && vm_.remove(s, name));
        break;
      }
      case 0x3C: {
        Value v = pop();
        std::string name = str(pop());
        Object* target = a_.frameScope ? (a_.scope.empty() ? nullptr : a_.scope[0]) : a_.locals;
        if (target) vm_.set(target, name, v);
        break;
      }
      case 0x41: {
        std::string name = str(pop());
        Object* target = a_.frameScope ? (a_.scope.empty() ? nullptr : a_.scope[0]) : a_.locals;
        if (target && !vm_.hasOwn(target, name)) vm_.set(target, name, Value());
        break;
      }
      case 0x3D: {
        std::string name = str(pop());
        double n = num(pop());
        std::vector<Value> args;
        size_t count = std::isfinite(n) && n > 0 ? size_t(std::min(n, double(a_.stack.size()))) : 0;
        for (size_t i = 0; i < count; ++i) args.push_back(pop());
        Value fn = getVariable(name);
        ClipObject* self = currentClip();
        push(vm_.call(fn, self ? Value(static_cast<Object*>(self)) : Value(), std::move(args)));
        break;
      }
      case 0x52:
      case 0x53: {
        Value nameV = pop();
        Value target = pop();
        double n = num(pop());
        std::vector<Value> args;
        size_t count = std::isfinite(n) && n > 0 ? size_t(std::min(n, double(a_.stack.size()))) : 0;
        for (size_t i = 0; i < count; ++i) args.push_back(pop());
        std::string name = nameV.isUndefined() ? std::string() : str(nameV);
        if (op == 0x53) {
          Value ctor = name.empty() ? target : vm_.getValue(target, name);
          push(vm_.construct(ctor, std::move(args)));
          break;
        }
        if (name.empty()) {
          if (target.isObject() && target.obj->kind == Kind::Super) {
            auto* s = static_cast<SuperObject*>(target.obj);
            Object* above = s->home ? s->home->proto : nullptr;
            Value ctor = above ? vm_.get(above, "__constructor__") : Value();
            if (!ctor.isObject() && above) ctor = vm_.get(above, "constructor");
            push(vm_.call(ctor, Value(s->self), std::move(args), above));
          } else {
            push(vm_.call(target, Value(), std::move(args), nullptr, true));
          }
          break;
        }
        if (target.isObject() && target.obj->kind == Kind::Super) {
          auto* s = static_cast<SuperObject*>(target.obj);
          Object* above = s->home ? s->home->proto : nullptr;
          bool found;
          Object* holder = nullptr;
          Value fn = vm_.lookup(above, name, &found, &holder, Value(s->self));
          push(vm_.call(fn, Value(s->self), std::move(args), holder));
          break;
        }
        push(vm_.callMethod(target, name, std::move(args)));
        break;
      }
      case 0x3E: {
        Flow f;
        f.kind = Flow::Return;
        f.value = pop();
        return f;
      }
      case 0x3F: {
        Value bv = pop(), xv = pop();
        double x = num(xv), b = num(bv);
        push(Value(std::fmod(x, b)));
        break;
      }
      case 0x40: {
        std::string name = str(pop());
        double n = num(pop());
        std::vector<Value> args;
        size_t count = std::isfinite(n) && n > 0 ? size_t(std::min(n, double(a_.stack.size()))) : 0;
        for (size_t i = 0; i < count; ++i) args.push_back(pop());
        push(vm_.construct(getVariable(name), std::move(args)));
        break;
      }
      case 0x42: {
        double n = num(pop());
        size_t count = std::isfinite(n) && n > 0 ? size_t(std::min(n, double(a_.stack.size()))) : 0;
        std::vector<Value> items;
        items.reserve(count);
        for (size_t i = 0; i < count; ++i) items.push_back(pop());
        push(Value(static_cast<Object*>(vm_.newArray(std::move(items)))));
        break;
      }
      case 0x43: {
        double n = num(pop());
        if (!(n >= 0) || n > double(a_.stack.size() / 2)) {
          push(Value());  // a count beyond the stack makes nothing
          break;
        }
        size_t count = size_t(n);
        Object* o = vm_.newObject();
        // Pairs come off the stack last first; properties are made in the order written.
        std::vector<std::pair<Value, Value>> pairs;
        for (size_t i = 0; i < count; ++i) {
          Value v = pop();
          Value name = pop();
          pairs.push_back({std::move(name), std::move(v)});
        }
        for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) vm_.set(o, str(it->first), it->second);
        push(Value(o));
        break;
      }
      case 0x44: push(Value(vm_.typeOf(pop()))); break;
      case 0x45: {
        Value v = pop();
        if (isClip(v) && static_cast<ClipObject*>(v.obj)->display)
          push(Value(vm_.targetPath(*static_cast<ClipObject*>(v.obj)->display)));
        else push(Value());
        break;
      }
      case 0x46:
      case 0x55: {
        Value v = pop();
        Object* o = nullptr;
        if (op == 0x46) {
          Value t = getVariable(str(v));
          o = t.isObject() ? t.obj : nullptr;
        } else {
          o = v.isObject() ? v.obj : nullptr;
        }
        push(Value());
        if (o) {
          // Loops pop the names: the newest property comes out first.
          std::vector<std::string> keys = vm_.enumerate(o);
          for (auto it = keys.rbegin(); it != keys.rend(); ++it) push(Value(*it));
        }
        break;
      }
      case 0x47: {
        // The right side converts first; an object whose valueOf gives an object stays itself
        // and is converted again (toString beside a string, valueOf for a number).
        Value bv = pop(), xv = pop();
        Value b = vm_.toPrimitive(bv), x = vm_.toPrimitive(xv);
        if (x.isString() || b.isString()) {
          std::string s = str(x);
          s += str(b);
          if (s.size() > Vm::kMaxString) throw ScriptAbort{"a string grew beyond its limit"};
          push(Value(std::move(s)));
        } else {
          double nx = num(x);
          push(Value(nx + num(b)));
        }
        break;
      }
      case 0x48: {
        Value b = pop(), x = pop();
        push(vm_.lessThan(x, b));
        break;
      }
      case 0x67: {
        Value b = pop(), x = pop();
        push(vm_.lessThan(b, x));
        break;
      }
      case 0x49: {
        Value b = pop(), x = pop();
        pushBool(vm_.looseEquals(x, b));
        break;
      }
      case 0x66: {
        Value b = pop(), x = pop();
        pushBool(vm_.strictEquals(x, b));
        break;
      }
      case 0x4A: push(Value(num(pop()))); break;
      case 0x4B: push(Value(str(pop()))); break;
      case 0x4C: {
        Value v = a_.stack.empty() ? Value() : a_.stack.back();
        push(v);
        break;
      }
      case 0x4D: {
        Value b = pop(), x = pop();
        push(b);
        push(x);
        break;
      }
      case 0x4E: {
        std::string name = str(pop());
        Value o = pop();
        push(vm_.getValue(o, name));
        break;
      }
      case 0x4F: {
        Value v = pop();
        std::string name = str(pop());
        Value o = pop();
        if (o.isObject()) vm_.set(o.obj, name, v);
        break;
      }
      case 0x50: push(Value(num(pop()) + 1)); break;
      case 0x51: push(Value(num(pop()) - 1)); break;
      case 0x54: {
        Value ctor = pop(), o = pop();
        pushBool(o.isObject() && ctor.isObject() && vm_.instanceOf(o.obj, ctor.obj));
        break;
      }
      case 0x60:
      case 0x61:
      case 0x62:
      case 0x63:
      case 0x64:
      case 0x65: {
        Value bv = pop(), xv = pop();
        double x = num(xv), b = num(bv);
        int32_t ib = toInt32(b), ix = toInt32(x);
        double res = 0;
        switch (op) {
          case 0x60: res = double(ix & ib); break;
          case 0x61: res = double(ix | ib); break;
          case 0x62: res = double(ix ^ ib); break;
          case 0x63: res = double(int32_t(uint32_t(ix) << (ib & 31))); break;
          case 0x64: res = double(ix >> (ib & 31)); break;
          case 0x65: res = double(toUint32(x) >> (ib & 31)); break;
        }
        push(Value(res));
        break;
      }
      case 0x87: {
        uint8_t reg = r.u8();
        if (reg < a_.regs.size()) a_.regs[reg] = a_.stack.empty() ? Value() : a_.stack.back();
        break;
      }
      case 0x94: {  // With
        uint16_t size = r.u16();
        Value o = pop();
        uint32_t bodyEnd = next + size;
        if (bodyEnd > end) throw BadCode{"a with block runs past its range"};
        if (o.isObject()) {
          if (a_.scope.size() >= size_t(Vm::kMaxScopeDepth)) throw ScriptAbort{"scopes nested too deeply"};
          a_.scope.push_back(o.obj);
          Flow f;
          try {
            f = run(code, next, bodyEnd);
          } catch (...) {
            a_.scope.pop_back();
            throw;
          }
          a_.scope.pop_back();
          if (f.kind == Flow::Return) return f;
          if (f.kind == Flow::Jump) {
            if (f.target < begin || f.target > end) return f;
            next = f.target;
            break;
          }
        }
        next = bodyEnd;
        break;
      }
      case 0x9B:
      case 0x8E: {
        uint32_t bodySize = 0;
        Function* f = defineFunction(r, op == 0x8E, code, next, &bodySize);
        if (next + bodySize > end) throw BadCode{"a function's body runs past its range"};
        next += bodySize;
        if (f->name.empty()) {
          push(Value(static_cast<Object*>(f)));
        } else {
          Object* target = a_.frameScope ? (a_.scope.empty() ? nullptr : a_.scope[0]) : a_.locals;
          if (target) vm_.set(target, f->name, Value(static_cast<Object*>(f)));
        }
        break;
      }
      case 0x8F: {
        uint32_t after = next;
        Flow f = tryBlock(r, code, next, end, &after);
        if (f.kind == Flow::Return) return f;
        if (f.kind == Flow::Jump) {
          if (f.target < begin || f.target > end) return f;
          next = f.target;
          break;
        }
        next = after;
        break;
      }
      case 0x2A: throw ScriptThrow{pop()};
      case 0x2B: {
        Value o = pop(), ctor = pop();
        if (o.isObject() && ctor.isObject() && vm_.instanceOf(o.obj, ctor.obj)) push(o);
        else push(Value::null());
        break;
      }
      case 0x2C: {
        Value ctor = pop();
        double n = num(pop());
        size_t count = std::isfinite(n) && n > 0 ? size_t(std::min(n, double(a_.stack.size()))) : 0;
        std::vector<Object*> ifaces;
        for (size_t i = 0; i < count; ++i) {
          Value v = pop();
          if (v.isObject()) ifaces.push_back(v.obj);
        }
        if (ctor.isObject()) ctor.obj->interfaces = std::move(ifaces);
        break;
      }
      case 0x69: {  // Extends
        Value super = pop(), sub = pop();
        if (!sub.isObject() || !super.isObject()) break;
        Object* proto = vm_.make<Object>();
        Value superProto = vm_.get(super.obj, "prototype");
        proto->proto = superProto.isObject() ? superProto.obj : nullptr;
        vm_.defineOwn(proto, "__constructor__", super, kDontEnum);
        if (vm_.version < 7) vm_.defineOwn(proto, "constructor", super, kDontEnum);
        vm_.set(sub.obj, "prototype", Value(proto));
        break;
      }
      default:
        // Unknown actions are skipped by their length, as the reference player does.
        break;
    }
    pc = next;
  }
  return {};
}

}  // namespace

Value execute(Activation& a, const Code& code) {
  struct Base {
    Vm& vm;
    ClipObject* saved;
    Base(Vm& v, ClipObject* now) : vm(v), saved(v.runningBase) { v.runningBase = now; }
    ~Base() { vm.runningBase = saved; }
  } base(a.vm, a.base);
  Interpreter in(a);
  try {
    Flow f = in.run(code, code.begin, code.end);
    if (f.kind == Flow::Return) return f.value;
  } catch (BadCode& bad) {
    a.vm.warn("damaged actions: " + bad.reason);
  }
  return {};
}

void Vm::runBlock(MovieClip& clip, std::shared_ptr<const std::vector<uint8_t>> block) {
  uint32_t size = uint32_t(block->size());
  runCode(clipObject(clip), Code{std::move(block), 0, size});
}

void Vm::runCode(ClipObject* c, const Code& code) {
  Activation a(*this);
  a.scope.push_back(c);
  a.locals = c;
  a.self = Value(static_cast<Object*>(c));
  a.target = a.base = c;
  a.regs.resize(4);
  try {
    execute(a, code);
  } catch (ScriptThrow& t) {
    // An uncaught throw ends its block; the reference player shows nothing else.
    (void)t;
  } catch (ScriptAbort& abort) {
    warn(abort.reason);
    budget_ = 0;
  }
}

}  // namespace vorlo::player::avm1
