#include "engine/syntax_tree.h"

#include <cstdio>

namespace vorlo {

namespace {

class TreePrinter {
 public:
  std::string out;

  void node(const Node* n) {
    if (!n) {
      out += '_';
      return;
    }
    switch (n->kind) {
      case NodeComma:
      case NodeLogical:
      case NodeBitwise:
      case NodeEquality:
      case NodeRelational:
      case NodeShift:
      case NodeMultiplicative:
      case NodeAdditive:
        open(n->kind == NodeComma ? "," : tokenSpelling(n->op));
        operands(n->left, n->right);
        return close();
      case NodeAssign:
        open(n->op == '=' ? "=" : tokenSpelling(n->op));
        operands(n->left, n->right);
        return close();
      case NodeConditional:
        open("?");
        operands(n->left, n->right, n->third);
        return close();
      case NodeThis: out += "this"; return;
      case NodeNull: out += "null"; return;
      case NodeTrue: out += "true"; return;
      case NodeFalse: out += "false"; return;
      case NodeUndefined: out += "undefined"; return;
      case NodeIdentifier: text(n->name); return;
      case NodeFloat: {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.17gf", n->number);
        out += buffer;
        return;
      }
      case NodeInteger: out += std::to_string(n->integer); return;
      case NodeString: quoted(n->name); return;
      case NodeCall:
        open("call");
        operands(n->left);
        items(n->right);
        return close();
      case NodeMember:
        open(".");
        operands(n->left);
        out += ' ';
        text(n->name);
        return close();
      case NodeIndex:
        open("[]");
        operands(n->left, n->right);
        return close();
      case NodeNew:
        open("new");
        operands(n->left);
        if (n->flag) {
          out += " (";
          list(n->right);
          out += ')';
        }
        return close();
      case NodePostfix:
        open(n->op == TokPlusPlus ? "post++" : "post--");
        operands(n->left);
        return close();
      case NodePrefix:
        open(tokenSpelling(n->op));
        operands(n->left);
        return close();
      case NodeRegExp: {
        out += '/';
        escaped(n->name);
        out += '/';
        if (n->integer & 1) out += 'g';
        if (n->integer & 2) out += 'i';
        if (n->integer & 4) out += 'm';
        return;
      }
      case NodeArray:
        open("array");
        items(n->left);
        return close();
      case NodeObject:
        open("object");
        for (const Node* p = n->left; p; p = p->next) {
          out += ' ';
          if (p->op == TokInteger) out += std::to_string(p->integer);
          else if (p->op == TokString) quoted(p->name);
          else text(p->name);
          out += ':';
          node(p->left);
        }
        return close();
      case NodeBlock:
        out += '{';
        list(n->left);
        out += '}';
        return;
      case NodeMethodBinding:
        open("bind");
        out += ' ';
        names(n->name, n->name2, n->name3);
        return close();
      case NodeVar:
        open(n->flag ? "var-global" : "var");
        for (const Node* d = n->left; d; d = d->next) {
          out += ' ';
          text(d->name);
          if (d->left) {
            out += '=';
            node(d->left);
          }
        }
        return close();
      case NodeEmpty: out += ';'; return;
      case NodeExpression:
        open("expr");
        operands(n->left);
        return close();
      case NodeIf:
        open("if");
        operands(n->left, n->right, n->third);
        return close();
      case NodeWhile:
        open("while");
        operands(n->left, n->right);
        return close();
      case NodeFor:
        open("for");
        for (const Node* part : {n->left, n->right, n->third, n->fourth}) {
          out += ' ';
          node(part);
        }
        return close();
      case NodeForIn:
        open("for-in");
        operands(n->left, n->right, n->third);
        return close();
      case NodeContinue:
      case NodeBreak:
        open(n->kind == NodeBreak ? "break" : "continue");
        if (n->name.present()) {
          out += ' ';
          text(n->name);
        }
        return close();
      case NodeReturn:
        open("return");
        if (n->left) operands(n->left);
        return close();
      case NodeWith:
        open("with");
        operands(n->left, n->right);
        return close();
      case NodeTry:
        open("try");
        operands(n->left);
        for (const Node* c = n->right; c; c = c->next) {
          out += " (catch ";
          text(c->name);
          if (c->left) {
            out += " if ";
            node(c->left);
          }
          operands(c->right);
          out += ')';
        }
        if (n->third) {
          out += " (finally";
          operands(n->third);
          out += ')';
        }
        return close();
      case NodeThrow:
        open("throw");
        operands(n->left);
        return close();
      case NodeDoWhile:
        open("do");
        operands(n->left, n->right);
        return close();
      case NodeSwitch:
        open("switch");
        operands(n->left);
        for (const Node* c = n->right; c; c = c->next) {
          if (c->left) {
            out += " (case ";
            node(c->left);
          } else {
            out += " (default";
          }
          items(c->right);
          out += ')';
        }
        out += " @" + std::to_string(n->integer);
        return close();
      case NodeLabelled:
        open("label");
        out += ' ';
        text(n->name);
        operands(n->left);
        return close();
      case NodeFunction:
        open("function");
        out += ' ';
        names(n->name, n->name2);
        out += " (";
        list(n->left);
        out += ')';
        if (n->flag) out += " arguments";
        operands(n->right);
        return close();
      case NodeDllImport:
        open("dllimport");
        operands(n->left);
        out += ' ';
        names(n->name, n->name2, n->name3);
        operands(n->right);
        out += " (";
        list(n->third);
        out += ')';
        return close();
      default:
        out += "<kind " + std::to_string(n->kind) + ">";
        return;
    }
  }

  void list(const Node* n) {
    for (bool first = true; n; n = n->next, first = false) {
      if (!first) out += ' ';
      node(n);
    }
  }

 private:
  void open(const char* head) {
    out += '(';
    out += head;
  }
  void close() { out += ')'; }
  // One to three operands; a missing operand prints as "_" when a later one is present.
  void operands(const Node* a, const Node* b = nullptr, const Node* c = nullptr) {
    const Node* all[] = {a, b, c};
    int n = c ? 3 : b ? 2 : 1;
    for (int i = 0; i < n; i++) {
      out += ' ';
      node(all[i]);
    }
  }
  void items(const Node* n) {
    for (; n; n = n->next) {
      out += ' ';
      node(n);
    }
  }
  void text(const Text& t) {
    if (t.present()) out.append(t.chars, t.length);
    else out += '_';
  }
  void names(const Text& a, const Text& b) {
    text(a);
    out += ' ';
    text(b);
  }
  void names(const Text& a, const Text& b, const Text& c) {
    names(a, b);
    out += ' ';
    text(c);
  }
  void escaped(const Text& t) {
    for (size_t i = 0; i < t.length; i++) {
      auto c = static_cast<unsigned char>(t.chars[i]);
      if (c >= 32 && c < 127) {
        out += static_cast<char>(c);
      } else {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
        out += buffer;
      }
    }
  }
  void quoted(const Text& t) {
    out += '"';
    escaped(t);
    out += '"';
  }
};

}  // namespace

std::string printNode(const Node* node) {
  TreePrinter printer;
  printer.node(node);
  return printer.out;
}

std::string printList(const Node* list) {
  TreePrinter printer;
  printer.list(list);
  return printer.out;
}

}  // namespace vorlo
