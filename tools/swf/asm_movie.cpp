// The movie: its header line, the timeline statements (place, remove, label, show, actions, raw
// tags) of the movie and of sprites, and the small tags about the whole movie.
#include <zlib.h>

#include <cmath>

#include "player/swf/tag_codes.h"
#include "tools/swf/assembler_internal.h"
#include "tools/swf/shape_build.h"

namespace vorlo::swfasm {

using namespace player;

namespace {

void assemblePlace(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t depth = uint16_t(parseInt(a.positional("the depth"), 0, 65535));
  std::optional<uint16_t> id;
  if (auto w = a.option("id")) id = parseId(*w);
  bool move = a.flag("move");
  int version = 0;
  if (auto v = a.option("version")) version = int(parseInt(*v, 1, 3));
  std::optional<Matrix> matrix;
  if (hasMatrix(a)) matrix = parseMatrix(a);
  auto cx = parseColorTransform(a);
  std::optional<uint16_t> ratio, clipDepth;
  if (auto w = a.option("ratio")) ratio = uint16_t(parseInt(*w, 0, 65535));
  if (auto w = a.option("clip")) clipDepth = uint16_t(parseInt(*w, 0, 65535));
  std::optional<std::string> name, className;
  if (auto w = a.option("name")) name = w->text;
  if (auto w = a.option("class")) className = w->text;
  std::optional<BlendMode> blend;
  if (auto w = a.option("blend")) blend = parseBlendMode(*w);
  std::optional<bool> cache, visible;
  if (a.flag("cache")) cache = true;
  if (auto w = a.option("cache")) cache = parseBool(*w);
  if (auto w = a.option("visible")) visible = parseBool(*w);
  std::optional<Rgba> background;
  if (auto w = a.option("background")) background = parseColor(*w);
  std::optional<std::vector<uint8_t>> clipActions;
  if (auto w = a.option("clipactions")) clipActions = parseHex({*w});
  a.finish();
  std::vector<Filter> filters;
  bool hasFilters = false;
  for (const Statement& f : s.block) {
    if (f.keyword() != "filter") throw AsmError(f.line, "a placement's block holds filter statements");
    filters.push_back(parseFilter(f));
    hasFilters = true;
  }
  bool needs3 = hasFilters || blend || cache || visible || background || className;
  if (version == 0) version = needs3 ? 3 : 2;
  if (version < 3 && needs3) a.fail("filters, blend, cache, visible, background and class need version=3");
  SwfWriter w;
  if (version == 1) {
    if (!id) a.fail("PlaceObject (version=1) needs id=");
    if (move || ratio || clipDepth || name || clipActions) a.fail("version=1 places a character with a matrix and colours only");
    w.u16(*id);
    w.u16(depth);
    w.matrix(matrix.value_or(Matrix{}));
    if (cx) w.colorTransform(*cx, false);
    out.add(tag::PlaceObject, w.bytes);
    return;
  }
  uint8_t flags = uint8_t((clipActions ? 0x80 : 0) | (clipDepth ? 0x40 : 0) | (name ? 0x20 : 0) | (ratio ? 0x10 : 0) |
                          (cx ? 0x08 : 0) | (matrix ? 0x04 : 0) | (id ? 0x02 : 0) | (move ? 0x01 : 0));
  w.u8(flags);
  if (version == 3) {
    uint8_t flags2 = uint8_t((background ? 0x40 : 0) | (visible ? 0x20 : 0) | (className ? 0x08 : 0) |
                             (cache ? 0x04 : 0) | (blend ? 0x02 : 0) | (hasFilters ? 0x01 : 0));
    w.u8(flags2);
  }
  w.u16(depth);
  if (className) w.cstring(*className);
  if (id) w.u16(*id);
  if (matrix) w.matrix(*matrix);
  if (cx) w.colorTransform(*cx, true);
  if (ratio) w.u16(*ratio);
  if (name) w.cstring(*name);
  if (clipDepth) w.u16(*clipDepth);
  if (hasFilters) {
    w.u8(uint32_t(filters.size()));
    for (auto& f : filters) writeFilter(w, f);
  }
  if (blend) w.u8(uint8_t(*blend));
  if (cache) w.u8(*cache ? 1 : 0);
  if (visible) w.u8(*visible ? 1 : 0);
  if (background) w.rgba(*background);
  if (clipActions) w.data(*clipActions);
  out.add(version == 2 ? tag::PlaceObject2 : tag::PlaceObject3, w.bytes);
  (void)ctx;
}

void assembleTimeline(AsmContext& ctx, const std::vector<Statement>& block, TagList& out, bool isSprite);

void assembleSprite(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  std::optional<uint16_t> frames;
  if (auto w = a.option("frames")) frames = uint16_t(parseInt(*w, 0, 65535));
  a.finish();
  TagList inner;
  assembleTimeline(ctx, s.block, inner, true);
  SwfWriter w;
  w.u16(id);
  w.u16(frames.value_or(uint16_t(inner.frames)));
  w.data(inner.bytes);
  out.add(tag::DefineSprite, w.bytes, true);
}

// Statements that may appear in the movie and in sprites.
bool assembleControl(AsmContext& ctx, const Statement& s, TagList& out) {
  const std::string& k = s.keyword();
  if (k == "place") {
    assemblePlace(ctx, s, out);
  } else if (k == "remove") {
    Args a(s);
    uint16_t depth = uint16_t(parseInt(a.positional("the depth"), 0, 65535));
    auto id = a.option("id");
    a.finish();
    SwfWriter w;
    if (id) w.u16(parseId(*id));
    w.u16(depth);
    out.add(id ? tag::RemoveObject : tag::RemoveObject2, w.bytes);
  } else if (k == "label") {
    Args a(s);
    const Word& name = a.positional("the label");
    bool anchor = a.flag("anchor");
    a.finish();
    SwfWriter w;
    w.cstring(name.text);
    if (anchor) w.u8(1);
    out.add(tag::FrameLabel, w.bytes);
  } else if (k == "show") {
    Args a(s);
    int count = 1;
    if (auto n = a.optionalPositional()) count = int(parseInt(*n, 1, 65535));
    a.finish();
    for (int i = 0; i < count; ++i) out.add(tag::ShowFrame, {});
    out.frames += count;
  } else if (k == "actions") {
    Args(s).finish();
    out.add(tag::DoAction, assembleActions(ctx, s.block));
  } else if (k == "initactions") {
    Args a(s);
    uint16_t id = parseId(a.positional("the sprite id"));
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.data(assembleActions(ctx, s.block));
    out.add(tag::DoInitAction, w.bytes);
  } else if (k == "startsound") {
    // StartSound: the sound's id and its SOUNDINFO.
    Args a(s);
    uint16_t id = parseId(a.positional("the sound id"));
    bool stop = a.flag("stop"), noMultiple = a.flag("nomultiple");
    auto in = a.option("in"), outPoint = a.option("out"), loops = a.option("loops");
    auto envelope = a.option("envelope");
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.ub(2, 0);
    w.flag(stop);
    w.flag(noMultiple);
    w.flag(envelope.has_value());
    w.flag(loops.has_value());
    w.flag(outPoint.has_value());
    w.flag(in.has_value());
    if (in) w.u32(uint32_t(parseInt(*in, 0, 0xFFFFFFFFll)));
    if (outPoint) w.u32(uint32_t(parseInt(*outPoint, 0, 0xFFFFFFFFll)));
    if (loops) w.u16(uint16_t(parseInt(*loops, 0, 65535)));
    if (envelope) {
      // position:left:right,... (levels 0..32768)
      std::vector<Word> points = splitList(*envelope);
      w.u8(uint8_t(points.size()));
      for (const Word& p : points) {
        std::vector<Word> parts = splitList(p, ':');
        if (parts.size() != 3) a.fail("an envelope point is position:left:right");
        w.u32(uint32_t(parseInt(parts[0], 0, 0xFFFFFFFFll)));
        w.u16(uint16_t(parseInt(parts[1], 0, 32768)));
        w.u16(uint16_t(parseInt(parts[2], 0, 32768)));
      }
    }
    out.add(tag::StartSound, w.bytes);
  } else if (k == "streamhead") {
    // SoundStreamHead2: the stream's format; the playback format is the same.
    Args a(s);
    unsigned format = unsigned(parseInt(a.option("format").value_or(Word{"3"}), 0, 15));
    unsigned rate = unsigned(parseInt(a.option("rate").value_or(Word{"3"}), 0, 3));
    bool sixteen = a.flag("16bit"), stereo = a.flag("stereo");
    unsigned samples = unsigned(parseInt(a.option("samples").value_or(Word{"0"}), 0, 65535));
    int latency = int(parseInt(a.option("latency").value_or(Word{"0"}), -32768, 32767));
    a.finish();
    SwfWriter w;
    for (int i = 0; i < 2; ++i) {
      if (i == 0) w.ub(4, 0);  // reserved
      else w.ub(4, format);
      w.ub(2, rate);
      w.flag(sixteen);
      w.flag(stereo);
    }
    w.u16(samples);
    if (format == 2) w.u16(uint16_t(int16_t(latency)));
    out.add(tag::SoundStreamHead2, w.bytes);
  } else if (k == "streamblock") {
    Args a(s);
    std::vector<Word> hex;
    while (auto w = a.optionalPositional()) hex.push_back(*w);
    a.finish();
    out.add(tag::SoundStreamBlock, parseHex(hex));
  } else if (k == "background") {
    Args a(s);
    Rgba c = parseColor(a.positional("the colour"));
    a.finish();
    SwfWriter w;
    w.rgb(c);
    out.add(tag::SetBackgroundColor, w.bytes);
  } else if (k == "raw") {
    Args a(s);
    uint16_t code = uint16_t(parseInt(a.positional("the tag code"), 0, 1023));
    bool forceLong = a.flag("long");
    std::vector<Word> hex;
    while (auto w = a.optionalPositional()) hex.push_back(*w);
    a.finish();
    out.add(code, parseHex(hex), forceLong);
    if (code == tag::ShowFrame) ++out.frames;
  } else if (k == "end") {
    Args(s).finish();
    out.add(tag::End, {});
  } else {
    return false;
  }
  return true;
}

bool assembleDefinition(AsmContext& ctx, const Statement& s, TagList& out) {
  const std::string& k = s.keyword();
  if (k == "shape") assembleShape(ctx, s, out);
  else if (k == "morph") assembleMorph(ctx, s, out);
  else if (k == "sprite") assembleSprite(ctx, s, out);
  else if (k == "bitmap") assembleBitmap(ctx, s, out);
  else if (k == "jpeg") assembleJpeg(ctx, s, out);
  else if (k == "font") assembleFont(ctx, s, out);
  else if (k == "alignzones") assembleAlignZones(ctx, s, out);
  else if (k == "text") assembleText(ctx, s, out);
  else if (k == "edittext") assembleEditText(ctx, s, out);
  else if (k == "button") assembleButton(ctx, s, out);
  else if (k == "sound") {
    Args a(s);
    uint16_t id = parseId(a.positional("the character id"));
    unsigned format = unsigned(parseInt(a.option("format").value_or(Word{"0"}), 0, 15));
    unsigned rate = unsigned(parseInt(a.option("rate").value_or(Word{"3"}), 0, 3));
    bool sixteen = a.flag("16bit"), stereo = a.flag("stereo");
    uint32_t samples = uint32_t(parseInt(a.option("samples").value_or(Word{"0"}), 0, 0xFFFFFFFFll));
    std::vector<uint8_t> data;
    if (auto d = a.option("data")) data = parseHex({*d});
    if (auto t = a.option("tone")) {
      // A sine of this many hertz as 16-bit little-endian samples (format 3) at the rate's speed.
      double hertz = double(parseInt(*t, 1, 20000));
      static constexpr double kRates[] = {5512.5, 11025, 22050, 44100};
      int channels = stereo ? 2 : 1;
      data.clear();
      for (uint32_t i = 0; i < samples; ++i) {
        auto v = int16_t(std::lround(12000 * std::sin(2 * 3.14159265358979 * hertz * i / kRates[rate])));
        for (int c = 0; c < channels; ++c) {
          data.push_back(uint8_t(v));
          data.push_back(uint8_t(uint16_t(v) >> 8));
        }
      }
      format = 3;
      sixteen = true;
    }
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.ub(4, format);
    w.ub(2, rate);
    w.flag(sixteen);
    w.flag(stereo);
    w.u32(samples);
    w.data(data);
    out.add(tag::DefineSound, w.bytes);
  } else if (k == "buttoncxform") {
    Args a(s);
    uint16_t id = parseId(a.positional("the button id"));
    auto cx = parseColorTransform(a);
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.colorTransform(cx.value_or(ColorTransform{}), false);
    out.add(tag::DefineButtonCxform, w.bytes);
  } else if (k == "buttonsound") {
    Args a(s);
    uint16_t id = parseId(a.positional("the button id"));
    std::vector<Word> hex;
    while (auto w = a.optionalPositional()) hex.push_back(*w);
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.data(parseHex(hex));
    out.add(tag::DefineButtonSound, w.bytes);
  } else if (k == "scalinggrid") {
    Args a(s);
    uint16_t id = parseId(a.positional("the character id"));
    if (!a.has("rect")) a.fail("a scaling grid needs rect=xmin,ymin,xmax,ymax");
    Rect r = parseBoundsOption(a, "rect", Rect{});
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.rect(r);
    out.add(tag::DefineScalingGrid, w.bytes);
  } else if (k == "fontname") {
    Args a(s);
    uint16_t id = parseId(a.positional("the font id"));
    std::string name = a.positional("the name").text;
    std::string copyright = a.optionalPositional().value_or(Word{}).text;
    a.finish();
    SwfWriter w;
    w.u16(id);
    w.cstring(name);
    w.cstring(copyright);
    out.add(tag::DefineFontName, w.bytes);
  } else if (k == "jpegtables") {
    Args a(s);
    std::vector<Word> hex;
    while (auto w = a.optionalPositional()) hex.push_back(*w);
    a.finish();
    out.add(tag::JpegTables, parseHex(hex));
    ctx.jpegTablesWritten = true;
  } else if (k == "tabindex") {
    Args a(s);
    uint16_t depth = uint16_t(parseInt(a.positional("the depth"), 0, 65535));
    uint16_t index = uint16_t(parseInt(a.positional("the index"), 0, 65535));
    a.finish();
    SwfWriter w;
    w.u16(depth);
    w.u16(index);
    out.add(tag::SetTabIndex, w.bytes);
  } else {
    return false;
  }
  return true;
}

void assembleTimeline(AsmContext& ctx, const std::vector<Statement>& block, TagList& out, bool isSprite) {
  for (const Statement& s : block) {
    if (assembleControl(ctx, s, out)) continue;
    if (assembleDefinition(ctx, s, out)) continue;
    throw AsmError(s.line, "unknown statement '" + s.keyword() + "'" + (isSprite ? " in a sprite" : ""));
  }
  out.add(tag::End, {});
}

// Statements of the movie only.
bool assembleMovieTag(AsmContext& ctx, const Statement& s, TagList& out) {
  const std::string& k = s.keyword();
  SwfWriter w;
  if (k == "fileattributes") {
    Args a(s);
    uint32_t v = 0;
    if (a.flag("directblit")) v |= 0x40;
    if (a.flag("gpu")) v |= 0x20;
    if (a.flag("metadata")) v |= 0x10;
    if (a.flag("as3")) v |= 0x08;
    if (a.flag("network")) v |= 0x01;
    if (auto n = a.optionalPositional()) v |= uint32_t(parseInt(*n, 0, 0xFFFFFFFFll));
    a.finish();
    w.u32(v);
    out.add(tag::FileAttributes, w.bytes);
  } else if (k == "metadata") {
    Args a(s);
    w.cstring(a.positional("the metadata text").text);
    a.finish();
    out.add(tag::Metadata, w.bytes);
  } else if (k == "protect") {
    Args a(s);
    if (auto p = a.optionalPositional()) w.cstring(p->text);
    a.finish();
    out.add(tag::Protect, w.bytes);
  } else if (k == "scriptlimits") {
    Args a(s);
    w.u16(uint16_t(parseInt(a.option("recursion").value_or(Word{"256"}), 0, 65535)));
    w.u16(uint16_t(parseInt(a.option("timeout").value_or(Word{"15"}), 0, 65535)));
    a.finish();
    out.add(tag::ScriptLimits, w.bytes);
  } else if (k == "export") {
    Args a(s);
    std::vector<std::pair<uint16_t, std::string>> pairs;
    while (auto id = a.optionalPositional()) pairs.push_back({parseId(*id), a.positional("the export name").text});
    a.finish();
    w.u16(uint32_t(pairs.size()));
    for (auto& [id, name] : pairs) {
      w.u16(id);
      w.cstring(name);
    }
    out.add(tag::ExportAssets, w.bytes);
  } else if (k == "import") {
    Args a(s);
    std::string url = a.positional("the url").text;
    int version = 1;
    if (auto v = a.option("version")) version = int(parseInt(*v, 1, 2));
    std::vector<std::pair<uint16_t, std::string>> pairs;
    while (auto id = a.optionalPositional()) pairs.push_back({parseId(*id), a.positional("the import name").text});
    a.finish();
    w.cstring(url);
    if (version == 2) {
      w.u8(1);
      w.u8(0);
    }
    w.u16(uint32_t(pairs.size()));
    for (auto& [id, name] : pairs) {
      w.u16(id);
      w.cstring(name);
    }
    out.add(version == 1 ? tag::ImportAssets : tag::ImportAssets2, w.bytes);
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool assembleSwf(std::string_view text, std::vector<uint8_t>& out, std::string& error, const AssembleOptions& options) {
  try {
    std::vector<Statement> statements = parseTextForm(text);
    if (statements.empty() || statements[0].keyword() != "movie")
      throw AsmError(statements.empty() ? 1 : statements[0].line, "the text must start with a 'movie' line");
    AsmContext ctx;
    ctx.options = options;
    Args h(statements[0]);
    ctx.version = int(parseInt(h.option("version").value_or(Word{"8"}), 1, 255));
    Rect frame{0, 0, 550 * 20, 400 * 20};
    if (auto size = h.option("size")) {
      auto dims = splitList(*size, 'x');
      if (dims.size() != 2) h.fail("size= takes WIDTHxHEIGHT in pixels");
      frame.xMax = parseNumber(dims[0]) * 20;
      frame.yMax = parseNumber(dims[1]) * 20;
    }
    if (auto r = h.option("frame")) {
      auto p = splitList(*r);
      if (p.size() != 4) h.fail("frame= takes xmin,ymin,xmax,ymax");
      frame = {parseTwips(p[0]), parseTwips(p[1]), parseTwips(p[2]), parseTwips(p[3])};
    }
    double rate = parseNumber(h.option("rate").value_or(Word{"24"}));
    std::string compression = h.option("compression").value_or(Word{"none"}).text;
    if (compression != "none" && compression != "zlib") h.fail("compression= is none or zlib");
    std::optional<uint16_t> frameCount;
    if (auto f = h.option("frames")) frameCount = uint16_t(parseInt(*f, 0, 65535));
    bool noEnd = h.flag("noend");
    h.finish();
    if (statements[0].hasBlock) throw AsmError(statements[0].line, "the movie line takes no block");

    TagList tags;
    for (size_t i = 1; i < statements.size(); ++i) {
      const Statement& s = statements[i];
      if (s.keyword() == "movie") throw AsmError(s.line, "only one 'movie' line");
      if (assembleMovieTag(ctx, s, tags) || assembleControl(ctx, s, tags) || assembleDefinition(ctx, s, tags)) continue;
      throw AsmError(s.line, "unknown statement '" + s.keyword() + "'");
    }
    if (!noEnd) tags.add(tag::End, {});

    SwfWriter body;
    body.rect(frame);
    body.u16(uint16_t(std::lround(rate * 256)));
    body.u16(frameCount.value_or(uint16_t(tags.frames)));
    body.data(tags.bytes);
    uint32_t length = uint32_t(body.bytes.size() + 8);
    out = {uint8_t(compression == "zlib" ? 'C' : 'F'), 'W', 'S', uint8_t(ctx.version),
           uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
    if (compression == "zlib") {
      uLongf size = compressBound(uLong(body.bytes.size()));
      std::vector<uint8_t> packed(size);
      if (compress2(packed.data(), &size, body.bytes.data(), uLong(body.bytes.size()), 9) != Z_OK)
        throw AsmError(statements[0].line, "zlib could not compress the movie");
      packed.resize(size);
      out.insert(out.end(), packed.begin(), packed.end());
    } else {
      out.insert(out.end(), body.bytes.begin(), body.bytes.end());
    }
    return true;
  } catch (const AsmError& e) {
    error = e.what();
    return false;
  }
}

}  // namespace vorlo::swfasm
