#include "player_control/sound_output.h"

#include <cstdio>

#include "player_control/call_log.h"

namespace vorlo::control {

bool SoundOutput::openDevice(HWND notify) {
  if (device_) return true;
  if (failed_ || !notify) return false;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = 44100 * 4;
  MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, DWORD_PTR(notify), 0, CALLBACK_WINDOW);
  if (result != MMSYSERR_NOERROR) {
    device_ = nullptr;
    failed_ = true;
    if (callLogEnabled()) {
      char line[64];
      std::snprintf(line, sizeof line, "sound no device (%u)", unsigned(result));
      logCall(line);
    }
    return false;
  }
  for (Buffer& b : buffers_) {
    b.samples.assign(kFramesPerBuffer * 2, 0);
    b.header = WAVEHDR{};
    b.header.lpData = reinterpret_cast<LPSTR>(b.samples.data());
    b.header.dwBufferLength = DWORD(b.samples.size() * sizeof(int16_t));
    if (waveOutPrepareHeader(device_, &b.header, sizeof b.header) != MMSYSERR_NOERROR) {
      close();
      failed_ = true;
      return false;
    }
  }
  if (callLogEnabled()) logCall("sound device open");
  return true;
}

void SoundOutput::queue(player::Player& player, Buffer& buffer) {
  player.mixAudio(buffer.samples.data(), kFramesPerBuffer);
  buffer.header.dwFlags &= ~DWORD(WHDR_DONE);
  if (waveOutWrite(device_, &buffer.header, sizeof buffer.header) == MMSYSERR_NOERROR) {
    buffer.queued = true;
    ++played_;
  }
}

void SoundOutput::pump(player::Player& player, HWND notify) {
  if (player.activeSounds() == 0 || !openDevice(notify)) return;
  for (Buffer& b : buffers_) {
    if (!b.queued && player.activeSounds() > 0) queue(player, b);
  }
}

void SoundOutput::done(player::Player& player, WPARAM device, LPARAM header) {
  // A device closed earlier may still have its last notices in the queue.
  if (!device_ || reinterpret_cast<HWAVEOUT>(device) != device_) return;
  for (Buffer& b : buffers_) {
    if (reinterpret_cast<LPARAM>(&b.header) != header) continue;
    b.queued = false;
    if (player.activeSounds() > 0) queue(player, b);
    return;
  }
}

void SoundOutput::close() {
  if (!device_) return;
  waveOutReset(device_);  // every queued buffer comes back marked done
  for (Buffer& b : buffers_) {
    if (b.header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &b.header, sizeof b.header);
    b.queued = false;
  }
  waveOutClose(device_);
  device_ = nullptr;
}

}  // namespace vorlo::control
