// The movie's sound on the machine's wave output device. The mixer is only ever touched on the
// control's thread: the device returns its buffers as messages to the control's window, which
// fills them again from the mixer while sounds play and lets them rest when all is quiet.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <vector>

#include "player/player.h"

namespace vorlo::control {

class SoundOutput {
 public:
  SoundOutput() = default;
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;
  ~SoundOutput() { close(); }

  // Queues mixed samples in every resting buffer while the player has sounds to play. The device
  // is opened the first time a sound plays, with `notify` receiving MM_WOM_DONE; a machine without
  // a device plays silently (tried once).
  void pump(player::Player& player, HWND notify);
  // MM_WOM_DONE from our device: that buffer rests, and is filled again at once if sounds still play.
  void done(player::Player& player, WPARAM device, LPARAM header);
  // Stops the device and frees its buffers (the window is going).
  void close();

  bool open() const { return device_ != nullptr; }
  // Buffers handed to the device so far (what the call log and tests see).
  uint64_t buffersPlayed() const { return played_; }

  // 44.1 kHz 16-bit stereo, as the mixer makes it; six buffers of 23 ms.
  static constexpr size_t kFramesPerBuffer = 1024;
  static constexpr size_t kBuffers = 6;

 private:
  struct Buffer {
    WAVEHDR header{};
    std::vector<int16_t> samples;
    bool queued = false;
  };
  bool openDevice(HWND notify);
  void queue(player::Player& player, Buffer& buffer);

  HWAVEOUT device_ = nullptr;
  bool failed_ = false;
  std::array<Buffer, kBuffers> buffers_;
  uint64_t played_ = 0;
};

}  // namespace vorlo::control
