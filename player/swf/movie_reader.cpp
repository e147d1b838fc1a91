// The movie: header, decompression, the tag stream of the main timeline and of sprites, and the
// small tags that need no reader of their own.
#include <zlib.h>

#include <cstdio>
#include <utility>

#include "player/swf/movie.h"
#include "player/swf/read_context.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

namespace {

std::string num(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u", unsigned(v));
  return buf;
}

// The body of a compressed movie, at most `limit` bytes, grown as data arrives (never reserved
// from the declared size). A damaged stream keeps what came out before the damage.
bool inflateMovie(std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out, std::string& problem) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    problem = "zlib could not start";
    return false;
  }
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  size_t chunk = 64 * 1024;
  int status = Z_OK;
  while (out.size() < limit) {
    size_t want = std::min(chunk, limit - out.size());
    size_t had = out.size();
    out.resize(had + want);
    z.next_out = out.data() + had;
    z.avail_out = uInt(want);
    status = inflate(&z, Z_NO_FLUSH);
    out.resize(had + (want - z.avail_out));
    if (status == Z_STREAM_END) break;
    if (status != Z_OK) break;
    if (chunk < (4u << 20)) chunk *= 2;
  }
  inflateEnd(&z);
  if (status == Z_STREAM_END || out.size() >= limit) return true;
  problem = status == Z_BUF_ERROR ? "the compressed movie ends early" : "the compressed movie is damaged";
  return false;
}

class TimelineReader {
 public:
  TimelineReader(ReadContext& ctx, bool isMain) : ctx_(ctx), isMain_(isMain) {}

  // Reads tags until End or the end of the data; the frames go to `timeline`.
  void read(SwfReader& r, Timeline& timeline) {
    Frame frame;
    while (!r.atEnd()) {
      size_t start = r.position();
      uint16_t header = r.u16();
      uint16_t code = header >> 6;
      uint32_t length = header & 0x3F;
      if (length == 0x3F) length = r.u32();
      if (!r.ok()) {
        ctx_.warn("the tag header at byte " + num(uint32_t(start)) + " is cut off");
        break;
      }
      if (length > r.remaining()) {
        ctx_.warn(std::string(tag::name(code)) + " at byte " + num(uint32_t(start)) + " declares " + num(length) +
                  " bytes but only " + num(uint32_t(r.remaining())) + " remain");
        break;
      }
      auto body = r.bytes(length);
      if (code == tag::End) break;
      if (code == tag::ShowFrame) {
        if (!ctx_.charge(sizeof(Frame), "frames")) break;
        timeline.frames.push_back(std::move(frame));
        frame = Frame{};
        continue;
      }
      readTag(code, body, frame);
    }
    // Tags after the last ShowFrame belong to no frame that is ever shown, unless the timeline
    // has no frame at all (then they make its one frame).
    if (timeline.frames.empty()) timeline.frames.push_back(std::move(frame));
  }

 private:
  // One tag; true when it added something to the frame.
  bool readTag(uint16_t code, std::span<const uint8_t> body, Frame& frame) {
    switch (code) {
      case tag::PlaceObject:
      case tag::PlaceObject2:
      case tag::PlaceObject3:
        return place(code, body, frame);
      case tag::RemoveObject:
      case tag::RemoveObject2:
        return remove(code, body, frame);
      case tag::SetBackgroundColor: {
        SwfReader r(body);
        SetBackgroundColor bg{r.rgb()};
        if (!r.ok()) return damaged(code);
        if (isMain_ && !backgroundSeen_) {
          ctx_.movie().backgroundColor = bg.color;
          backgroundSeen_ = true;
        }
        frame.tags.push_back(bg);
        return true;
      }
      case tag::FrameLabel: {
        SwfReader r(body);
        std::string label = ctx_.cstring(r);  // an optional anchor flag may follow
        if (!r.ok()) return damaged(code);
        frame.labels.push_back(std::move(label));
        return true;
      }
      case tag::DoAction:
      case tag::DoInitAction:
      case tag::StartSound:
      case tag::StartSound2:
      case tag::SoundStreamHead:
      case tag::SoundStreamHead2:
      case tag::SoundStreamBlock:
      case tag::ScriptLimits:
      case tag::SetTabIndex:
        if (!ctx_.charge(body.size() + sizeof(RawTag), "kept tags")) return false;
        frame.tags.push_back(RawTag{code, std::vector<uint8_t>(body.begin(), body.end())});
        return true;
      case tag::DefineSprite:
        sprite(body);
        return false;
      case tag::DefineShape:
      case tag::DefineShape2:
      case tag::DefineShape3:
      case tag::DefineShape4:
        readShapeTag(ctx_, code, body);
        return false;
      case tag::DefineMorphShape:
      case tag::DefineMorphShape2:
        readMorphShapeTag(ctx_, code, body);
        return false;
      case tag::DefineBits:
      case tag::DefineBitsJpeg2:
      case tag::DefineBitsJpeg3:
      case tag::DefineBitsJpeg4:
      case tag::DefineBitsLossless:
      case tag::DefineBitsLossless2:
        readBitmapTag(ctx_, code, body);
        return false;
      case tag::JpegTables:
        // Only the first counts; later ones (seen in some files) are empty or repeat it.
        if (ctx_.jpegTables.empty()) ctx_.jpegTables.assign(body.begin(), body.end());
        return false;
      case tag::DefineFont:
      case tag::DefineFont2:
      case tag::DefineFont3:
      case tag::DefineFontInfo:
      case tag::DefineFontInfo2:
      case tag::DefineFontAlignZones:
      case tag::DefineFontName:
        readFontTag(ctx_, code, body);
        return false;
      case tag::DefineText:
      case tag::DefineText2:
      case tag::DefineEditText:
      case tag::CsmTextSettings:
        readTextTag(ctx_, code, body);
        return false;
      case tag::DefineButton:
      case tag::DefineButton2:
      case tag::DefineButtonCxform:
      case tag::DefineButtonSound:
        readButtonTag(ctx_, code, body);
        return false;
      case tag::DefineSound:
        sound(body);
        return false;
      default:
        movieTag(code, body);
        return false;
    }
  }

  bool damaged(uint16_t code) {
    ctx_.warn(std::string(tag::name(code)) + " is damaged: left out");
    return false;
  }

  bool place(uint16_t code, std::span<const uint8_t> body, Frame& frame) {
    SwfReader r(body);
    PlaceObject p;
    if (code == tag::PlaceObject) {
      p.version = 1;
      p.characterId = r.u16();
      p.depth = r.u16();
      p.matrix = r.matrix();
      if (!r.atEnd()) p.colorTransform = r.colorTransform(false);
    } else {
      p.version = code == tag::PlaceObject2 ? 2 : 3;
      uint8_t flags = r.u8();
      uint8_t flags2 = p.version == 3 ? r.u8() : 0;
      p.move = flags & 0x01;
      p.depth = r.u16();
      bool hasCharacter = flags & 0x02;
      bool hasImage = flags2 & 0x10;
      if ((flags2 & 0x08) || (hasImage && hasCharacter)) p.className = ctx_.cstring(r);
      if (hasCharacter) p.characterId = r.u16();
      if (flags & 0x04) p.matrix = r.matrix();
      if (flags & 0x08) p.colorTransform = r.colorTransform(true);
      if (flags & 0x10) p.ratio = r.u16();
      if (flags & 0x20) p.name = ctx_.cstring(r);
      if (flags & 0x40) p.clipDepth = r.u16();
      if (flags2 & 0x01) {
        std::vector<Filter> filters;
        if (!readFilterList(r, filters)) return damaged(code);
        p.filters = std::move(filters);
      }
      if (flags2 & 0x02) p.blendMode = blendModeFromByte(r.u8());
      if (flags2 & 0x04) {
        // Some authoring tools set the flag and leave the byte out; Flash then caches.
        p.cacheAsBitmap = r.atEnd() ? true : r.u8() != 0;
      }
      if (flags2 & 0x20) p.visible = r.u8() != 0;
      if (flags2 & 0x40) p.backgroundColor = r.rgba();
      if (flags & 0x80) {
        auto actions = r.rest();
        if (!ctx_.charge(actions.size(), "clip actions")) return false;
        p.clipActions.assign(actions.begin(), actions.end());
      }
    }
    if (!r.ok()) return damaged(code);
    if (!ctx_.charge(sizeof(PlaceObject), "placements")) return false;
    frame.tags.push_back(std::move(p));
    return true;
  }

  bool remove(uint16_t code, std::span<const uint8_t> body, Frame& frame) {
    SwfReader r(body);
    RemoveObject rm;
    if (code == tag::RemoveObject) rm.characterId = r.u16();
    rm.depth = r.u16();
    if (!r.ok()) return damaged(code);
    if (!ctx_.charge(sizeof(RemoveObject), "placements")) return false;
    frame.tags.push_back(rm);
    return true;
  }

  void sprite(std::span<const uint8_t> body) {
    SwfReader r(body);
    uint16_t id = r.u16();
    uint16_t frameCount = r.u16();
    if (!r.ok()) {
      damaged(tag::DefineSprite);
      return;
    }
    if (ctx_.spriteNesting >= ReadLimits::kMaxSpriteNesting) {
      ctx_.warn("sprite " + num(id) + " is nested deeper than " + num(ReadLimits::kMaxSpriteNesting) +
                " sprites: left out");
      return;
    }
    Sprite s;
    s.declaredFrameCount = frameCount;
    ++ctx_.spriteNesting;
    TimelineReader inner(ctx_, false);
    inner.read(r, s.timeline);
    --ctx_.spriteNesting;
    ctx_.define(id, std::move(s), tag::DefineSprite);
  }

  void sound(std::span<const uint8_t> body) {
    SwfReader r(body);
    uint16_t id = r.u16();
    Sound s;
    s.format = uint8_t(r.ub(4));
    s.rate = uint8_t(r.ub(2));
    s.sixteenBit = r.flag();
    s.stereo = r.flag();
    s.sampleCount = r.u32();
    auto data = r.rest();
    if (!r.ok()) {
      damaged(tag::DefineSound);
      return;
    }
    if (!ctx_.charge(data.size(), "sounds")) return;
    s.data.assign(data.begin(), data.end());
    ctx_.define(id, std::move(s), tag::DefineSound);
  }

  // Tags about the whole movie; anything else is skipped without a word.
  void movieTag(uint16_t code, std::span<const uint8_t> body) {
    Movie& m = ctx_.movie();
    SwfReader r(body);
    switch (code) {
      case tag::FileAttributes:
        if (body.size() >= 1) {
          uint32_t v = 0;
          for (size_t i = 0; i < body.size() && i < 4; ++i) v |= uint32_t(body[i]) << (8 * i);
          m.fileAttributes = v;
        }
        return;
      case tag::Metadata:
        m.metadata = ctx_.cstring(r);
        return;
      case tag::Protect:
        m.isProtected = true;
        return;
      case tag::ExportAssets: {
        uint16_t count = r.u16();
        for (uint32_t i = 0; i < count && r.ok(); ++i) {
          uint16_t id = r.u16();
          std::string name = ctx_.cstring(r);
          if (!r.ok()) break;
          if (!ctx_.charge(name.size() + 32, "exports")) return;
          m.exports[std::move(name)] = id;
        }
        if (!r.ok()) damaged(code);
        return;
      }
      case tag::ImportAssets:
      case tag::ImportAssets2: {
        std::string url = ctx_.cstring(r);
        if (code == tag::ImportAssets2) r.skip(2);  // reserved: 1 and 0
        uint16_t count = r.u16();
        for (uint32_t i = 0; i < count && r.ok(); ++i) {
          ImportedAsset a;
          a.url = url;
          a.characterId = r.u16();
          a.name = ctx_.cstring(r);
          if (!r.ok()) break;
          if (!ctx_.charge(a.url.size() + a.name.size() + sizeof a, "imports")) return;
          m.imports.push_back(std::move(a));
        }
        if (!r.ok()) damaged(code);
        return;
      }
      case tag::DefineScalingGrid: {
        uint16_t id = r.u16();
        Rect grid = r.rect();
        if (!r.ok()) {
          damaged(code);
          return;
        }
        if (!ctx_.charge(64, "scaling grids")) return;
        m.scalingGrids[id] = grid;
        return;
      }
      default:
        return;
    }
  }

  ReadContext& ctx_;
  bool isMain_;
  bool backgroundSeen_ = false;
};

}  // namespace

void ReadContext::warn(std::string text) {
  if (movie_.warnings.size() >= ReadLimits::kMaxWarnings) {
    ++warningsLeftOut_;
    if (warningsLeftOut_ == 1) movie_.warnings.push_back("further warnings left out");
    return;
  }
  movie_.warnings.push_back(std::move(text));
}

bool ReadContext::charge(size_t bytes, const char* what) {
  if (bytes <= budget_ - spent_) {
    spent_ += bytes;
    return true;
  }
  warn(std::string("the movie's decoded data passed ") + num(uint32_t(budget_ >> 20)) + " MiB: " + what +
       " left out");
  return false;
}

bool ReadContext::define(uint16_t id, Character character, uint16_t code) {
  if (movie_.characters.count(id)) {
    warn(std::string(tag::name(code)) + " redefines character " + num(id) + ": the first definition stays");
    return false;
  }
  if (!charge(sizeof(Character) + 64, "definitions")) return false;
  movie_.characters.emplace(id, std::make_shared<Character>(std::move(character)));
  return true;
}

namespace {
// Windows-1252's 0x80..0x9F; the five unassigned bytes keep their C1 code points, as Windows does.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}
}  // namespace

std::string ReadContext::text(std::span<const uint8_t> bytes) const {
  if (version() >= 6) return std::string(bytes.begin(), bytes.end());
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) appendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
  return out;
}

BlendMode blendModeFromByte(uint8_t b) {
  return b >= 2 && b <= 14 ? BlendMode(b) : BlendMode::Normal;
}

std::unique_ptr<Movie> readMovie(std::span<const uint8_t> bytes, std::string* error) {
  return readMovieWithBudget(bytes, error, ReadLimits::kMaxDecodedBytes);
}

std::unique_ptr<Movie> readMovieWithBudget(std::span<const uint8_t> bytes, std::string* error, size_t decodedBudget) {
  auto fail = [&](const char* why) -> std::unique_ptr<Movie> {
    if (error) *error = why;
    return nullptr;
  };
  if (bytes.size() < 8) return fail("not a SWF movie: too short");
  char sig = char(bytes[0]);
  if ((sig != 'F' && sig != 'C' && sig != 'Z') || bytes[1] != 'W' || bytes[2] != 'S')
    return fail("not a SWF movie: the signature is not FWS, CWS or ZWS");
  auto movie = std::make_unique<Movie>();
  MovieHeader& h = movie->header;
  h.signature = sig;
  h.version = bytes[3];
  h.fileLength = uint32_t(bytes[4]) | uint32_t(bytes[5]) << 8 | uint32_t(bytes[6]) << 16 | uint32_t(bytes[7]) << 24;
  ReadContext ctx(*movie, decodedBudget);

  std::vector<uint8_t> inflated;
  std::span<const uint8_t> body;
  if (sig == 'Z') return fail("LZMA-compressed movies (ZWS) are not supported");
  if (h.fileLength < 8) return fail("the header's file length is smaller than the header");
  size_t declared = h.fileLength - 8;
  if (sig == 'C') {
    if (h.fileLength > ReadLimits::kMaxMovieBytes)
      return fail("the movie declares more than 256 MiB uncompressed: refused");
    std::string problem;
    if (!inflateMovie(bytes.subspan(8), declared, inflated, problem)) {
      if (inflated.empty()) return fail(("the movie cannot be decompressed: " + problem).c_str());
      ctx.warn(problem + ": " + num(uint32_t(inflated.size())) + " of " + num(uint32_t(declared)) +
               " bytes read");
    }
    body = inflated;
  } else {
    body = bytes.subspan(8);
    if (body.size() > declared) body = body.first(declared);
    else if (body.size() < declared)
      ctx.warn("the movie is " + num(uint32_t(bytes.size())) + " bytes, shorter than the " +
               num(h.fileLength) + " its header declares");
  }

  SwfReader r(body);
  h.frameSize = r.rect();
  h.frameRate = r.ufixed8();
  h.frameCount = r.u16();
  if (!r.ok()) return fail("the movie header is cut off");
  TimelineReader main(ctx, true);
  main.read(r, movie->timeline);
  return movie;
}

const char* tag::name(uint16_t code) {
  switch (code) {
    case End: return "End";
    case ShowFrame: return "ShowFrame";
    case DefineShape: return "DefineShape";
    case PlaceObject: return "PlaceObject";
    case RemoveObject: return "RemoveObject";
    case DefineBits: return "DefineBits";
    case DefineButton: return "DefineButton";
    case JpegTables: return "JPEGTables";
    case SetBackgroundColor: return "SetBackgroundColor";
    case DefineFont: return "DefineFont";
    case DefineText: return "DefineText";
    case DoAction: return "DoAction";
    case DefineFontInfo: return "DefineFontInfo";
    case DefineSound: return "DefineSound";
    case StartSound: return "StartSound";
    case DefineButtonSound: return "DefineButtonSound";
    case SoundStreamHead: return "SoundStreamHead";
    case SoundStreamBlock: return "SoundStreamBlock";
    case DefineBitsLossless: return "DefineBitsLossless";
    case DefineBitsJpeg2: return "DefineBitsJPEG2";
    case DefineShape2: return "DefineShape2";
    case DefineButtonCxform: return "DefineButtonCxform";
    case Protect: return "Protect";
    case PlaceObject2: return "PlaceObject2";
    case RemoveObject2: return "RemoveObject2";
    case DefineShape3: return "DefineShape3";
    case DefineText2: return "DefineText2";
    case DefineButton2: return "DefineButton2";
    case DefineBitsJpeg3: return "DefineBitsJPEG3";
    case DefineBitsLossless2: return "DefineBitsLossless2";
    case DefineEditText: return "DefineEditText";
    case DefineSprite: return "DefineSprite";
    case FrameLabel: return "FrameLabel";
    case SoundStreamHead2: return "SoundStreamHead2";
    case DefineMorphShape: return "DefineMorphShape";
    case DefineFont2: return "DefineFont2";
    case ExportAssets: return "ExportAssets";
    case ImportAssets: return "ImportAssets";
    case EnableDebugger: return "EnableDebugger";
    case DoInitAction: return "DoInitAction";
    case DefineFontInfo2: return "DefineFontInfo2";
    case EnableDebugger2: return "EnableDebugger2";
    case ScriptLimits: return "ScriptLimits";
    case SetTabIndex: return "SetTabIndex";
    case FileAttributes: return "FileAttributes";
    case PlaceObject3: return "PlaceObject3";
    case ImportAssets2: return "ImportAssets2";
    case DefineFontAlignZones: return "DefineFontAlignZones";
    case CsmTextSettings: return "CSMTextSettings";
    case DefineFont3: return "DefineFont3";
    case Metadata: return "Metadata";
    case DefineScalingGrid: return "DefineScalingGrid";
    case DefineShape4: return "DefineShape4";
    case DefineMorphShape2: return "DefineMorphShape2";
    case StartSound2: return "StartSound2";
    case DefineBitsJpeg4: return "DefineBitsJPEG4";
    case DefineFontName: return "DefineFontName";
    default: return "tag";
  }
}

}  // namespace vorlo::player
