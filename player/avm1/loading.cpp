// Loading data through the host's loader: LoadVars, XML.load and loadVariables. A request is
// queued when the script asks and answered on a later frame (Vm::runPendingLoads, called by the
// player before a frame's scripts), as the reference player answers when the data has arrived.
// The loader decides what may be read (the movie's folder and below for local movies).
#include "player/avm1/loading.h"

#include "player/avm1/host_api.h"
#include "player/avm1/natives.h"

namespace vorlo::player::avm1 {

namespace {

int hexValue(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// "a=1&b=x+y%21" as the reference player reads variables: '+' is a space, %XX a byte.
std::string formDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') out += ' ';
    else if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out += char(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string formEncode(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c)) out += char(c);
    else out += {'%', hex[c >> 4], hex[c & 15]};
  }
  return out;
}

Value queueLoad(Vm& vm, Value& self, std::vector<Value>& args, Vm::LoadKind kind) {
  if (!self.isObject() || args.empty()) return Value(false);
  std::string url = vm.toString(args[0]);
  if (url.empty()) return Value(false);
  vm.set(self.obj, "loaded", Value(false));
  vm.pendingLoads.push_back({kind, self, url});
  return Value(true);
}

Value loadVarsLoad(Vm& vm, Value& self, std::vector<Value>& args) { return queueLoad(vm, self, args, Vm::LoadKind::Data); }
Value loadVarsDecode(Vm& vm, Value& self, std::vector<Value>& args) {
  if (self.isObject()) decodeVariables(vm, self.obj, vm.toString(arg(args, 0)));
  return {};
}
Value loadVarsToString(Vm& vm, Value& self, std::vector<Value>&) {
  if (!self.isObject()) return Value("");
  std::string out;
  for (const std::string& name : vm.enumerate(self.obj)) {
    Value v = vm.get(self.obj, name);
    if (v.isObject() && v.obj->kind == Kind::Function) continue;
    if (!out.empty()) out += '&';
    out += formEncode(name) + "=" + formEncode(vm.toString(v));
  }
  return Value(out);
}
Value loadVarsConstruct(Vm&, Value&, std::vector<Value>&) { return {}; }

// The default onData of LoadVars and XML: the text read into the object (`reader` names the
// method that reads it), then onLoad(success).
Value defaultOnData(Vm& vm, Value& self, std::vector<Value>& args, const char* reader) {
  if (!self.isObject()) return {};
  const Value& text = arg(args, 0);
  if (text.isUndefined()) {
    vm.callMethod(self, "onLoad", {Value(false)});
    return {};
  }
  vm.callMethod(self, reader, {text});
  vm.set(self.obj, "loaded", Value(true));
  vm.callMethod(self, "onLoad", {Value(true)});
  return {};
}
Value loadVarsOnData(Vm& vm, Value& self, std::vector<Value>& args) { return defaultOnData(vm, self, args, "decode"); }
Value xmlOnData(Vm& vm, Value& self, std::vector<Value>& args) { return defaultOnData(vm, self, args, "parseXML"); }
Value xmlLoad(Vm& vm, Value& self, std::vector<Value>& args) { return queueLoad(vm, self, args, Vm::LoadKind::Data); }

// loadVariables(url, target) and clip.loadVariables(url).
Value clipLoadVariables(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || self.obj->kind != Kind::Clip || args.empty()) return {};
  vm.pendingLoads.push_back({Vm::LoadKind::Variables, self, vm.toString(args[0])});
  return {};
}

Value byteCount(Vm& vm, Value& self, const char* name) {
  return self.isObject() ? vm.get(self.obj, name) : Value();
}
Value getBytesLoaded(Vm& vm, Value& self, std::vector<Value>&) { return byteCount(vm, self, "_bytesLoaded"); }
Value getBytesTotal(Vm& vm, Value& self, std::vector<Value>&) { return byteCount(vm, self, "_bytesTotal"); }

std::string textOf(const std::vector<uint8_t>& bytes) {
  size_t start = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  return std::string(bytes.begin() + long(start), bytes.end());
}

}  // namespace

void decodeVariables(Vm& vm, Object* target, const std::string& text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t amp = text.find('&', start);
    std::string pair = text.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
    size_t eq = pair.find('=');
    if (!pair.empty()) {
      std::string name = formDecode(pair.substr(0, eq));
      std::string value = eq == std::string::npos ? std::string() : formDecode(pair.substr(eq + 1));
      if (!name.empty()) vm.set(target, name, Value(value));
    }
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
}

void Vm::runPendingLoads() {
  runLocalConnections(*this);
  std::vector<PendingLoad> loads = std::move(pendingLoads);
  pendingLoads.clear();
  for (PendingLoad& load : loads) {
    std::string error;
    std::optional<std::vector<uint8_t>> bytes;
    if (loader) bytes = loader(load.url, &error);
    if (!bytes) warn("could not load \"" + load.url + "\"" + (error.empty() ? "" : ": " + error));
    if (!load.target.isObject()) continue;
    try {
      if (load.kind == LoadKind::Variables) {
        auto* c = load.target.obj->kind == Kind::Clip ? static_cast<ClipObject*>(load.target.obj) : nullptr;
        if (!bytes || !c || !c->display) continue;
        decodeVariables(*this, c, textOf(*bytes));
        callMethodIfPresent(*c->display, "onData");
        continue;
      }
      double size = bytes ? double(bytes->size()) : 0;
      set(load.target.obj, "_bytesLoaded", Value(size));
      set(load.target.obj, "_bytesTotal", Value(size));
      callMethod(load.target, "onData", {bytes ? Value(textOf(*bytes)) : Value()});
    } catch (ScriptThrow&) {
    } catch (ScriptAbort& abort) {
      warn(abort.reason);
    }
  }
}

void installLoading(Vm& vm, Object* global) {
  Object* proto = vm.newObject();
  makeClass(vm, global, "LoadVars", loadVarsConstruct, nullptr, proto);
  for (auto [name, fn] :
       {std::pair<const char*, NativeFn>{"load", loadVarsLoad}, {"decode", loadVarsDecode},
        {"toString", loadVarsToString}, {"onData", loadVarsOnData}, {"getBytesLoaded", getBytesLoaded},
        {"getBytesTotal", getBytesTotal}})
    method(vm, proto, name, fn);
  if (vm.xmlProto) {
    method(vm, vm.xmlProto, "load", xmlLoad);
    method(vm, vm.xmlProto, "onData", xmlOnData);
    method(vm, vm.xmlProto, "getBytesLoaded", getBytesLoaded);
    method(vm, vm.xmlProto, "getBytesTotal", getBytesTotal);
  }
  if (vm.clipProto) method(vm, vm.clipProto, "loadVariables", clipLoadVariables);
}

}  // namespace vorlo::player::avm1
