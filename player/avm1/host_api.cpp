// The host's calls into a movie's scripts: variables and targets by path, a frame's actions, and
// the external interface both ways.
#include "player/avm1/host_api.h"

#include <cmath>

#include "player/avm1/natives.h"
#include "util/text.h"
#include "util/xml/xml.h"

namespace vorlo::player::avm1 {

std::string escapeXmlText(const std::string& s);  // xml.cpp

namespace {

// External values nest at most this deep (deeper ones, and cycles, are written as null).
constexpr int kMaxValueDepth = 64;

Activation rootActivation(Vm& vm) {
  Activation a(vm);
  a.target = a.base = vm.clipObject(vm.rootClip());
  return a;
}

// Splits "/a/b:name" or "a.b.name" into the target part and the name.
void splitVariable(const std::string& path, std::string* target, std::string* name) {
  size_t at = path.rfind(':');
  if (at == std::string::npos) at = path.rfind('.');
  if (at == std::string::npos) {
    target->clear();
    *name = path;
    return;
  }
  *target = path.substr(0, at);
  *name = path.substr(at + 1);
}

Object* variableHolder(Vm& vm, const std::string& target) {
  if (target.empty()) return vm.clipObject(vm.rootClip());
  Activation a = rootActivation(vm);
  return vm.resolvePath(a, target);
}

void encode(Vm& vm, const Value& v, std::string& out, int depth) {
  switch (v.type) {
    case Type::Undefined: out += "<undefined/>"; return;
    case Type::Null: out += "<null/>"; return;
    case Type::Boolean: out += v.boolean() ? "<true/>" : "<false/>"; return;
    case Type::Number: out += "<number>" + numberToString(v.num) + "</number>"; return;
    case Type::String: out += "<string>" + escapeXmlText(v.str) + "</string>"; return;
    case Type::Object: break;
  }
  if (depth >= kMaxValueDepth || v.obj->kind == Kind::Function || v.obj->kind == Kind::Clip) {
    out += "<null/>";
    return;
  }
  if (v.obj->kind == Kind::Array) {
    out += "<array>";
    const auto& items = static_cast<ArrayObject*>(v.obj)->items;
    for (size_t i = 0; i < items.size(); ++i) {
      out += "<property id=\"" + std::to_string(i) + "\">";
      encode(vm, items[i], out, depth + 1);
      out += "</property>";
    }
    out += "</array>";
    return;
  }
  out += "<object>";
  for (const std::string& name : vm.enumerate(v.obj)) {
    out += "<property id=\"" + escapeXmlText(name) + "\">";
    encode(vm, vm.get(v.obj, name), out, depth + 1);
    out += "</property>";
  }
  out += "</object>";
}

std::string nameOf(const XmlNode& n) { return utf16ToUtf8(n.name()); }
std::string attribute(const XmlNode& n, std::u16string_view name) {
  for (size_t i = 0; i < n.attributeCount(); ++i) {
    const XmlAttribute* a = n.attributeAt(i);
    if (a && xmlNameEquals(a->name, name) && a->value) return utf16ToUtf8(*a->value);
  }
  return {};
}

// One value element; false when the element is no value.
bool decode(Vm& vm, const XmlNode& n, Value* out, int depth) {
  std::string name = nameOf(n);
  if (name == "undefined") *out = Value();
  else if (name == "null") *out = Value::null();
  else if (name == "true") *out = Value(true);
  else if (name == "false") *out = Value(false);
  else if (name == "number") *out = Value(stringToNumber(utf16ToUtf8(n.text(0)), 8));
  else if (name == "string") *out = Value(utf16ToUtf8(n.text(0)));
  else if ((name == "array" || name == "object") && depth < kMaxValueDepth) {
    bool isArray = name == "array";
    Object* o = isArray ? static_cast<Object*>(vm.newArray()) : vm.newObject();
    for (size_t i = 0; i < n.childCount(); ++i) {
      XmlNode p = n.child(i);
      if (nameOf(p) != "property" || p.childCount() == 0) continue;
      Value item;
      if (!decode(vm, p.child(0), &item, depth + 1)) return false;
      vm.set(o, attribute(p, u"id"), item);
    }
    *out = Value(o);
  } else {
    return false;
  }
  return true;
}

// The first element of a document.
XmlNode firstElement(const std::string& xml) {
  XmlNode root = XmlNode::parse(utf8ToUtf16(xml));
  for (size_t i = 0; root && i < root.childCount(); ++i)
    if (!root.child(i).isDeclaration()) return root.child(i);
  return {};
}

Object* callbacks(Vm& vm, bool create) {
  if (!vm.hostState) vm.hostState = vm.newObject();
  Value v = vm.get(vm.hostState, "callbacks");
  if (v.isObject()) return v.obj;
  if (!create) return nullptr;
  Object* o = vm.newObject();
  vm.set(vm.hostState, "callbacks", Value(o));
  return o;
}

Value eiAvailable(Vm& vm, Value&, std::vector<Value>&) { return Value(bool(vm.onExternalCall)); }

// addCallback(name, instance, method): the host may call `method` on `instance` by that name.
Value eiAddCallback(Vm& vm, Value&, std::vector<Value>& args) {
  if (!vm.onExternalCall || args.size() < 3) return Value(false);
  const Value& method = args[2];
  if (!method.isObject() || method.obj->kind != Kind::Function) return Value(false);
  vm.set(callbacks(vm, true), vm.toString(args[0]), Value(static_cast<Object*>(vm.newArray({args[1], method}))));
  return Value(true);
}

// call(name, args...): the host's answer, or null when there is no host.
Value eiCall(Vm& vm, Value&, std::vector<Value>& args) {
  if (!vm.onExternalCall || args.empty()) return Value::null();
  std::vector<Value> rest(args.begin() + 1, args.end());
  std::string answer = vm.onExternalCall(externalRequest(vm, vm.toString(args[0]), rest));
  return decodeExternalResponse(vm, answer);
}

}  // namespace

ClipObject* hostTarget(Vm& vm, const std::string& path) {
  Object* o = path.empty() || path == "/" ? vm.clipObject(vm.rootClip()) : variableHolder(vm, path);
  if (!o || o->kind != Kind::Clip) return nullptr;
  auto* c = static_cast<ClipObject*>(o);
  return c->display ? c : nullptr;
}

std::optional<std::string> hostGetVariable(Vm& vm, const std::string& path) {
  std::string target, name;
  splitVariable(path, &target, &name);
  Object* holder = variableHolder(vm, target);
  if (!holder || name.empty()) return std::nullopt;
  Value v = vm.get(holder, name);
  if (v.isUndefined() && target.empty()) v = vm.get(vm.global(), name);
  if (v.isUndefined()) return std::nullopt;
  return vm.toString(v);
}

bool hostSetVariable(Vm& vm, const std::string& path, const std::string& value) {
  std::string target, name;
  splitVariable(path, &target, &name);
  Object* holder = variableHolder(vm, target);
  if (!holder || name.empty()) return false;
  vm.set(holder, name, Value(value));
  return true;
}

bool hostCallFrame(Vm& vm, MovieClip& clip, int frame) {
  if (frame < 1 || frame > clip.frameCount()) return false;
  for (const ControlTag& tag : clip.timeline().frames[size_t(frame) - 1].tags) {
    auto* raw = std::get_if<RawTag>(&tag);
    if (raw && raw->code == 12) vm.runBlock(clip, std::make_shared<const std::vector<uint8_t>>(raw->body));
  }
  return true;
}

std::string encodeExternalValue(Vm& vm, const Value& v) {
  std::string out;
  encode(vm, v, out, 0);
  return out;
}

std::string externalRequest(Vm& vm, const std::string& name, const std::vector<Value>& args) {
  std::string out = "<invoke name=\"" + escapeXmlText(name) + "\" returntype=\"xml\"><arguments>";
  for (const Value& v : args) encode(vm, v, out, 0);
  return out + "</arguments></invoke>";
}

Value decodeExternalResponse(Vm& vm, const std::string& xml) {
  XmlNode element = firstElement(xml);
  Value v;
  if (!element || !decode(vm, element, &v, 0)) return {};
  return v;
}

namespace {

// The arguments of a request read back; false when one cannot be read.
bool requestArguments(Vm& vm, XmlNode invoke, std::vector<Value>& args) {
  XmlNode list = invoke.child(u"arguments");
  for (size_t i = 0; list && i < list.childCount(); ++i) {
    Value v;
    if (!decode(vm, list.child(i), &v, 0)) return false;
    args.push_back(v);
  }
  return true;
}

}  // namespace

bool invokeMethod(Vm& vm, const Value& receiver, const std::string& requestXml) {
  XmlNode invoke = firstElement(requestXml);
  std::vector<Value> args;
  if (!invoke || nameOf(invoke) != "invoke" || !requestArguments(vm, invoke, args)) return false;
  std::string name = attribute(invoke, u"name");
  Value fn = receiver.isObject() ? vm.get(receiver.obj, name) : Value();
  if (!fn.isObject() || fn.obj->kind != Kind::Function) return false;
  vm.call(fn, receiver, std::move(args));
  return true;
}

std::string hostCallFunction(Vm& vm, const std::string& requestXml) {
  XmlNode invoke = firstElement(requestXml);
  if (!invoke || nameOf(invoke) != "invoke") return {};
  Object* table = callbacks(vm, false);
  Value entry = table ? vm.get(table, attribute(invoke, u"name")) : Value();
  if (!entry.isObject() || entry.obj->kind != Kind::Array) return {};
  const auto& pair = static_cast<ArrayObject*>(entry.obj)->items;
  if (pair.size() != 2) return {};
  std::vector<Value> args;
  if (!requestArguments(vm, invoke, args)) return {};
  Value result;
  try {
    result = vm.call(pair[1], pair[0], std::move(args));
  } catch (ScriptThrow&) {
    result = Value();
  } catch (ScriptAbort& abort) {
    vm.warn(abort.reason);
  }
  return encodeExternalValue(vm, result);
}

void installExternalInterface(Vm& vm, Object* global) {
  Value flash = vm.get(global, "flash");
  if (!flash.isObject()) {
    flash = Value(vm.newObject());
    vm.defineOwn(global, "flash", flash, kDontEnum);
  }
  Object* package = vm.newObject();
  vm.defineOwn(flash.obj, "external", Value(package), kDontEnum);
  Function* ei = makeClass(vm, package, "ExternalInterface", eiAvailable, nullptr, vm.newObject());
  accessor(vm, ei, "available", eiAvailable, nullptr);
  method(vm, ei, "addCallback", eiAddCallback);
  method(vm, ei, "call", eiCall);
}

}  // namespace vorlo::player::avm1
