// The collection that ends every run of script code from native code (here: a sort's comparison
// function) still runs finalizers at the same points, even where it skips its work because nothing
// could be freed visibly; and the memory of such runs stays bounded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/embed.h"
#include "engine/trace.h"
#include "engine/vm.h"
#include "stdlib/binding.h"
#include "stdlib/portable_classes.h"

namespace vorlo {
namespace {

int gFinalized = 0;
int gProbeData = 0;

void probeConstruct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  makeInstance(vm, cls, &gProbeData, result);
}
void probeFinalize(NativeClass*, void*) { gFinalized++; }
void finalizedCall(ScriptVM*, NativeClass*, void*, ScriptValue* result, const ScriptValue*) {
  *result = ScriptValue::integer(gFinalized);
}

// The standard classes, a class whose instances count their finalization, and `finalized()`.
void registerWithProbe(ScriptVM* vm) {
  registerPortableClasses(vm);
  registerClass(vm, ClassDef{"Probe", {}, nullptr, probeConstruct, probeFinalize});
  static const GlobalFunction functions[] = {{"finalized", finalizedCall}};
  registerGlobalFunctions(vm, functions);
}

std::vector<std::string>* gLines;
void collectLine(void*, std::string_view line) { gLines->emplace_back(line); }

class RunEndCollection : public ::testing::Test {
 protected:
  void SetUp() override {
    gLines = &lines;
    setTraceSink(collectLine, nullptr);
    gFinalized = 0;
    engine = createEngine(nullptr, registerWithProbe);
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    destroyEngine(engine);
    setTraceSink(nullptr, nullptr);
  }
  int run(const std::string& text) { return runText(engine, text.data(), text.size()); }

  Engine* engine = nullptr;
  std::vector<std::string> lines;
};

// Many comparison runs first, so that skipped collections have piled up.
const char* kWarmUp = "function c(a,b){return a-b;} a=[3,2,1,5,4,9,8,7,6]; for (i=0;i<100;i++) a.sort(c);";

TEST_F(RunEndCollection, ObjectMadeBeforeAndDroppedInsideACallbackIsFinalizedAtThatRunsEnd) {
  ASSERT_EQ(run(std::string(kWarmUp) + "p = new Probe(); for (i=0;i<100;i++) a.sort(c);"
                "k = 0; function d(x,y){ k++; if (k == 3) p = null; if (k == 4) trace('at 4: ' + finalized());"
                "return x-y;} a.sort(d);"),
            1)
      << engineMessage(engine->vm);
  EXPECT_EQ(lines, std::vector<std::string>{"at 4: 1"});
}

TEST_F(RunEndCollection, ObjectMadeInsideOneCallbackAndDroppedInAnotherIsFinalized) {
  ASSERT_EQ(run(std::string(kWarmUp) +
                "k = 0; function d(x,y){ k++; if (k == 2) p = new Probe(); if (k == 5) p = null;"
                "if (k == 6) trace('at 6: ' + finalized()); return x-y;} a.sort(d);"),
            1)
      << engineMessage(engine->vm);
  EXPECT_EQ(lines, std::vector<std::string>{"at 6: 1"});
}

TEST_F(RunEndCollection, MemoryStaysBoundedOverManyCallbacks) {
  ASSERT_EQ(run("function c(x,y){ var s = 'ab' + x; return x-y;} a=[]; for (i=0;i<2000;i++) a[i] = (i*7919)%2003;"
                "for (r=0;r<20;r++) a.sort(c);"),
            1);
  EXPECT_LT(engine->vm->heap.chunkBytes, 16u << 20);
  EXPECT_GT(engine->vm->heap.collections, 20u * 2000u);  // every run's end counts as a collection
}

}  // namespace
}  // namespace vorlo
