// libFuzzer target: arbitrary bytes through the image reader; whatever it accepts is listed and
// linked into a fresh machine. Neither may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "engine/disassembler.h"
#include "engine/error.h"
#include "engine/image.h"
#include "engine/linker.h"
#include "engine/vm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto image = vorlo::readImage(data, size);
  if (!image) return 0;
  std::string listing = vorlo::listImage(*image);
  vorlo::ScriptVM* vm = vorlo::createVM();
  if (!vm) return 0;
  try {
    uint32_t counter = 0;
    vorlo::loadImage(vm, *image, vorlo::ImageLoadContext{&counter});
  } catch (const vorlo::ScriptError&) {
  }
  vorlo::destroyVM(vm);
  return listing.empty() ? 0 : 0;
}
