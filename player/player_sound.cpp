// The movie's sounds: StartSound and StartSound2 start and stop event sounds, SoundStreamHead
// and SoundStreamBlock feed each timeline's stream, buttons play the sounds of their transitions.
// Sound data is decoded once per sound; damage is a warning and silence. Scripts reach the same
// sounds through the Sound object and stopAllSounds (ScriptSounds).
#include <algorithm>

#include "player/avm1/sound_api.h"
#include "player/avm1/vm.h"
#include "player/player.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

struct Player::StreamState {
  SoundFormat format;
  std::unique_ptr<SoundDecoder> decoder;
};

struct Player::ScriptSounds : avm1::SoundOutput {
  explicit ScriptSounds(Player& p) : player(p) {}
  Player& player;
  double durationMillis(uint16_t id) override {
    std::shared_ptr<const Pcm> pcm = player.decodedSound(id);
    return pcm && pcm->hertz > 0 ? double(pcm->frames()) * 1000 / pcm->hertz : 0;
  }
  void start(uint16_t id, double offsetSeconds, int loops) override {
    SoundInfo info;
    info.inPoint = uint32_t(std::min(offsetSeconds * Mixer::kHertz, 4.0e9));
    info.loops = uint16_t(std::clamp(loops, 1, 65535));
    if (auto pcm = player.decodedSound(id)) player.mixer_.start(id, pcm, info);
  }
  void stop(uint16_t id) override {
    if (id) player.mixer_.stop(id);
    else player.mixer_.stopAll();
  }
  void setTransform(int volume, int pan) override { player.mixer_.setTransform(volume, pan); }
};

void Player::connectScriptSounds() {
  if (!scriptSounds_) scriptSounds_ = std::make_shared<ScriptSounds>(*this);
  if (vm_) vm_->soundOutput = scriptSounds_.get();
}

std::shared_ptr<const Pcm> Player::decodedSound(uint16_t id) {
  if (auto it = sounds_.find(id); it != sounds_.end()) return it->second;
  std::shared_ptr<const Pcm> result;
  if (const Sound* sound = movie_->find<Sound>(id)) {
    SoundFormat format{sound->format, sound->rate, sound->sixteenBit, sound->stereo};
    auto pcm = std::make_shared<Pcm>();
    std::string error;
    if (!decodeSound(format, sound->data, *pcm, &error))
      stage_.warn("sound " + std::to_string(id) + ": " + error);
    if (pcm->frames() > 0) result = pcm;
  }
  sounds_[id] = result;
  return result;
}

void Player::onSoundTag(MovieClip& clip, const RawTag& tag) {
  std::span<const uint8_t> body = tag.body;
  switch (tag.code) {
    case tag::StartSound:
    case tag::StartSound2: {
      size_t pos = 0;
      uint16_t id = 0;
      if (tag.code == tag::StartSound) {
        if (body.size() < 2) return;
        id = uint16_t(body[0] | body[1] << 8);
        pos = 2;
      } else {
        auto end = std::find(body.begin(), body.end(), uint8_t(0));
        if (end == body.end()) return;
        auto it = movie_->exports.find(std::string(body.begin(), end));
        if (it == movie_->exports.end()) return;
        id = it->second;
        pos = size_t(end - body.begin()) + 1;
      }
      SoundInfo info;
      if (!readSoundInfo(body, pos, info)) {
        stage_.warn("a StartSound tag ends inside its sound information");
        return;
      }
      mixer_.start(id, info.stop ? nullptr : decodedSound(id), info);
      return;
    }
    case tag::SoundStreamHead:
    case tag::SoundStreamHead2: {
      if (body.size() < 4) return;
      auto state = std::make_shared<StreamState>();
      state->format = SoundFormat{uint8_t(body[1] >> 4), uint8_t((body[1] >> 2) & 3), (body[1] & 2) != 0,
                                  (body[1] & 1) != 0};
      std::string error;
      state->decoder = SoundDecoder::make(state->format, &error);
      if (!state->decoder) stage_.warn("stream sound: " + error);
      streams_[&clip] = state;
      mixer_.streamStop(&clip);
      return;
    }
    case tag::SoundStreamBlock: {
      auto it = streams_.find(&clip);
      if (it == streams_.end() || !it->second->decoder) return;
      StreamState& s = *it->second;
      // MP3 blocks start with their sample count and seek samples.
      if (s.format.format == 2) body = body.subspan(std::min<size_t>(4, body.size()));
      Pcm block;
      block.hertz = s.format.hertz();
      block.channels = s.format.channels();
      std::string error;
      if (!s.decoder->decode(body, block, &error)) stage_.warn("stream sound: " + error);
      if (block.frames() > 0) mixer_.streamAppend(&clip, block);
      return;
    }
    default: return;
  }
}

void Player::playButtonSound(const Button& button, int transition) {
  // DefineButtonSound: the sounds of roll out, roll over, press and release, each with its
  // sound information.
  static constexpr int kSlotOf[] = {1, 0, 2, 3, -1, -1, -1};  // by the input's transition order
  if (!button.sounds || transition < 0 || transition >= 7 || kSlotOf[transition] < 0) return;
  std::span<const uint8_t> body = button.sounds->body;
  size_t pos = 2;  // the button id
  for (int slot = 0; slot < 4; ++slot) {
    if (pos + 2 > body.size()) return;
    uint16_t id = uint16_t(body[pos] | body[pos + 1] << 8);
    pos += 2;
    SoundInfo info;
    if (id && !readSoundInfo(body, pos, info)) return;
    if (id && slot == kSlotOf[transition]) {
      mixer_.start(id, info.stop ? nullptr : decodedSound(id), info);
      return;
    }
  }
}

}  // namespace vorlo::player
