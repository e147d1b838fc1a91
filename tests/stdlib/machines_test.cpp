// Built-in classes across machines: state that is process-wide by design, and state that belongs
// to one machine.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>

#include "engine/embed.h"
#include "stdlib/portable_classes.h"

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
  Engine* a = createPortableEngine();
  Engine* b = createPortableEngine();
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

// RegExp's last match is class state of each machine: two machines matching at the same time on two
// threads each read back their own groups and input, every time.
TEST(Machines, RegExpStateBelongsToEachMachine) {
  struct Run {
    const char* subject;
    const char* group;
    std::string outcome;
  };
  Run runs[] = {{"xaab", "aa", ""}, {"zaaaaab", "aaaaa", ""}};
  std::atomic<int> ready{0};
  auto work = [&ready](Run* run) {
    Engine* engine = createPortableEngine();
    ready++;
    while (ready.load() < 2) std::this_thread::yield();
    if (!engine) {
      run->outcome = "no engine";
      return;
    }
    std::string text = std::string("bad = 0; for (i = 0; i < 3000; i++) { /(a+)(b*)/.exec('") + run->subject +
                       "'); if (RegExp.$1 != '" + run->group + "' || RegExp.input != '" + run->subject +
                       "') bad++; } bad;";
    if (runText(engine, text.data(), text.size()) != 1) {
      run->outcome = engineMessage(engine->vm);
    } else {
      run->outcome = engine->vm->result.kind == KindInteger ? std::to_string(engine->vm->result.asInt()) + " bad"
                                                              : "no count";
    }
    destroyEngine(engine);
  };
  std::thread first(work, &runs[0]);
  std::thread second(work, &runs[1]);
  first.join();
  second.join();
  for (const Run& run : runs) EXPECT_EQ(run.outcome, "0 bad") << run.subject;
}

}  // namespace
}  // namespace vorlo
