// Action blocks from anywhere: the input's first byte picks the SWF version (4 to 8), the rest is
// the body of the first frame's DoAction, run on a small movie for three frames (so functions,
// timers and clip events it sets up run too). Nothing may crash, hang or take unbounded memory.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "player/player.h"

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void longTag(std::vector<uint8_t>& out, uint16_t code, std::span<const uint8_t> body) {
  put16(out, uint16_t(code << 6 | 0x3F));
  put32(out, uint32_t(body.size()));
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t version = uint8_t(4 + data[0] % 5);
  std::vector<uint8_t> swf = {'F', 'W', 'S', version, 0, 0, 0, 0};
  // Frame 0,0 to 1600,1200 twips (nbits 12), 24 frames per second, 3 frames.
  const uint8_t rect[] = {0x60, 0x00, 0x0C, 0x80, 0x00, 0x96, 0x00};
  swf.insert(swf.end(), std::begin(rect), std::end(rect));
  put16(swf, 24 << 8);
  put16(swf, 3);
  longTag(swf, 12, std::span(data + 1, size - 1));
  for (int i = 0; i < 3; ++i) put16(swf, 1 << 6);  // ShowFrame
  put16(swf, 0);
  uint32_t length = uint32_t(swf.size());
  for (int i = 0; i < 4; ++i) swf[4 + i] = uint8_t(length >> (8 * i));

  vorlo::player::Player player;
  std::string error;
  // An endless loop is stopped after its budget either way: a small one keeps such inputs fast
  // under the sanitizers (the full budget takes most of a minute there).
  player.setScriptActionBudget(200'000);
  if (!player.load(std::span<const uint8_t>(swf.data(), swf.size()), &error)) return 0;
  for (int frame = 1; frame < 3 && !player.quitRequested(); ++frame) player.advance();
  return 0;
}
