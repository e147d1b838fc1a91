// The movie's sounds playing at once, mixed into 44,100 Hz 16-bit stereo for the host's audio
// device: event sounds with their in and out points, loops and envelopes, and one stream per
// timeline fed a block per frame. The host pulls samples from its own thread; every call locks.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "player/sound/decode.h"

namespace vorlo::player {

struct EnvelopePoint {
  uint32_t position = 0;  // in samples at 44,100 Hz from the sound's start
  uint16_t left = 32768, right = 32768;  // 32,768 is full level
};

// SOUNDINFO: how a StartSound or a button plays its sound.
struct SoundInfo {
  bool stop = false, noMultiple = false;
  uint32_t inPoint = 0;   // samples at 44,100 Hz skipped at the start
  uint32_t outPoint = 0;  // where it ends (0: the end)
  uint16_t loops = 1;
  std::vector<EnvelopePoint> envelope;
};
// Reads a SOUNDINFO at `pos`, moving `pos` past it; false when the data ends inside it.
bool readSoundInfo(std::span<const uint8_t> data, size_t& pos, SoundInfo& out);

class Mixer {
 public:
  static constexpr int kHertz = 44100;
  static constexpr size_t kMaxVoices = 64;
  static constexpr size_t kMaxStreamBacklog = size_t(kHertz) * 10;  // frames buffered per stream

  // Starts an event sound (stops it, for `info.stop`). `key` names the sound (its character id)
  // for stopping and for `noMultiple`.
  void start(int key, std::shared_ptr<const Pcm> sound, const SoundInfo& info);
  void stop(int key);
  void stopAll();
  // A timeline's stream sound: the block's samples are played after what came before.
  void streamAppend(const void* owner, const Pcm& block);
  void streamStop(const void* owner);
  // Scales every sound: 0..100 percent, pan -100 (left) .. 100 (right).
  void setTransform(int volume, int pan);

  // Mixes the next `frames` stereo frames into `out` (2 * frames samples, overwritten).
  void mix(int16_t* out, size_t frames);
  // Sounds and streams that still have samples to give.
  size_t active() const;

 private:
  struct Voice {
    int key = 0;
    std::shared_ptr<const Pcm> sound;
    double position = 0, step = 1;  // in the sound's frames
    double begin = 0, end = 0;
    int loopsLeft = 1;
    uint64_t played = 0;  // output frames since the start (the envelope's clock)
    std::vector<EnvelopePoint> envelope;
  };
  struct Stream {
    const void* owner = nullptr;
    std::vector<int16_t> samples;  // stereo at kHertz, from `read` on
    size_t read = 0;
  };
  static void levels(const Voice& v, double* left, double* right);

  mutable std::mutex mutex_;
  std::vector<Voice> voices_;
  std::vector<Stream> streams_;
  double volume_ = 1, panLeft_ = 1, panRight_ = 1;
};

// Converts samples of any rate and channel count to stereo at the mixer's rate (linear).
std::vector<int16_t> toMixerFormat(const Pcm& pcm);

}  // namespace vorlo::player
