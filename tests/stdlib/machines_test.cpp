// Built-in classes across machines: state that is process-wide by design.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "engine/embed.h"
#include "stdlib/registry.h"

namespace vorlo {
namespace {

double draw(Engine* engine) {
  const char text[] = "Math.random()";
  EXPECT_EQ(runText(engine, text, sizeof text - 1), 1);
  EXPECT_EQ(engine->vm->result.kind, KindFloat);
  return engine->vm->result.asFloat();
}

// The generator is one state for the process: a draw in one machine moves the other's sequence.
TEST(Machines, RandomNumbersContinueOneSequence) {
  Engine* a = createStandardEngine();
  Engine* b = createStandardEngine();
  ASSERT_TRUE(a && b);
  double first = draw(a);
  double second = draw(b);
  double third = draw(a);
  auto state = [](double d) { return static_cast<uint64_t>(std::ldexp(d, 48)); };
  auto next = [](uint64_t x) { return (0x5DEECE66Dull * x + 0xB) & ((uint64_t(1) << 48) - 1); };
  EXPECT_EQ(state(second), next(state(first)));
  EXPECT_EQ(state(third), next(state(second)));
  destroyEngine(a);
  destroyEngine(b);
}

}  // namespace
}  // namespace vorlo
