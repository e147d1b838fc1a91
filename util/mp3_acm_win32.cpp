// MPEG audio through the system's ACM codec (Windows ships an MP3 decoder as an ACM driver).
#include <windows.h>
// After windows.h (which the build trims of the multimedia declarations):
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>

#include "util/mp3.h"

namespace vorlo {

namespace {

class AcmStream final : public Mp3Stream {
 public:
  ~AcmStream() override {
    if (stream_) acmStreamClose(stream_, 0);
  }

  bool decode(std::span<const uint8_t> data, std::vector<int16_t>& out) override {
    pending_.insert(pending_.end(), data.begin(), data.end());
    if (!stream_ && !openFor(pending_)) return pending_.size() < 8192;  // wait for a frame header
    // MP3 expands about elevenfold; one buffer of at most 4 MB, converted into as often as needed.
    std::vector<uint8_t> output(std::min<size_t>(pending_.size(), 256 * 1024) * 16 + 65536);
    for (int guard = 0; guard < 65536 && !pending_.empty(); ++guard) {
      ACMSTREAMHEADER header{};
      header.cbStruct = sizeof header;
      header.pbSrc = pending_.data();
      header.cbSrcLength = DWORD(pending_.size());
      header.pbDst = output.data();
      header.cbDstLength = DWORD(output.size());
      if (acmStreamPrepareHeader(stream_, &header, 0) != 0) return false;
      MMRESULT r = acmStreamConvert(stream_, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
      DWORD used = std::min<DWORD>(header.cbSrcLengthUsed, DWORD(pending_.size()));
      DWORD made = std::min<DWORD>(header.cbDstLengthUsed, DWORD(output.size()));
      acmStreamUnprepareHeader(stream_, &header, 0);
      if (r != 0) return false;
      const auto* samples = reinterpret_cast<const int16_t*>(output.data());
      out.insert(out.end(), samples, samples + made / 2);
      pending_.erase(pending_.begin(), pending_.begin() + used);
      if (used == 0 && made == 0) break;  // the rest is part of a frame still to come
    }
    return true;
  }

 private:
  bool openFor(const std::vector<uint8_t>& data) {
    int rate = 0, ch = 0;
    size_t offset = 0;
    if (!readMp3Header(data, &rate, &ch, &offset)) return false;
    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = WORD(ch);
    mp3.wfx.nSamplesPerSec = DWORD(rate);
    mp3.wfx.nAvgBytesPerSec = 128000 / 8;
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.wBitsPerSample = 0;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    mp3.nBlockSize = WORD(144 * 128000 / rate);  // a typical frame; the decoder reads the headers
    mp3.nFramesPerBlock = 1;
    mp3.nCodecDelay = 0;
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = WORD(ch);
    pcm.nSamplesPerSec = DWORD(rate);
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = WORD(ch * 2);
    pcm.nAvgBytesPerSec = DWORD(rate * ch * 2);
    if (acmStreamOpen(&stream_, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
      stream_ = nullptr;
      return false;
    }
    hertz = rate;
    channels = ch;
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(offset));
    return true;
  }

  HACMSTREAM stream_ = nullptr;
  std::vector<uint8_t> pending_;
};

}  // namespace

std::unique_ptr<Mp3Stream> Mp3Stream::open() { return std::make_unique<AcmStream>(); }

}  // namespace vorlo
