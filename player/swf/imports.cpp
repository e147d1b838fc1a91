#include "player/swf/imports.h"

#include <deque>
#include <map>
#include <set>

namespace vorlo::player {
namespace {

// Libraries importing libraries: deeper chains (and cycles) stop here.
constexpr int kMaxImportDepth = 4;
// Movies one movie may import from.
constexpr size_t kMaxLibraries = 16;
constexpr uint16_t kStartSound = 15;

// Every character id a definition refers to, as a reference that can be rewritten.
template <typename Visit>
void forEachReference(Character& c, Visit&& visit) {
  auto fill = [&](FillStyle& f) {
    if (f.isBitmap()) visit(f.bitmapId);
  };
  auto soundIn = [&](RawTag& tag, size_t at) {
    if (at + 2 > tag.body.size()) return;
    uint16_t id = uint16_t(tag.body[at] | tag.body[at + 1] << 8);
    if (id == 0) return;
    visit(id);
    tag.body[at] = uint8_t(id);
    tag.body[at + 1] = uint8_t(id >> 8);
  };
  if (auto* shape = std::get_if<Shape>(&c)) {
    for (StyleGroup& g : shape->groups) {
      for (FillStyle& f : g.fills) fill(f);
      for (LineStyle& l : g.lines)
        if (l.hasFill) fill(l.fill);
    }
  } else if (auto* morph = std::get_if<MorphShape>(&c)) {
    for (FillStyle& f : morph->startFills) fill(f);
    for (FillStyle& f : morph->endFills) fill(f);
    for (LineStyle& l : morph->startLines)
      if (l.hasFill) fill(l.fill);
    for (LineStyle& l : morph->endLines)
      if (l.hasFill) fill(l.fill);
  } else if (auto* sprite = std::get_if<Sprite>(&c)) {
    for (Frame& frame : sprite->timeline.frames) {
      for (ControlTag& tag : frame.tags) {
        if (auto* place = std::get_if<PlaceObject>(&tag)) {
          if (place->characterId) visit(*place->characterId);
        } else if (auto* remove = std::get_if<RemoveObject>(&tag)) {
          if (remove->characterId) visit(*remove->characterId);
        } else if (auto* raw = std::get_if<RawTag>(&tag)) {
          if (raw->code == kStartSound) soundIn(*raw, 0);
        }
      }
    }
  } else if (auto* button = std::get_if<Button>(&c)) {
    for (ButtonRecord& r : button->records) visit(r.characterId);
    // DefineButtonSound: the button's id, then four states of a sound id with its sound info.
    if (button->sounds) {
      RawTag& tag = *button->sounds;
      size_t at = 2;
      for (int state = 0; state < 4 && at + 2 <= tag.body.size(); ++state) {
        bool hasSound = (tag.body[at] | tag.body[at + 1]) != 0;
        soundIn(tag, at);
        at += 2;
        if (!hasSound) continue;
        if (at >= tag.body.size()) break;
        // SOUNDINFO: flags, then in-point, out-point, loops and the envelope as the flags say.
        uint8_t flags = tag.body[at++];
        if (flags & 0x01) at += 4;
        if (flags & 0x02) at += 4;
        if (flags & 0x04) at += 2;
        if (flags & 0x08) {
          if (at >= tag.body.size()) break;
          at += 1 + size_t(tag.body[at]) * 8;
        }
      }
    }
  } else if (auto* text = std::get_if<StaticText>(&c)) {
    for (TextRecord& r : text->records) visit(r.fontId);
  } else if (auto* field = std::get_if<EditText>(&c)) {
    if (field->fontId) visit(*field->fontId);
  }
}

class Importer {
 public:
  // `reserved`: the ids the movie's imports name, which fresh ids for what they draw with avoid.
  Importer(Movie& into, const Movie& from, std::string url, const std::set<uint16_t>& reserved)
      : into_(into), from_(from), url_(std::move(url)), reserved_(reserved) {
    for (const auto& [id, c] : into_.characters) used_.insert(id);
  }

  // Copies each export (name, id) as character `id` of the importing movie. Exports are given
  // their ids first, so a character imported by name and also used by another import is one copy.
  void import(const std::vector<const ImportedAsset*>& assets) {
    std::vector<std::pair<uint16_t, uint16_t>> aliases;  // an export imported a second time: id, library id
    for (const ImportedAsset* a : assets) {
      auto exported = from_.exports.find(a->name);
      if (exported == from_.exports.end() || !from_.characters.count(exported->second)) {
        into_.warnings.push_back("ImportAssets: " + url_ + " exports no \"" + a->name + "\"");
      } else if (used_.count(a->characterId)) {
        into_.warnings.push_back("ImportAssets: character " + std::to_string(a->characterId) + " is already defined");
      } else if (ids_.count(exported->second)) {
        used_.insert(a->characterId);
        aliases.push_back({a->characterId, exported->second});
      } else {
        assign(exported->second, a->characterId);
      }
    }
    copyPending();
    for (auto [id, source] : aliases) into_.characters[id] = into_.characters[ids_.at(source)];
  }

 private:
  void assign(uint16_t source, uint16_t id) {
    ids_[source] = id;
    used_.insert(id);
    pending_.push_back(source);
  }

  // The id a referenced character of the library gets here: its first copy is made on demand.
  std::optional<uint16_t> mapped(uint16_t source) {
    auto it = ids_.find(source);
    if (it != ids_.end()) return it->second;
    if (!from_.characters.count(source)) return std::nullopt;
    while (next_ != 0 && (used_.count(next_) || reserved_.count(next_))) ++next_;
    if (next_ == 0) return std::nullopt;  // all 65535 ids taken
    assign(source, next_);
    return next_;
  }

  void copyPending() {
    while (!pending_.empty()) {
      uint16_t source = pending_.front();
      pending_.pop_front();
      auto copy = std::make_shared<Character>(*from_.characters.at(source));
      bool complete = true;
      forEachReference(*copy, [&](uint16_t& ref) {
        if (auto id = mapped(ref)) ref = *id;
        else if (from_.characters.count(ref)) complete = false;
        else ref = 0xFFFF;  // undefined in the library too: stays undefined here
      });
      if (!complete) into_.warnings.push_back("ImportAssets: no character ids left for " + url_);
      uint16_t id = ids_.at(source);
      into_.characters[id] = std::move(copy);
      auto grid = from_.scalingGrids.find(source);
      if (grid != from_.scalingGrids.end()) into_.scalingGrids[id] = grid->second;
    }
  }

  Movie& into_;
  const Movie& from_;
  std::string url_;
  const std::set<uint16_t>& reserved_;
  std::set<uint16_t> used_;
  std::map<uint16_t, uint16_t> ids_;  // library id -> id here
  std::deque<uint16_t> pending_;
  uint16_t next_ = 1;
};

void resolve(Movie& movie, const MovieSource& source, int depth, std::set<std::string>& chain) {
  std::map<std::string, std::vector<const ImportedAsset*>> byUrl;
  std::vector<std::string> order;
  std::set<uint16_t> reserved;
  for (const ImportedAsset& a : movie.imports) {
    reserved.insert(a.characterId);
    if (!byUrl.count(a.url)) order.push_back(a.url);
    byUrl[a.url].push_back(&a);
  }
  if (order.size() > kMaxLibraries) {
    movie.warnings.push_back("ImportAssets: more than " + std::to_string(kMaxLibraries) +
                             " movies imported from; the rest are not");
    order.resize(kMaxLibraries);
  }
  for (const std::string& url : order) {
    if (chain.count(url) || depth >= kMaxImportDepth) {
      movie.warnings.push_back("ImportAssets: " + url + " imports itself or nests too deep");
      continue;
    }
    std::string error;
    auto bytes = source ? source(url, &error) : std::nullopt;
    if (!bytes) {
      movie.warnings.push_back("ImportAssets: " + url + ": " + (source ? error : "no movies can be loaded here"));
      continue;
    }
    auto library = readMovie(*bytes, &error);
    if (!library) {
      movie.warnings.push_back("ImportAssets: " + url + ": " + error);
      continue;
    }
    chain.insert(url);
    resolve(*library, source, depth + 1, chain);
    chain.erase(url);
    for (const std::string& w : library->warnings) movie.warnings.push_back(url + ": " + w);
    Importer(movie, *library, url, reserved).import(byUrl[url]);
  }
}

}  // namespace

void resolveImports(Movie& movie, const MovieSource& source) {
  if (movie.imports.empty()) return;
  std::set<std::string> chain;
  resolve(movie, source, 0, chain);
}

}  // namespace vorlo::player
