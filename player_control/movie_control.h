// What the player control does apart from COM and windows: the movie it plays, its settings (the
// properties hosts read and write), the frame clock's step and the events waiting for the message
// loop. The COM object and the control's window are thin layers over it.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/player.h"

namespace vorlo::control {

// An event for the host; they wait here until the frame timer delivers them, never inside a call
// the host made.
struct PendingEvent {
  enum Kind { FsCommand, FlashCall } kind = FsCommand;
  std::string first, second;  // command and arguments, or the request
};

// The control's quality numbers: 0 low, 1 high, 2 auto-low, 3 auto-high, 4 medium, 5 best.
struct QualityName {
  int number;
  const char* name;
  player::Quality quality;
};
const QualityName* qualityByNumber(int number);
const QualityName* qualityByName(const std::string& name);

class MovieControl {
 public:
  MovieControl();

  // Puts a new movie: a path or "file:" URL, relative to `base` when it is relative, with an optional
  // "?name=value&..." part. The text is kept even when nothing can be played (an empty stage).
  void setMovie(const std::string& url);
  const std::string& movieUrl() const { return movieUrl_; }
  // Why the last movie shows nothing ("" when it plays).
  const std::string& loadError() const { return loadError_; }
  bool hasMovie() const { return player_.loaded(); }
  player::Player& player() { return player_; }

  // One tick of the frame timer: advances when playing; stops at the end when not looping.
  void tick();
  // The frame rate's period in milliseconds (12 fps without a movie).
  int frameMillis() const { return player_.loaded() ? player_.frameRateMillis() : 83; }

  // The stage into a surface of the given size (the background colour without a movie).
  void render(player::Surface& target);

  // Playback.
  bool playing() const;
  void setPlaying(bool on);
  int totalFrames() const;
  int currentFrame() const;  // 0-based, as hosts count
  void gotoFrame(int zeroBased);
  void back();
  void forward();
  void rewind();

  // Settings.
  bool loop = true;
  int quality = 1;  // high
  int scaleMode = 0;  // show all
  int alignMode = 0;
  long backgroundColor = -1;  // -1: the movie's own
  bool menu = true, deviceFont = false, embedMovie = false;
  std::string base, flashVars, wmode = "Window", salign, scale = "ShowAll", swRemote, allowScriptAccess = "always";

  // The view over the movie: zooming by a percentage of what is shown (0: the whole stage again),
  // panning by pixels of the view (mode 0) or by percents of what is shown (mode 1), a rectangle of
  // the movie in twips. A new movie shows all of itself again.
  void zoom(double percent);
  void pan(double x, double y, int mode);
  void setZoomRect(double left, double top, double right, double bottom);
  std::string returnValue;  // the host's answer to the current external call

  // The version hosts read: 8.0 unless the test override names another.
  long flashVersion() const { return flashVersion_; }

  std::deque<PendingEvent>& events() { return events_; }
  // Who answers the movie's external calls (the host's FlashCall handling); set once, before movies.
  void setExternalCallHandler(std::function<std::string(const std::string& request)> handler) {
    player_.setExternalCallHandler(std::move(handler));
  }

 private:
  std::string resolve(const std::string& url) const;
  player::ScaleMode scaleModeOf() const;

  player::Rect shown_{};  // empty: the whole frame
  int viewWidth_ = 0, viewHeight_ = 0;  // of the last render

  player::Player player_;
  std::string movieUrl_, loadError_;
  // Whether a movie starts playing: the last Playing written, also before the movie was put.
  bool startPlaying_ = true;
  std::deque<PendingEvent> events_;
  long flashVersion_;
};

}  // namespace vorlo::control
