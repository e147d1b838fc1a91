// Whole movies from anywhere: read, ten frames played (scripts included) and each drawn on a small
// stage. Nothing may crash, hang or take unbounded memory.
#include <cstddef>
#include <cstdint>
#include <span>

#include "player/player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorlo::player::Player player;
  std::string error;
  if (!player.load(std::span(data, size), &error)) return 0;
  vorlo::player::Surface surface(64, 48);
  for (int frame = 0; frame < 10 && !player.quitRequested(); ++frame) {
    if (frame > 0) player.advance();
    player.render(surface, vorlo::player::ScaleMode::ShowAll,
                  frame % 2 ? vorlo::player::Quality::Low : vorlo::player::Quality::High);
  }
  return 0;
}
