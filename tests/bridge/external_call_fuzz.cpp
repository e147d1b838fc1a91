// libFuzzer target for the external-call XML: every input is read as a request and as an answer
// (bytes widened to UTF-16), and whatever was read is written back and read again. Besides the
// sanitizers it checks that writing is stable: once a value has been through the text, reading and
// writing it again gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/embed.h"
#include "engine/roots.h"
#include "projector/bridge/external_call.h"
#include "stdlib/portable_classes.h"

namespace {

vorlo::Engine* engine() {
  static vorlo::Engine* e = vorlo::createPortableEngine();
  return e;
}

// The text of a value read back from `text`; false when it cannot be written.
bool rewrite(vorlo::ScriptVM* vm, const std::u16string& text, std::u16string& out) {
  vorlo::ValueRoot v(vm, vorlo::bridge::readResponse(vm, text));
  return vorlo::bridge::writeValue(vm, v.value, nullptr, out);
}

void roundTrip(vorlo::ScriptVM* vm, const vorlo::ScriptValue& v) {
  vorlo::ValueRoot keep(vm, v);
  std::u16string first, second, third;
  if (!vorlo::bridge::writeValue(vm, v, nullptr, first)) return;
  // What was read from a document is acyclic and within the depth, so it can always be written.
  if (!rewrite(vm, first, second) || !rewrite(vm, second, third) || second != third) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorlo::ScriptVM* vm = engine()->vm;
  std::u16string text(data, data + size);
  if (auto request = vorlo::bridge::readRequest(vm, text)) {
    for (const vorlo::ScriptValue& v : request->arguments) roundTrip(vm, v);
  }
  roundTrip(vm, vorlo::bridge::readResponse(vm, text));
  // Collect what this input made, as a run would.
  vorlo::runText(engine(), "0;", 2);
  return 0;
}
