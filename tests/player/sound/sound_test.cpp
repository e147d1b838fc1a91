// Sounds: every format decodes to the tone it holds, the mixer follows in and out points, loops,
// envelopes and streams, and movies start sounds from their timelines and buttons.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "player/player.h"
#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "tools/swf/assembler.h"

namespace vorlo::player {
namespace {

constexpr double kPi = 3.14159265358979;

std::vector<int16_t> sine(int hertz, size_t count, double frequency = 440) {
  std::vector<int16_t> s(count);
  for (size_t i = 0; i < count; ++i) s[i] = int16_t(std::lround(12000 * std::sin(2 * kPi * frequency * double(i) / hertz)));
  return s;
}

// The tone's frequency from its rising zero crossings, and its RMS, over the middle half.
void measure(const Pcm& pcm, double* frequency, double* rms) {
  size_t frames = pcm.frames(), from = frames / 4, to = frames * 3 / 4;
  int crossings = 0;
  double sum = 0;
  for (size_t i = from + 1; i < to; ++i) {
    int16_t a = pcm.samples[(i - 1) * size_t(pcm.channels)], b = pcm.samples[i * size_t(pcm.channels)];
    if (a < 0 && b >= 0) ++crossings;
    sum += double(b) * b;
  }
  *frequency = crossings * double(pcm.hertz) / double(to - from);
  *rms = std::sqrt(sum / double(to - from));
}

// The movie's ADPCM written by a search over every code (each sample takes the code whose
// decoded value comes nearest), packets of 4,096 samples, one channel.
std::vector<uint8_t> encodeAdpcm(const std::vector<int16_t>& in, int bits) {
  static const int kSteps[89] = {7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,
                                 23,    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,
                                 73,    80,    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,
                                 230,   253,   279,   307,   337,   371,   408,   449,   494,   544,   598,   658,
                                 724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
                                 2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,
                                 7132,  7845,  8630,  9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350,
                                 22385, 24623, 27086, 29794, 32767};
  static const std::vector<std::vector<int>> kIndex = {
      {-1, 2}, {-1, -1, 2, 4}, {-1, -1, -1, -1, 2, 4, 6, 8}, {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16}};
  std::vector<uint8_t> out;
  size_t bitCount = 0;
  auto put = [&](uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i, ++bitCount) {
      if (bitCount % 8 == 0) out.push_back(0);
      if ((v >> i) & 1) out.back() |= uint8_t(0x80 >> (bitCount % 8));
    }
  };
  const std::vector<int>& table = kIndex[size_t(bits - 2)];
  int sign = 1 << (bits - 1);
  auto step = [&](int sample, int index, int code) {
    int s = kSteps[index], diff = s >> (bits - 1);
    for (int k = sign >> 1; k; k >>= 1, s >>= 1)
      if (code & k) diff += s;
    return std::clamp(code & sign ? sample - diff : sample + diff, -32768, 32767);
  };
  put(uint32_t(bits - 2), 2);
  int sample = 0, index = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    if (i % 4096 == 0) {
      sample = in[i];
      index = std::min(index, 63);
      put(uint16_t(sample), 16);
      put(uint32_t(index), 6);
      continue;
    }
    int best = 0, bestError = 1 << 30;
    for (int code = 0; code < (1 << bits); ++code) {
      int e = std::abs(step(sample, index, code) - in[i]);
      if (e < bestError) best = code, bestError = e;
    }
    sample = step(sample, index, best);
    index = std::clamp(index + table[size_t(best & (sign - 1))], 0, 88);
    put(uint32_t(best), bits);
  }
  return out;
}

TEST(PlayerSound, EveryFormatDecodesToItsTone) {
  std::vector<int16_t> tone = sine(22050, 11025);
  std::vector<uint8_t> pcm16, pcm8;
  for (int16_t v : tone) {
    pcm16.push_back(uint8_t(v));
    pcm16.push_back(uint8_t(uint16_t(v) >> 8));
    pcm8.push_back(uint8_t((v >> 8) + 128));
  }
  std::ifstream file(std::string(VORLO_SOUND_DATA) + "/tone-440hz.mp3", std::ios::binary);
  std::vector<uint8_t> mp3 = {0, 0};  // seek samples
  mp3.insert(mp3.end(), std::istreambuf_iterator<char>(file), {});
  ASSERT_GT(mp3.size(), 1000u);
  struct Case {
    const char* name;
    SoundFormat format;
    std::vector<uint8_t> data;
  } cases[] = {
      {"16-bit", {3, 2, true, false}, pcm16},
      {"8-bit", {0, 2, false, false}, pcm8},
      {"ADPCM 2 bits", {1, 2, true, false}, encodeAdpcm(tone, 2)},
      {"ADPCM 3 bits", {1, 2, true, false}, encodeAdpcm(tone, 3)},
      {"ADPCM 4 bits", {1, 2, true, false}, encodeAdpcm(tone, 4)},
      {"ADPCM 5 bits", {1, 2, true, false}, encodeAdpcm(tone, 5)},
      {"MP3", {2, 2, true, false}, mp3},
  };
  for (const Case& c : cases) {
    Pcm out;
    std::string error;
    ASSERT_TRUE(decodeSound(c.format, c.data, out, &error)) << c.name << ": " << error;
    EXPECT_EQ(out.hertz, 22050) << c.name;
    // Decoders differ in whether they drop an MP3 encoder's delay and padding (libmpg123 does, the
    // system's codec on Windows does not): up to two frames of 1,152 samples more.
    EXPECT_GE(out.frames(), 11025u - 1200) << c.name;
    EXPECT_LE(out.frames(), 11025u + 2 * 1152 + 200) << c.name;
    double frequency = 0, rms = 0;
    measure(out, &frequency, &rms);
    EXPECT_NEAR(frequency, 440, 10) << c.name;
    EXPECT_NEAR(rms, 12000 / std::sqrt(2.0), 1200) << c.name;
  }
}

TEST(PlayerSound, DamagedOrUnknownDataIsRefusedWithoutHarm) {
  std::string error;
  Pcm out;
  EXPECT_FALSE(decodeSound({4, 3, true, false}, std::vector<uint8_t>(64, 1), out, &error));  // Nellymoser
  EXPECT_NE(error, "");
  std::vector<uint8_t> garbage(5000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 >> 3);
  decodeSound({2, 3, true, false}, garbage, out, &error);  // may decode nothing; must not crash
  std::vector<uint8_t> adpcm = encodeAdpcm(sine(22050, 5000), 4);
  adpcm.resize(adpcm.size() / 3);  // cut inside a packet: what is there decodes
  ASSERT_TRUE(decodeSound({1, 2, true, false}, adpcm, out, &error)) << error;
  EXPECT_GT(out.frames(), 1000u);
  EXPECT_LT(out.frames(), 2000u);
}

// A sound of `frames` frames at 44,100 Hz with every sample `value`.
std::shared_ptr<const Pcm> level(int16_t value, size_t frames, int channels = 1) {
  auto p = std::make_shared<Pcm>();
  p->channels = channels;
  p->samples.assign(frames * size_t(channels), value);
  return p;
}

TEST(PlayerSound, MixerFollowsPointsLoopsEnvelopesAndStreams) {
  Mixer m;
  std::vector<int16_t> out(2 * 400);
  SoundInfo loops;
  loops.loops = 3;
  loops.inPoint = 50;
  m.start(1, level(1000, 100), loops);  // 50 frames, three times
  SoundInfo envelope;
  envelope.envelope = {{0, 0, 32768}, {100, 32768, 32768}};
  m.start(2, level(2000, 200), envelope);  // left rises from silence over 100 frames
  m.start(2, level(2000, 200), [] {
    SoundInfo i;
    i.noMultiple = true;
    return i;
  }());  // refused: already playing
  m.mix(out.data(), 400);
  EXPECT_EQ(out[2 * 0], 1000);  // left: only the first sound at the envelope's start
  EXPECT_EQ(out[2 * 0 + 1], 3000);
  EXPECT_EQ(out[2 * 50], 1000 + 1000);  // halfway up the envelope
  EXPECT_EQ(out[2 * 149 + 1], 3000);    // last frame of the third loop
  EXPECT_EQ(out[2 * 150 + 1], 2000);    // the loops are over
  EXPECT_EQ(out[2 * 199], 2000);
  EXPECT_EQ(out[2 * 200], 0);
  EXPECT_EQ(m.active(), 0u);
  // A stream at 11,025 Hz: each sample lasts four frames; a stopped sound stops at once.
  Pcm block;
  block.hertz = 11025;
  block.samples = {4000, 4000, -4000, -4000};
  m.streamAppend(&block, block);
  m.start(3, level(100, 1000), SoundInfo{});
  SoundInfo stop;
  stop.stop = true;
  m.start(3, nullptr, stop);
  m.mix(out.data(), 20);
  EXPECT_EQ(out[0], 4000);
  EXPECT_EQ(out[2 * 9 + 1], -4000);
  EXPECT_EQ(out[2 * 18], 0);
  // Volume and pan scale everything.
  m.setTransform(50, 100);
  m.start(4, level(1000, 10), SoundInfo{});
  m.mix(out.data(), 1);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 500);
}

std::string rms(Player& player, size_t frames) {
  std::vector<int16_t> out(frames * 2);
  player.mixAudio(out.data(), frames);
  double sum = 0;
  for (int16_t v : out) sum += double(v) * v;
  return std::to_string(int(std::lround(std::sqrt(sum / double(out.size())) / 1000)));
}

TEST(PlayerSound, MoviesStartStreamAndStopSounds) {
  // Frame 1 starts a tone of a tenth of a second and a stream of a constant level; frame 2 sends
  // another stream block; frame 3 starts the tone again and stops it.
  std::string block;
  for (int i = 0; i < 441; ++i) block += "E803";  // 1000, 16-bit little-endian
  std::string movie = "movie version=8 size=100x100 rate=10\n"
                      "sound 1 rate=3 samples=4410 tone=440\n"
                      "streamhead format=3 rate=3 16bit samples=441\n"
                      "startsound 1\nstreamblock " + block + "\nshow\n"
                      "streamblock " + block + "\nshow\n"
                      "startsound 1\nstartsound 1 stop\nshow\n";
  std::vector<uint8_t> swf;
  std::string error;
  ASSERT_TRUE(swfasm::assembleSwf(movie, swf, error)) << error;
  Player player;
  ASSERT_TRUE(player.load(swf, &error)) << error;
  EXPECT_EQ(player.activeSounds(), 2u);
  // The tone (RMS about 8,500) over the stream's 1,000 for 441 frames, then the tone alone.
  EXPECT_EQ(rms(player, 441), "9");
  EXPECT_EQ(rms(player, 3969), "8");
  EXPECT_EQ(player.activeSounds(), 0u);
  player.advance();
  EXPECT_EQ(rms(player, 441), "1");
  player.advance();
  EXPECT_EQ(player.activeSounds(), 0u);
  EXPECT_EQ(rms(player, 441), "0");
  EXPECT_TRUE(player.warnings().empty());
}

}  // namespace
}  // namespace vorlo::player
