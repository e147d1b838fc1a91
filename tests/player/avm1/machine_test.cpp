// Action blocks run straight on the machine: results through trace, and hostile blocks (bad
// lengths and jumps, endless loops, runaway recursion, huge stacks) that must end with a warning.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"

using namespace vorlo::player;
using namespace vorlo::player::avm1;

namespace {

// A small action assembler for the cases below.
struct Block {
  std::vector<uint8_t> bytes;
  Block& op(uint8_t code) {
    bytes.push_back(code);
    return *this;
  }
  Block& op(uint8_t code, std::vector<uint8_t> data) {
    bytes.push_back(code);
    bytes.push_back(uint8_t(data.size()));
    bytes.push_back(uint8_t(data.size() >> 8));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
  Block& pushString(const std::string& s) {
    std::vector<uint8_t> d{0};
    d.insert(d.end(), s.begin(), s.end());
    d.push_back(0);
    return op(0x96, d);
  }
  Block& pushInt(int32_t v) {
    return op(0x96, {7, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  Block& jump(uint8_t code, int16_t offset) { return op(code, {uint8_t(offset), uint8_t(uint16_t(offset) >> 8)}); }
  Block& trace() { return op(0x26); }
};

struct Machine {
  Timeline timeline{std::vector<Frame>(1)};
  StageContext stage;
  MovieClip root{stage, 0, timeline, 0};
  Vm vm{root, stage, 8};
  std::string out;
  std::vector<std::string> warnings;
  Machine() {
    vm.onTrace = [this](const std::string& t) { out += t + "\n"; };
    vm.onWarning = [this](const std::string& w) { warnings.push_back(w); };
  }
  void run(const Block& b) {
    vm.resetBudget();
    vm.runBlock(root, std::make_shared<const std::vector<uint8_t>>(b.bytes));
  }
};

TEST(Avm1Machine, ArithmeticAndStringsThroughTrace) {
  struct Case {
    Block block;
    const char* out;
  } cases[] = {
      {Block().pushInt(2).pushInt(3).op(0x47).trace(), "5\n"},
      {Block().pushString("a").pushInt(1).op(0x47).trace(), "a1\n"},
      {Block().pushInt(7).pushInt(2).op(0x0D).trace(), "3.5\n"},
      {Block().pushInt(1).pushInt(0).op(0x0D).trace(), "Infinity\n"},
      {Block().pushInt(-1).pushInt(28).op(0x65).trace(), "15\n"},
      {Block().pushString("x").op(0x44).trace(), "string\n"},
      {Block().pushString("v").pushInt(4).op(0x1D).pushString("v").op(0x1C).trace(), "4\n"},
  };
  for (auto& c : cases) {
    Machine m;
    m.run(c.block);
    EXPECT_EQ(m.out, c.out);
  }
}

TEST(Avm1Machine, ThrowIsCaughtByTry) {
  // try { throw "boom" } catch (e) { trace(e) }, the catch value kept in register 1.
  Block body = Block().pushString("boom").op(0x2A);
  Block handler = Block().op(0x96, {4, 1}).trace();
  Block b;
  std::vector<uint8_t> tryData{1 | 4, uint8_t(body.bytes.size()), 0, uint8_t(handler.bytes.size()), 0, 0, 0, 1};
  b.op(0x8F, tryData);
  b.bytes.insert(b.bytes.end(), body.bytes.begin(), body.bytes.end());
  b.bytes.insert(b.bytes.end(), handler.bytes.begin(), handler.bytes.end());
  b.pushString("after").trace();
  Machine m;
  m.run(b);
  EXPECT_EQ(m.out, "boom\nafter\n");
}

TEST(Avm1Machine, HostileBlocksEndWithAWarning) {
  struct Case {
    const char* name;
    Block block;
  } cases[] = {
      {"action longer than its block", Block().op(0x96, {0, 'a', 0}).op(0x99, {})},
      {"jump out of the block", Block().jump(0x99, 1000)},
      {"endless loop", Block().jump(0x99, -5)},
      {"string without its end", Block().op(0x96, {0, 'a', 'b'})},
  };
  for (auto& c : cases) {
    Machine m;
    m.run(c.block);
    EXPECT_FALSE(m.warnings.empty()) << c.name;
  }
}

TEST(Avm1Machine, RunawayRecursionStopsAtItsLimit) {
  // function f() { f(); }  f();  trace("never");
  Block body = Block().pushInt(0).pushString("f").op(0x3D);
  std::vector<uint8_t> def{'f', 0, 0, 0, uint8_t(body.bytes.size()), 0};
  Block b;
  b.op(0x9B, def);
  b.bytes.insert(b.bytes.end(), body.bytes.begin(), body.bytes.end());
  b.pushInt(0).pushString("f").op(0x3D).pushString("never").trace();
  Machine m;
  m.run(b);
  EXPECT_EQ(m.out, "");
  ASSERT_FALSE(m.warnings.empty());
  EXPECT_NE(m.warnings.back().find("recursion"), std::string::npos);
}

TEST(Avm1Machine, CollectorFreesCyclesAndKeepsGlobals) {
  // a = {}; a.self = a; kept through the timeline; then the variable is dropped.
  Machine m;
  m.run(Block().pushString("a").pushInt(0).op(0x43).op(0x1D)
            .pushString("a").op(0x1C).pushString("self").pushString("a").op(0x1C).op(0x4F));
  m.vm.collectGarbage();
  size_t withCycle = m.vm.objectCount();
  m.run(Block().pushString("a").pushInt(0).op(0x1D));
  m.vm.collectGarbage();
  EXPECT_EQ(m.vm.objectCount(), withCycle - 1);
  m.run(Block().pushString("Math").op(0x1C).pushString("PI").op(0x4E).trace());
  EXPECT_EQ(m.out, "3.14159265358979\n");
}

}  // namespace
