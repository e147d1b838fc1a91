// XML and XMLNode: a tree of element and text nodes that scripts build, parse and print.
#include <algorithm>

#include "player/avm1/text.h"
#include "player/avm1/vm.h"

namespace vorlo::player::avm1 {

namespace {

constexpr size_t kMaxXmlDepth = 256;

class XmlNode : public Object {
 public:
  XmlNode() : Object(Kind::Object) {}
  int type = 1;             // 1 element, 3 text
  bool document = false;    // an XML object: the nameless root
  bool hasName = false;
  std::string name;         // element name
  bool hasValue = false;
  std::string value;        // text
  Object* attributes = nullptr;
  std::vector<XmlNode*> children;
  XmlNode* parent = nullptr;
  ArrayObject* childArray = nullptr;

  void markChildren(Vm& vm) override {
    markObject(vm, attributes);
    for (XmlNode* c : children) markObject(vm, c);
    markObject(vm, parent);
    markObject(vm, childArray);
  }
  void syncArray() {
    if (!childArray) return;
    childArray->items.clear();
    for (XmlNode* c : children) childArray->items.push_back(Value(static_cast<Object*>(c)));
  }
  bool getSpecial(Vm& vm, const std::string& n, Value& out) override;
  bool setSpecial(Vm& vm, const std::string& n, const Value& v) override;
  bool hasSpecial(Vm& vm, const std::string& n) override {
    Value ignored;
    return getSpecial(vm, n, ignored);
  }
};


const Value& arg0(std::vector<Value>& args) {
  static const Value undef;
  return args.empty() ? undef : args[0];
}

XmlNode* asNode(const Value& v) { return v.isObject() ? dynamic_cast<XmlNode*>(v.obj) : nullptr; }

XmlNode* newNode(Vm& vm, int type, Object* proto) {
  auto* n = vm.make<XmlNode>();
  n->proto = proto;
  n->type = type;
  n->attributes = vm.newObject();
  return n;
}

void detach(XmlNode* n) {
  if (!n->parent) return;
  auto& list = n->parent->children;
  list.erase(std::remove(list.begin(), list.end(), n), list.end());
  n->parent->syncArray();
  n->parent = nullptr;
}

bool isAncestor(XmlNode* maybe, XmlNode* of) {
  for (size_t i = 0; of && i < 10000; of = of->parent, ++i)
    if (of == maybe) return true;
  return false;
}

Value nodeValue(XmlNode* n) { return n ? Value(static_cast<Object*>(n)) : Value::null(); }

XmlNode* sibling(XmlNode* n, int delta) {
  if (!n->parent) return nullptr;
  auto& list = n->parent->children;
  auto it = std::find(list.begin(), list.end(), n);
  if (it == list.end()) return nullptr;
  long i = long(it - list.begin()) + delta;
  if (i < 0 || i >= long(list.size())) return nullptr;
  return list[size_t(i)];
}

bool XmlNode::getSpecial(Vm& vm, const std::string& n, Value& out) {
  std::string k = vm.key(n);
  if (k == "nodetype" || n == "nodeType") out = Value(double(type));
  else if (n == "nodeName") out = hasName && type == 1 ? Value(name) : Value::null();
  else if (n == "nodeValue") out = type == 3 && hasValue ? Value(value) : Value::null();
  else if (n == "localName" || n == "prefix") {
    if (!hasName || type != 1) out = Value::null();
    else {
      size_t colon = name.find(':');
      if (n == "prefix") out = Value(colon == std::string::npos ? std::string() : name.substr(0, colon));
      else out = Value(colon == std::string::npos ? name : name.substr(colon + 1));
    }
  } else if (n == "attributes") out = Value(attributes);
  else if (n == "childNodes") {
    if (!childArray) childArray = vm.newArray();
    syncArray();
    out = Value(static_cast<Object*>(childArray));
  } else if (n == "firstChild") out = nodeValue(children.empty() ? nullptr : children.front());
  else if (n == "lastChild") out = nodeValue(children.empty() ? nullptr : children.back());
  else if (n == "nextSibling") out = nodeValue(sibling(this, 1));
  else if (n == "previousSibling") out = nodeValue(sibling(this, -1));
  else if (n == "parentNode") out = nodeValue(parent);
  else return false;
  return true;
}

bool XmlNode::setSpecial(Vm& vm, const std::string& n, const Value& v) {
  if (n == "nodeName") {
    hasName = !v.isNullish();
    name = hasName ? vm.toString(v) : "";
  } else if (n == "nodeValue") {
    hasValue = !v.isNullish();
    value = hasValue ? vm.toString(v) : "";
  } else if (n == "attributes") {
    if (v.isObject()) attributes = v.obj;
  } else if (n == "nodeType" || n == "childNodes" || n == "firstChild" || n == "lastChild" ||
             n == "nextSibling" || n == "previousSibling" || n == "parentNode") {
    // read-only
  } else {
    return false;
  }
  return true;
}

std::string escapeXml(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string unescapeXml(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    size_t semi = s.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    std::string e = s.substr(i + 1, semi - i - 1);
    std::string rep;
    if (e == "amp") rep = "&";
    else if (e == "lt") rep = "<";
    else if (e == "gt") rep = ">";
    else if (e == "quot") rep = "\"";
    else if (e == "apos") rep = "'";
    else if (e.size() > 1 && e[0] == '#') {
      uint32_t cp = 0;
      bool ok = true;
      if (e[1] == 'x' || e[1] == 'X') {
        for (size_t j = 2; j < e.size() && ok; ++j) {
          char c = e[j];
          int d = isdigit(static_cast<unsigned char>(c)) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
          ok = d >= 0;
          cp = cp * 16 + uint32_t(d);
        }
        ok = ok && e.size() > 2;
      } else {
        for (size_t j = 1; j < e.size() && ok; ++j) {
          ok = isdigit(static_cast<unsigned char>(e[j]));
          cp = cp * 10 + uint32_t(e[j] - '0');
        }
      }
      if (ok && cp < 0x110000) appendUtf8(rep, cp);
      else {
        out += s[i];
        continue;
      }
    } else {
      out += s[i];
      continue;
    }
    out += rep;
    i = semi;
  }
  return out;
}

void serialize(Vm& vm, XmlNode* n, std::string& out, size_t depth) {
  if (depth > kMaxXmlDepth) return;
  if (n->type == 3) {
    out += escapeXml(n->value);
    return;
  }
  bool named = n->hasName && !n->document;
  if (named) {
    out += "<" + n->name;
    if (n->attributes) {
      std::vector<std::string> keys = vm.enumerate(n->attributes);
      for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        out += " " + *it + "=\"" + escapeXml(vm.toString(vm.get(n->attributes, *it))) + "\"";
    }
    if (n->children.empty()) {
      out += " />";
      return;
    }
    out += ">";
  }
  for (XmlNode* c : n->children) serialize(vm, c, out, depth + 1);
  if (named) out += "</" + n->name + ">";
}

// The parser: elements, attributes, text, CDATA; declarations kept, comments skipped.
int parseInto(Vm& vm, XmlNode* doc, const std::string& s, bool ignoreWhite, Object* idMap) {
  XmlNode* cur = doc;
  size_t i = 0, depth = 0;
  std::string xmlDecl, docType;
  auto addText = [&](const std::string& raw, bool cdata) {
    std::string text = cdata ? raw : unescapeXml(raw);
    if (ignoreWhite && text.find_first_not_of(" \t\r\n") == std::string::npos) return;
    XmlNode* t = newNode(vm, 3, vm.xmlNodeProto);
    t->hasValue = true;
    t->value = text;
    t->parent = cur;
    cur->children.push_back(t);
  };
  int status = 0;
  while (i < s.size()) {
    if (s[i] != '<') {
      size_t lt = s.find('<', i);
      if (lt == std::string::npos) lt = s.size();
      addText(s.substr(i, lt - i), false);
      i = lt;
      continue;
    }
    if (s.compare(i, 4, "<!--") == 0) {
      size_t end = s.find("-->", i + 4);
      if (end == std::string::npos) return -5;
      i = end + 3;
    } else if (s.compare(i, 9, "<![CDATA[") == 0) {
      size_t end = s.find("]]>", i + 9);
      if (end == std::string::npos) return -2;
      addText(s.substr(i + 9, end - i - 9), true);
      i = end + 3;
    } else if (s.compare(i, 2, "<?") == 0) {
      size_t end = s.find("?>", i + 2);
      if (end == std::string::npos) return -3;
      xmlDecl += s.substr(i, end + 2 - i);
      i = end + 2;
    } else if (s.compare(i, 2, "<!") == 0) {
      size_t end = s.find('>', i + 2);
      if (end == std::string::npos) return -4;
      docType += s.substr(i, end + 1 - i);
      i = end + 1;
    } else if (s.compare(i, 2, "</") == 0) {
      size_t end = s.find('>', i + 2);
      if (end == std::string::npos) return -6;
      std::string name = s.substr(i + 2, end - i - 2);
      while (!name.empty() && isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
      if (cur == doc || cur->name != name) {
        status = -10;  // an end tag that matches no open element
        break;
      }
      cur = cur->parent;
      --depth;
      i = end + 1;
    } else {
      size_t j = i + 1;
      while (j < s.size() && !isspace(static_cast<unsigned char>(s[j])) && s[j] != '>' && s[j] != '/') ++j;
      XmlNode* e = newNode(vm, 1, vm.xmlNodeProto);
      e->hasName = true;
      e->name = s.substr(i + 1, j - i - 1);
      bool selfClosing = false;
      for (;;) {
        while (j < s.size() && isspace(static_cast<unsigned char>(s[j]))) ++j;
        if (j >= s.size()) return -6;
        if (s[j] == '>') {
          ++j;
          break;
        }
        if (s[j] == '/' && j + 1 < s.size() && s[j + 1] == '>') {
          selfClosing = true;
          j += 2;
          break;
        }
        size_t eq = s.find('=', j);
        if (eq == std::string::npos) return -8;
        std::string attr = s.substr(j, eq - j);
        while (!attr.empty() && isspace(static_cast<unsigned char>(attr.back()))) attr.pop_back();
        size_t q = eq + 1;
        while (q < s.size() && isspace(static_cast<unsigned char>(s[q]))) ++q;
        if (q >= s.size() || (s[q] != '"' && s[q] != '\'')) return -8;
        size_t close = s.find(s[q], q + 1);
        if (close == std::string::npos) return -8;
        vm.set(e->attributes, attr, Value(unescapeXml(s.substr(q + 1, close - q - 1))));
        j = close + 1;
      }
      e->parent = cur;
      cur->children.push_back(e);
      if (idMap) {
        Value id = vm.get(e->attributes, "id");
        if (!id.isUndefined()) vm.set(idMap, vm.toString(id), Value(static_cast<Object*>(e)));
      }
      if (!selfClosing) {
        if (++depth > kMaxXmlDepth) return -9;
        cur = e;
      }
      i = j;
    }
  }
  if (status == 0 && cur != doc) status = -9;  // elements left open
  if (!xmlDecl.empty()) vm.set(doc, "xmlDecl", Value(xmlDecl));
  if (!docType.empty()) vm.set(doc, "docTypeDecl", Value(docType));
  return status;
}

void parseDocument(Vm& vm, XmlNode* doc, const std::string& text) {
  for (XmlNode* c : doc->children) c->parent = nullptr;
  doc->children.clear();
  bool ignoreWhite = vm.toBool(vm.get(doc, "ignoreWhite"));
  Object* idMap = nullptr;
  if (vm.version >= 8) {
    Value m = vm.get(doc, "idMap");
    if (!m.isObject()) {
      idMap = vm.newObject();
      vm.set(doc, "idMap", Value(idMap));
    } else {
      idMap = m.obj;
    }
  }
  int status = parseInto(vm, doc, text, ignoreWhite, idMap);
  vm.set(doc, "status", Value(double(status)));
  doc->syncArray();
}

// ---- Methods ----

Value nodeConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  int type = args.empty() ? 1 : int(toInt32(vm.toNumber(args[0])));
  XmlNode* n = newNode(vm, type == 3 ? 3 : 1, vm.xmlNodeProto);
  if (args.size() > 1) {
    if (n->type == 1) {
      n->hasName = true;
      n->name = vm.toString(args[1]);
    } else {
      n->hasValue = true;
      n->value = vm.toString(args[1]);
    }
  }
  return Value(static_cast<Object*>(n));
}

Value xmlConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  XmlNode* doc = newNode(vm, 1, vm.xmlProto);
  doc->document = true;
  if (!args.empty() && !args[0].isNullish()) parseDocument(vm, doc, vm.toString(args[0]));
  return Value(static_cast<Object*>(doc));
}

Value nodeToString(Vm& vm, Value& self, std::vector<Value>&) {
  XmlNode* n = asNode(self);
  if (!n) return Value("");
  std::string out;
  if (n->document) {
    Value decl = vm.get(n, "xmlDecl"), doctype = vm.get(n, "docTypeDecl");
    if (!decl.isNullish()) out += vm.toString(decl);
    if (!doctype.isNullish()) out += vm.toString(doctype);
  }
  serialize(vm, n, out, 0);
  return Value(out);
}

Value nodeAppendChild(Vm&, Value& self, std::vector<Value>& args) {
  XmlNode* n = asNode(self);
  XmlNode* c = args.empty() ? nullptr : asNode(args[0]);
  // A node that is a child here already stays where it is; one of another parent moves.
  if (!n || !c || c->parent == n || isAncestor(c, n)) return {};
  detach(c);
  c->parent = n;
  n->children.push_back(c);
  n->syncArray();
  return {};
}

Value nodeInsertBefore(Vm&, Value& self, std::vector<Value>& args) {
  XmlNode* n = asNode(self);
  XmlNode* c = args.size() > 0 ? asNode(args[0]) : nullptr;
  XmlNode* before = args.size() > 1 ? asNode(args[1]) : nullptr;
  if (!n || !c || !before || before->parent != n || c->parent == n || isAncestor(c, n)) return {};
  detach(c);
  auto it = std::find(n->children.begin(), n->children.end(), before);
  n->children.insert(it, c);
  c->parent = n;
  n->syncArray();
  return {};
}

Value nodeRemoveNode(Vm&, Value& self, std::vector<Value>&) {
  if (XmlNode* n = asNode(self)) detach(n);
  return {};
}

XmlNode* cloneNode(Vm& vm, XmlNode* n, bool deep, size_t depth) {
  XmlNode* c = newNode(vm, n->type, n->proto);
  c->document = n->document;
  c->hasName = n->hasName;
  c->name = n->name;
  c->hasValue = n->hasValue;
  c->value = n->value;
  std::vector<std::string> keys = vm.enumerate(n->attributes);
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) vm.set(c->attributes, *it, vm.get(n->attributes, *it));
  if (deep && depth < kMaxXmlDepth)
    for (XmlNode* child : n->children) {
      XmlNode* cc = cloneNode(vm, child, true, depth + 1);
      cc->parent = c;
      c->children.push_back(cc);
    }
  return c;
}

Value nodeCloneNode(Vm& vm, Value& self, std::vector<Value>& args) {
  XmlNode* n = asNode(self);
  if (!n) return {};
  return Value(static_cast<Object*>(cloneNode(vm, n, !args.empty() && vm.toBool(args[0]), 0)));
}

Value nodeHasChildNodes(Vm&, Value& self, std::vector<Value>&) {
  XmlNode* n = asNode(self);
  return Value(n && !n->children.empty());
}

Value xmlParse(Vm& vm, Value& self, std::vector<Value>& args) {
  XmlNode* n = asNode(self);
  if (n) parseDocument(vm, n, vm.toString(arg0(args)));
  return {};
}

Value xmlCreateElement(Vm& vm, Value&, std::vector<Value>& args) {
  XmlNode* n = newNode(vm, 1, vm.xmlNodeProto);
  n->hasName = true;
  n->name = vm.toString(arg0(args));
  return Value(static_cast<Object*>(n));
}

Value xmlCreateTextNode(Vm& vm, Value&, std::vector<Value>& args) {
  XmlNode* n = newNode(vm, 3, vm.xmlNodeProto);
  n->hasValue = true;
  n->value = vm.toString(arg0(args));
  return Value(static_cast<Object*>(n));
}

Value xmlLoad(Vm&, Value&, std::vector<Value>&) { return Value(false); }

}  // namespace

std::string escapeXmlText(const std::string& s) { return escapeXml(s); }

void installXml(Vm& vm, Object* global) {
  Object* xmlNodeProto = vm.xmlNodeProto = vm.newObject();
  Function* nodeCtor = vm.newNative(nodeConstruct, xmlNodeProto);
  nodeCtor->nativeConstruct = nodeConstruct;
  vm.defineOwn(global, "XMLNode", Value(static_cast<Object*>(nodeCtor)), kDontEnum);
  auto method = [&](Object* o, const char* name, NativeFn fn) {
    vm.defineOwn(o, name, Value(static_cast<Object*>(vm.newNative(fn))), kDontEnum);
  };
  method(xmlNodeProto, "toString", nodeToString);
  method(xmlNodeProto, "appendChild", nodeAppendChild);
  method(xmlNodeProto, "insertBefore", nodeInsertBefore);
  method(xmlNodeProto, "removeNode", nodeRemoveNode);
  method(xmlNodeProto, "cloneNode", nodeCloneNode);
  method(xmlNodeProto, "hasChildNodes", nodeHasChildNodes);

  Object* xmlProto = vm.xmlProto = vm.newObject(xmlNodeProto);
  Function* xmlCtor = vm.newNative(xmlConstruct, xmlProto);
  xmlCtor->nativeConstruct = xmlConstruct;
  vm.defineOwn(global, "XML", Value(static_cast<Object*>(xmlCtor)), kDontEnum);
  method(xmlProto, "parseXML", xmlParse);
  method(xmlProto, "createElement", xmlCreateElement);
  method(xmlProto, "createTextNode", xmlCreateTextNode);
  method(xmlProto, "load", xmlLoad);
  method(xmlProto, "sendAndLoad", xmlLoad);
  method(xmlProto, "send", xmlLoad);
}

}  // namespace vorlo::player::avm1
