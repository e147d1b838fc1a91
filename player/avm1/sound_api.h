// What the Sound object and stopAllSounds ask of the player's sound output: the event sounds of
// the movie's library started and stopped by character id, and the level and balance of all
// sounds. The player supplies it (Vm::soundOutput); without one, sounds are silent.
#pragma once
#include <cstdint>

namespace vorlo::player::avm1 {

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  // The length of a library sound in milliseconds (0 when it has no samples).
  virtual double durationMillis(uint16_t id) = 0;
  // Starts a library sound `offsetSeconds` into it, played `loops` times.
  virtual void start(uint16_t id, double offsetSeconds, int loops) = 0;
  // Stops every playing copy of a sound; id 0 stops every sound and stream.
  virtual void stop(uint16_t id) = 0;
  // The level (0..100 percent) and balance (-100 left .. 100 right) of every sound.
  virtual void setTransform(int volume, int pan) = 0;
};

}  // namespace vorlo::player::avm1
