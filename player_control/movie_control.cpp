#include "player_control/movie_control.h"

#include <algorithm>
#include <cstdlib>

#include "player/swf/local_files.h"
#include "util/file.h"
#include "util/text.h"

namespace vorlo::control {
namespace {

constexpr QualityName kQualities[] = {
    {0, "Low", player::Quality::Low},           {1, "High", player::Quality::High},
    {2, "AutoLow", player::Quality::Low},       {3, "AutoHigh", player::Quality::High},
    {4, "Medium", player::Quality::Medium},     {5, "Best", player::Quality::High},
};

// A movie bigger than this is not something the control plays; refusing it keeps memory bounded.
constexpr uint64_t kMaxMovieBytes = 256u << 20;

bool isAbsolute(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return true;
  return !path.empty() && (path[0] == '\\' || path[0] == '/');
}

bool hasScheme(const std::string& url, std::string_view scheme) {
  return url.size() > scheme.size() && equalsIgnoreCase(std::string_view(url).substr(0, scheme.size()), scheme);
}

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

long versionFromEnvironment() {
  const char* text = std::getenv("VORLO_FLASH_VERSION");
  if (!text || !*text) return 0x00080000;
  char* end = nullptr;
  long value = std::strtol(text, &end, 0);
  return end && *end == 0 ? value : 0x00080000;
}

bool readMovieFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  File file;
  if (!file.open(path, File::Mode::Read)) {
    error = "cannot open " + path;
    return false;
  }
  uint64_t size = file.size();
  if (size > kMaxMovieBytes) {
    error = path + " is larger than 256 MB";
    return false;
  }
  bytes.resize(size_t(size));
  if (!file.readExact(bytes.data(), bytes.size())) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

}  // namespace

const QualityName* qualityByNumber(int number) {
  for (const QualityName& q : kQualities)
    if (q.number == number) return &q;
  return nullptr;
}

const QualityName* qualityByName(const std::string& name) {
  for (const QualityName& q : kQualities)
    if (equalsIgnoreCase(name, q.name)) return &q;
  return nullptr;
}

MovieControl::MovieControl() : flashVersion_(versionFromEnvironment()) {
  player_.setFsCommandHandler([this](const std::string& command, const std::string& args) {
    events_.push_back({PendingEvent::FsCommand, command, args});
  });
}

std::string MovieControl::resolve(const std::string& url) const {
  std::string path = url;
  size_t query = path.find('?');
  if (query != std::string::npos) path.resize(query);
  if (hasScheme(path, "file:///")) path.erase(0, 8);
  else if (hasScheme(path, "file://")) path.erase(0, 7);
  else if (hasScheme(path, "file:")) path.erase(0, 5);
  if (isAbsolute(path) || base.empty()) return path;
  std::string folder = base;
  if (hasScheme(folder, "file:///")) folder.erase(0, 8);
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + path;
}

void MovieControl::setMovie(const std::string& url) {
  movieUrl_ = url;
  shown_ = player::Rect{};
  loadError_.clear();
  events_.clear();
  std::vector<uint8_t> bytes;
  std::string path = resolve(url);
  if (url.find("://") != std::string::npos && !hasScheme(url, "file:")) {
    loadError_ = "movies from the network are not played: " + url;
  } else if (readMovieFile(path, bytes, loadError_)) {
    player_.setMovieSource(player::localFiles(folderOf(path)));
    if (!player_.load(bytes, &loadError_) && loadError_.empty()) loadError_ = "not a movie";
  }
  if (loadError_.empty() && !startPlaying_) player_.root().stop();
  // A movie that cannot be played leaves an empty stage, not the last one.
  if (!loadError_.empty()) {
    std::string ignored;
    player_.load({}, &ignored);
  }
}

void MovieControl::tick() {
  if (!player_.loaded() || !playing()) return;
  if (!loop && currentFrame() + 1 >= totalFrames()) {
    player_.root().stop();
    return;
  }
  player_.advance();
}

player::ScaleMode MovieControl::scaleModeOf() const { return player::ScaleMode(std::clamp(scaleMode, 0, 3)); }

void MovieControl::render(player::Surface& target) {
  const QualityName* q = qualityByNumber(quality);
  player::Quality level = q ? q->quality : player::Quality::High;
  viewWidth_ = target.width, viewHeight_ = target.height;
  if (player_.loaded()) {
    player_.setView(shown_, uint8_t(alignMode & 0xF));
    player_.render(target, scaleModeOf(), level);
    return;
  }
  // No movie: the host's background colour, else white.
  uint32_t rgb = backgroundColor >= 0 ? uint32_t(backgroundColor) & 0xFFFFFF : 0xFFFFFF;
  target.clear(0xFF000000u | rgb);
}

void MovieControl::zoom(double percent) {
  if (!player_.loaded()) return;
  // From the control's own view: the player has it only from the last drawing.
  const player::Rect frame = player_.frameRect();
  shown_ = percent > 0 ? player::zoomedView(shown_.empty() ? frame : shown_, frame, percent) : player::Rect{};
}

void MovieControl::pan(double x, double y, int mode) {
  if (!player_.loaded() || shown_.empty()) return;  // only a zoomed view moves
  double dx = 0, dy = 0;
  if (mode == 1) {
    dx = x / 100 * (shown_.xMax - shown_.xMin), dy = y / 100 * (shown_.yMax - shown_.yMin);
  } else {
    player::Matrix m = player::viewMatrix(shown_, std::max(viewWidth_, 1), std::max(viewHeight_, 1), scaleModeOf(),
                                          uint8_t(alignMode & 0xF));
    if (!(m.a > 0) || !(m.d > 0)) return;
    dx = x / m.a, dy = y / m.d;
  }
  shown_ = player::pannedView(shown_, player_.frameRect(), dx, dy);
}

void MovieControl::setZoomRect(double left, double top, double right, double bottom) {
  if (!player_.loaded()) return;
  shown_ = right > left && bottom > top ? player::Rect{left, top, right, bottom} : player::Rect{};
}

bool MovieControl::playing() const { return player_.loaded() && const_cast<player::Player&>(player_).root().playing(); }

void MovieControl::setPlaying(bool on) {
  startPlaying_ = on;
  if (!player_.loaded()) return;
  if (on) player_.root().play();
  else player_.root().stop();
}

int MovieControl::totalFrames() const {
  return player_.loaded() ? const_cast<player::Player&>(player_).root().frameCount() : 0;
}

int MovieControl::currentFrame() const {
  return player_.loaded() ? std::max(0, const_cast<player::Player&>(player_).root().currentFrame() - 1) : 0;
}

void MovieControl::gotoFrame(int zeroBased) {
  if (!player_.loaded()) return;
  player_.root().gotoFrame(std::clamp(zeroBased, 0, std::max(0, totalFrames() - 1)) + 1);
}

void MovieControl::back() {
  if (!player_.loaded()) return;
  gotoFrame(currentFrame() - 1);
  player_.root().stop();
}

void MovieControl::forward() {
  if (!player_.loaded()) return;
  gotoFrame(currentFrame() + 1);
  player_.root().stop();
}

void MovieControl::rewind() {
  if (!player_.loaded()) return;
  gotoFrame(0);
  player_.root().stop();
}

}  // namespace vorlo::control
