// The syntax tree that the parser builds and the code generator walks. One record layout serves
// every node kind; the table below says which fields each kind uses. Lists (statements, arguments,
// array elements, declarators, clauses, properties) are chained through `next`.
#pragma once
#include <cstdint>
#include <string>

#include "engine/token.h"

namespace vorlo {

enum NodeKind : int {
  NodeComma = 0,           // left, right
  NodeAssign = 1,          // op ('=' or a compound-assignment token), left target, right value
  NodeConditional = 2,     // left condition, right then-value, third else-value
  NodeLogical = 3,         // op (&& ||), left, right
  NodeBitwise = 4,         // op (& ^ |), left, right
  NodeEquality = 5,        // op (== != === !==), left, right
  NodeRelational = 6,      // op (< > <= >=), left, right
  NodeShift = 7,           // op (<< >> >>>), left, right
  NodeMultiplicative = 8,  // op (* / %), left, right
  NodeAdditive = 9,        // op (+ -), left, right
  NodeThis = 10,
  NodeNull = 11,
  NodeTrue = 12,
  NodeFalse = 13,
  NodeIdentifier = 14,     // name
  NodeFloat = 15,          // number
  NodeInteger = 16,        // integer
  NodeString = 17,         // name (the text)
  NodeCall = 18,           // left callee, right argument list, count
  NodeMember = 19,         // left object, name property
  NodeIndex = 20,          // left object, right index
  NodeNew = 21,            // left constructor, right argument list, count, flag: argument list present
  NodePostfix = 26,        // op (++ --), left target
  NodePrefix = 27,         // op (! + - ~ delete typeof void ++ --), left operand
  NodeRegExp = 28,         // name body, integer flags (1 g, 2 i, 4 m)
  NodeArray = 29,          // left element list (elisions are NodeEmpty), count
  NodeObject = 30,         // left property list, count; property (NodeEmpty): op key token
                           // (129, 131, 132), name key text / integer key, left value
  NodeBlock = 31,          // left statement list
  NodeMethodBinding = 32,  // name enclosing function, name2 nested internal name, name3 declared name
  NodeVar = 33,            // left declarator list (NodeEmpty: name, left initializer or null),
                           // count, flag: global
  NodeEmpty = 34,          // empty statement; also the element of declarator, clause, property lists
  NodeExpression = 35,     // left expression
  NodeIf = 36,             // left condition, right then, third else or null
  NodeWhile = 37,          // left condition, right body
  NodeFor = 38,            // left NodeVar or initializer expression or null, right condition or
                           // null, third update or null, fourth body
  NodeForIn = 39,          // left NodeVar (one declarator) or NodeIdentifier, right collection,
                           // third body
  NodeContinue = 40,       // name label or none
  NodeBreak = 41,          // name label or none
  NodeReturn = 42,         // left value or null
  NodeWith = 43,           // left object, right body
  NodeTry = 44,            // left try-statement, right catch list (NodeEmpty: name variable,
                           // left guard or null, right body), third finally-statement or null
  NodeThrow = 45,          // left value
  NodeDoWhile = 46,        // left body, right condition
  NodeSwitch = 47,         // left discriminant, right clause list (NodeEmpty: left case expression or
                           // null for default, right statement list), integer line of the "}"
  NodeLabelled = 48,       // name label, left statement
  NodeFunction = 49,       // line, name internal name, name2 declared name, left parameter list
                           // (NodeIdentifier), count parameters, right body (NodeBlock or NodeEmpty),
                           // flag: uses arguments
  NodeUndefined = 50,
  NodeDllImport = 52,      // left DLL name (NodeIdentifier or NodeString), name function name, name2
                           // alias or none, name3 call convention, right return type (NodeString),
                           // third argument type list (NodeString), count argument types
};

struct Node {
  int kind = NodeEmpty;
  int resultKind = 0;  // value kind the expression is known to produce, 0 when unknown
  int line = 0;
  int depth = 1;  // levels of nodes below and including this one (bounded by the parser)
  int op = 0;
  Node* next = nullptr;
  Node* left = nullptr;
  Node* right = nullptr;
  Node* third = nullptr;
  Node* fourth = nullptr;
  Text name;
  Text name2;
  Text name3;
  int64_t integer = 0;
  double number = 0;
  int count = 0;
  bool flag = false;
};

// A compact one-line rendering of a node and the nodes it holds, for tests and diagnostics:
// "(+ a 1)", "(if (< i 3) {(expr (post++ i))} _)". Functions render with their header and body.
std::string printNode(const Node* node);
// Every node of a list, separated by single spaces.
std::string printList(const Node* list);

}  // namespace vorlo
