// The optimiser's rewrites where they must apply and, as importantly, where they must not.
#include <gtest/gtest.h>

#include "compile_fixture.h"

namespace vorlo::test {
namespace {

using OptimizerTest = CompileTest;

TEST_F(OptimizerTest, DuplicateStaysWhileItsValueIsUsed) {
  // The inner assignment's value is stored by the outer one: its DUP must stay.
  EXPECT_EQ(compile("x = y = 1; 0").code(), "PUSH1; DUP; STOREGLOBAL y; STOREGLOBAL x; PUSH0");
  // A value that feeds an operator after the store.
  EXPECT_EQ(compile("(x = 1) + 2; 0").code(), "PUSH1; DUP; STOREGLOBAL x; PUSH2; ADD; POP; PUSH0");
}

TEST_F(OptimizerTest, DeadLocalStoreBeforeItsOnlyLoadIsRemoved) {
  EXPECT_EQ(compile("function f() { var a = g(); return a; }").code("f"),
            "LOADSLOT 1; ADD2; ARGFIX 2; LOCALS 1; PUSH0; LOADGLOBAL g; CALL; DROPUNDER 2; RETURN");
  // Read again later: the store stays.
  EXPECT_EQ(compile("function f() { var a = g(); h(a); return a; }").code("f"),
            "LOADSLOT 1; ADD2; ARGFIX 2; LOCALS 1; PUSH0; LOADGLOBAL g; CALL; DROPUNDER 2; "
            "STORELOCAL 0; LOADLOCAL 0; PUSH1; LOADGLOBAL h; CALL; POPN 4; LOADLOCAL 0; RETURN");
  // Read again in a later iteration of a loop: live across the backward jump.
  std::string loop = compile("function f() { var a = 0; while (c) { h(a); a = g(); } }").code("f");
  EXPECT_NE(loop.find("STORELOCAL 0"), std::string::npos) << loop;
}

TEST_F(OptimizerTest, StoreReadByACatchClauseIsKept) {
  // The load's value goes to h; if h throws, the catch clause reads the local.
  std::string code =
      compile("function f() { var a = 1; try { a = g(); h(a); } catch (e) { return a; } }").code("f");
  EXPECT_NE(code.find("DROPUNDER 2; STORELOCAL 0; LOADLOCAL 0; PUSH1; LOADGLOBAL h"), std::string::npos)
      << code;
}

TEST_F(OptimizerTest, LocalIndicesThirtyTwoApartShareALivenessBit) {
  std::string vars;
  for (int i = 0; i < 33; i++) vars += (i ? ", v" : "v") + std::to_string(i);
  // v32 is stored and loaded once; v0 (same bit) is read at the end, so v32 counts as live.
  std::string code =
      compile("function f() { var " + vars + "; v32 = g(); h(v32); return v0; }").code("f");
  EXPECT_NE(code.find("STORELOCAL 32; LOADLOCAL 32"), std::string::npos) << code;
}

TEST_F(OptimizerTest, JumpToAJumpIsThreaded) {
  // The inner loop's exit jumps straight to the outer loop's top.
  EXPECT_EQ(compile("while (a) { while (b) c(); }").code(),
            "L1:; LOADGLOBAL a; JFALSE L3; L2:; LOADGLOBAL b; JFALSE L1; PUSH0; LOADGLOBAL c; CALL; "
            "POPN 3; JUMP L2; L3:; PUSHUNDEF");
}

}  // namespace
}  // namespace vorlo::test
