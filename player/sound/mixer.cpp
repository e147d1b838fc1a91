#include "player/sound/mixer.h"

#include <algorithm>
#include <cmath>

namespace vorlo::player {

bool readSoundInfo(std::span<const uint8_t> data, size_t& pos, SoundInfo& out) {
  auto need = [&](size_t n) { return pos + n <= data.size(); };
  auto u16 = [&] {
    uint16_t v = uint16_t(data[pos] | data[pos + 1] << 8);
    pos += 2;
    return v;
  };
  auto u32 = [&] {
    uint32_t v = uint32_t(data[pos]) | uint32_t(data[pos + 1]) << 8 | uint32_t(data[pos + 2]) << 16 |
                 uint32_t(data[pos + 3]) << 24;
    pos += 4;
    return v;
  };
  if (!need(1)) return false;
  uint8_t flags = data[pos++];
  out = SoundInfo{};
  out.stop = flags & 0x20;
  out.noMultiple = flags & 0x10;
  if (flags & 0x01) {
    if (!need(4)) return false;
    out.inPoint = u32();
  }
  if (flags & 0x02) {
    if (!need(4)) return false;
    out.outPoint = u32();
  }
  if (flags & 0x04) {
    if (!need(2)) return false;
    out.loops = u16();
  }
  if (flags & 0x08) {
    if (!need(1)) return false;
    size_t count = data[pos++];
    if (!need(count * 8)) return false;
    for (size_t i = 0; i < count; ++i) {
      EnvelopePoint p;
      p.position = u32();
      p.left = std::min<uint16_t>(u16(), 32768);
      p.right = std::min<uint16_t>(u16(), 32768);
      out.envelope.push_back(p);
    }
  }
  return true;
}

std::vector<int16_t> toMixerFormat(const Pcm& pcm) {
  std::vector<int16_t> out;
  size_t frames = pcm.frames();
  if (frames == 0 || pcm.hertz <= 0 || pcm.channels <= 0) return out;
  double step = double(pcm.hertz) / Mixer::kHertz;
  auto count = size_t(double(frames) / step);
  out.reserve(count * 2);
  size_t ch = size_t(pcm.channels);
  for (size_t i = 0; i < count; ++i) {
    double at = double(i) * step;
    size_t a = std::min(size_t(at), frames - 1), b = std::min(a + 1, frames - 1);
    double t = at - double(a);
    for (size_t c = 0; c < 2; ++c) {
      size_t src = std::min(c, ch - 1);
      double v = pcm.samples[a * ch + src] * (1 - t) + pcm.samples[b * ch + src] * t;
      out.push_back(int16_t(std::lround(v)));
    }
  }
  return out;
}

void Mixer::start(int key, std::shared_ptr<const Pcm> sound, const SoundInfo& info) {
  std::lock_guard lock(mutex_);
  if (info.stop) {
    std::erase_if(voices_, [&](const Voice& v) { return v.key == key; });
    return;
  }
  if (!sound || sound->frames() == 0 || sound->hertz <= 0) return;
  if (info.noMultiple && std::any_of(voices_.begin(), voices_.end(), [&](const Voice& v) { return v.key == key; }))
    return;
  if (voices_.size() >= kMaxVoices) voices_.erase(voices_.begin());
  Voice v;
  v.key = key;
  v.step = double(sound->hertz) / kHertz;
  double frames = double(sound->frames());
  v.begin = std::min(frames, double(info.inPoint) * v.step);
  v.end = info.outPoint ? std::clamp(double(info.outPoint) * v.step, v.begin, frames) : frames;
  v.position = v.begin;
  v.loopsLeft = std::max<int>(1, info.loops);
  v.envelope = info.envelope;
  v.sound = std::move(sound);
  voices_.push_back(std::move(v));
}

void Mixer::stop(int key) {
  std::lock_guard lock(mutex_);
  std::erase_if(voices_, [&](const Voice& v) { return v.key == key; });
}

void Mixer::stopAll() {
  std::lock_guard lock(mutex_);
  voices_.clear();
  streams_.clear();
}

void Mixer::streamAppend(const void* owner, const Pcm& block) {
  std::vector<int16_t> samples = toMixerFormat(block);
  std::lock_guard lock(mutex_);
  auto it = std::find_if(streams_.begin(), streams_.end(), [&](const Stream& s) { return s.owner == owner; });
  if (it == streams_.end()) {
    streams_.push_back(Stream{owner, {}, 0});
    it = std::prev(streams_.end());
  }
  Stream& s = *it;
  if (s.read > 0) {
    s.samples.erase(s.samples.begin(), s.samples.begin() + std::ptrdiff_t(s.read));
    s.read = 0;
  }
  s.samples.insert(s.samples.end(), samples.begin(), samples.end());
  // Nobody is listening (no device, or a paused one): keep the newest seconds only.
  if (s.samples.size() > kMaxStreamBacklog * 2)
    s.samples.erase(s.samples.begin(), s.samples.end() - std::ptrdiff_t(kMaxStreamBacklog * 2));
}

void Mixer::streamStop(const void* owner) {
  std::lock_guard lock(mutex_);
  std::erase_if(streams_, [&](const Stream& s) { return s.owner == owner; });
}

void Mixer::setTransform(int volume, int pan) {
  std::lock_guard lock(mutex_);
  volume_ = std::clamp(volume, 0, 100) / 100.0;
  pan = std::clamp(pan, -100, 100);
  panLeft_ = pan > 0 ? (100 - pan) / 100.0 : 1;
  panRight_ = pan < 0 ? (100 + pan) / 100.0 : 1;
}

void Mixer::levels(const Voice& v, double* left, double* right) {
  *left = *right = 1;
  if (v.envelope.empty()) return;
  auto next = std::find_if(v.envelope.begin(), v.envelope.end(),
                           [&](const EnvelopePoint& p) { return p.position > v.played; });
  if (next == v.envelope.begin()) {
    *left = next->left / 32768.0;
    *right = next->right / 32768.0;
    return;
  }
  auto prev = std::prev(next);
  if (next == v.envelope.end()) {
    *left = prev->left / 32768.0;
    *right = prev->right / 32768.0;
    return;
  }
  double t = double(v.played - prev->position) / double(next->position - prev->position);
  *left = (prev->left + (next->left - prev->left) * t) / 32768.0;
  *right = (prev->right + (next->right - prev->right) * t) / 32768.0;
}

void Mixer::mix(int16_t* out, size_t frames) {
  std::lock_guard lock(mutex_);
  std::vector<int32_t> acc(frames * 2, 0);
  for (Voice& v : voices_) {
    const Pcm& pcm = *v.sound;
    size_t ch = size_t(pcm.channels);
    size_t last = pcm.frames() - 1;
    for (size_t i = 0; i < frames; ++i) {
      if (v.position >= v.end) {
        if (--v.loopsLeft <= 0) break;
        v.position = v.begin;
      }
      size_t a = std::min(size_t(v.position), last), b = std::min(a + 1, last);
      double t = v.position - double(a);
      double l = pcm.samples[a * ch] * (1 - t) + pcm.samples[b * ch] * t;
      double r = ch > 1 ? pcm.samples[a * ch + 1] * (1 - t) + pcm.samples[b * ch + 1] * t : l;
      double el, er;
      levels(v, &el, &er);
      acc[2 * i] += int32_t(std::lround(l * el));
      acc[2 * i + 1] += int32_t(std::lround(r * er));
      v.position += v.step;
      ++v.played;
    }
  }
  std::erase_if(voices_, [](const Voice& v) { return v.position >= v.end && v.loopsLeft <= 1; });
  for (Stream& s : streams_) {
    size_t available = (s.samples.size() - s.read) / 2, n = std::min(available, frames);
    for (size_t i = 0; i < n * 2; ++i) acc[i] += s.samples[s.read + i];
    s.read += n * 2;
  }
  for (size_t i = 0; i < frames; ++i) {
    out[2 * i] = int16_t(std::clamp(std::lround(acc[2 * i] * volume_ * panLeft_), -32768L, 32767L));
    out[2 * i + 1] = int16_t(std::clamp(std::lround(acc[2 * i + 1] * volume_ * panRight_), -32768L, 32767L));
  }
}

size_t Mixer::active() const {
  std::lock_guard lock(mutex_);
  size_t n = voices_.size();
  for (const Stream& s : streams_) n += s.samples.size() > s.read ? 1 : 0;
  return n;
}

}  // namespace vorlo::player
