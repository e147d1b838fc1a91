// The movie player's core as one object: load a movie's bytes, advance one frame at a time, and
// render the stage into a pixel buffer of any size.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/display/movie_clip.h"
#include "player/render/renderer.h"
#include "player/sound/mixer.h"
#include "player/swf/imports.h"
#include "player/swf/movie.h"
#include "player/view.h"

namespace vorlo::player {

namespace avm1 {
class Vm;
class ClipObject;
class SoundOutput;
struct Code;
}  // namespace avm1

class Player {
 public:
  Player();
  ~Player();

  // Where the movie's imports (and, through the scripts, the movies and data it loads) come from;
  // without a source nothing is loaded. Set before `load`.
  void setMovieSource(MovieSource source) { source_ = std::move(source); }
  // Reads the movie and runs its first frame. False, with `error` set, when nothing could be read.
  bool load(std::span<const uint8_t> bytes, std::string* error);
  bool loaded() const { return movie_ != nullptr; }

  // One frame of time.
  void advance();
  // Draws the stage into `target` (its size is the stage size): the background, then the movie
  // placed by the scale mode and the view's alignment (centred without one).
  void render(Surface& target, ScaleMode scale, Quality quality);
  // The matrix from the movie's twips to the stage's pixels for a stage of this size.
  Matrix stageMatrix(int width, int height, ScaleMode scale) const;
  // The part of the movie the stage shows (twips; an empty rectangle: the whole frame) and the
  // alignment bits (view.h) of the movie in the stage's spare room.
  void setView(const Rect& shown, uint8_t align) { shown_ = shown, align_ = align; }
  Rect shownRect() const { return shown_.empty() ? frameRect() : shown_; }
  Rect frameRect() const;

  const Movie& movie() const { return *movie_; }
  MovieClip& root() { return *root_; }
  int frameRateMillis() const;
  // Damage met while reading and playing, in order, without repeats.
  std::vector<std::string> warnings() const;
  // Called for every tag the display layer does not interpret (actions, sounds).
  void setTagHandler(std::function<void(MovieClip&, const RawTag&)> handler) { tagHandler_ = std::move(handler); }
  Rgba backgroundColor() const { return stage_.background; }

  // Where the movie's trace() output goes (one call per trace, UTF-8, without a line end).
  void setTraceHandler(std::function<void(const std::string& utf8)> handler) { traceHandler_ = std::move(handler); }
  // fscommand(command, args) calls (getURL of "FSCommand:command"); "quit" also ends the run.
  void setFsCommandHandler(std::function<void(const std::string& command, const std::string& args)> handler) {
    fsCommandHandler_ = std::move(handler);
  }
  // True once the movie asked to quit; the frame that asked ran to its end.
  bool quitRequested() const { return quit_; }
  // The script machine, once a movie is loaded (null before).
  avm1::Vm* scripts() { return vm_.get(); }

  // ---- The host's calls into the movie (the player control's scripting methods) ----
  // Targets are clip paths ("/" or "" the root, "/a/b", "_level0.a.b"); variables are "/a/b:name",
  // "_level0.a.name" or a name on the root. Frames count from 0, as the control's methods do.
  // Calls that run scripts run what they queue before returning.
  std::optional<std::string> getVariable(const std::string& path);  // nothing when undefined
  bool setVariable(const std::string& path, const std::string& value);
  bool gotoFrame(const std::string& target, int frame);  // and stop there
  bool gotoLabel(const std::string& target, const std::string& label);
  int currentFrame(const std::string& target);  // -1 when there is no such clip
  std::string currentLabel(const std::string& target);
  bool play(const std::string& target);
  bool stopPlay(const std::string& target);
  // The clip properties by their number (0 _x ... 21 _ymouse), as text.
  std::optional<std::string> getProperty(const std::string& target, int index);
  bool setProperty(const std::string& target, int index, const std::string& value);
  // Runs a frame's actions without moving the playhead.
  bool callFrame(const std::string& target, int frame);
  bool callLabel(const std::string& target, const std::string& label);
  // ExternalInterface: the movie's calls out reach `handler` (request and answer are the
  // external-call XML); the interface is available to the movie while a handler is set.
  void setExternalCallHandler(std::function<std::string(const std::string& requestXml)> handler);
  // Calls a function the movie registered with ExternalInterface.addCallback; the request is
  // "<invoke name=...><arguments>...</arguments></invoke>", the answer one value element, or ""
  // when the request cannot be read or names no registered function.
  std::string callFunction(const std::string& requestXml);
  // The folder where the movie's SharedObject files are kept (none: they are not kept). Set before `load`.
  void setSharedObjectFolder(std::string folder) { sharedObjectFolder_ = std::move(folder); }
  // How many actions a frame's scripts may run before they are stopped (0: the player's own
  // limit of 20 million). Set before `load`.
  void setScriptActionBudget(long actions) { scriptActionBudget_ = actions; }

  // ---- Sound ----
  // The next `frames` frames of the movie's sound: 44,100 Hz, 16-bit, stereo interleaved
  // (2 * frames samples). Safe to call from the host's audio thread while frames advance.
  void mixAudio(int16_t* out, size_t frames) { mixer_.mix(out, frames); }
  // Sounds and streams still playing.
  size_t activeSounds() const { return mixer_.active(); }
  Mixer& mixer() { return mixer_; }

  // ---- Input ----
  // Pointer positions are pixels of the view the stage is shown in: `width` x `height` with
  // `scale` (render sets the view it draws too). Without a view the movie's own size is used.
  void setViewport(int width, int height, ScaleMode scale);
  // Each call returns true when the stage may look different and should be drawn again. Buttons
  // change state and run their actions, clips get their pointer and key events, listeners of Mouse
  // and Key hear them, and an input text field with the focus takes what is typed.
  bool mouseMove(double x, double y);
  bool mouseDown(double x, double y);
  bool mouseUp(double x, double y);
  bool mouseLeave();  // the pointer left the view
  // `keyCode` is the virtual-key code (the numbers Key.getCode gives), `character` the UTF-16
  // unit the key typed, or 0.
  bool keyDown(int keyCode, char16_t character);
  bool keyUp(int keyCode);
  enum class Cursor : uint8_t { Arrow, Hand, IBeam, Hidden };
  // What the pointer should look like where it is.
  Cursor cursor();

 private:
  void onTag(MovieClip& clip, const RawTag& tag);
  void initNewClips(DisplayObject& object, DisplayObject* parent, int depth);
  void runScripts();
  void afterHostCall();  // player_host.cpp
  void runEnterFrame(DisplayObject& object);
  void runClipEvent(avm1::ClipObject* clip, uint32_t event);
  double elapsedMillis() const;
  // Sound (player_sound.cpp).
  void onSoundTag(MovieClip& clip, const RawTag& tag);
  std::shared_ptr<const Pcm> decodedSound(uint16_t id);
  void connectScriptSounds();
  void playButtonSound(const Button& button, int transition);
  struct StreamState;
  struct ScriptSounds;  // the Sound object's way to the mixer
  std::shared_ptr<avm1::SoundOutput> scriptSounds_;
  Mixer mixer_;
  std::map<uint16_t, std::shared_ptr<const Pcm>> sounds_;
  std::map<const MovieClip*, std::shared_ptr<StreamState>> streams_;
  // Input (player_input.cpp).
  struct PointerState {
    DisplayObject* hovered = nullptr;  // checked against the stage before each use
    DisplayObject* pressed = nullptr;
    bool overPressed = false;
    bool inView = false;
  };
  Point toMovie(double x, double y) const;
  bool onStage(const DisplayObject* object);
  bool isButtonLike(DisplayObject& object);
  DisplayObject* pick(DisplayObject& parent, Point p, int depth);
  void updateHover();
  void scriptFocus(DisplayObject* to);
  void runFocusTransitions();
  void transition(DisplayObject& object, int which);
  void broadcast(const char* object, const char* message);
  void clipEventEverywhere(uint32_t event, const char* method, int keyCode = -1);
  void buttonKeyPress(int code);
  void followDrag();
  // Runs an input event's handling, then what it queued; true when the stage changed.
  bool runInput(const std::function<void()>& handle);
  PointerState pointer_;
  // Roll outs and overs a script's setFocus queued (the object, the transition), run after the
  // scripts of the moment.
  std::vector<std::pair<DisplayObject*, int>> focusTransitions_;
  int viewWidth_ = 0, viewHeight_ = 0;
  ScaleMode viewScale_ = ScaleMode::ShowAll;
  Rect shown_{};
  long scriptActionBudget_ = 0;
  uint8_t align_ = 0;
  bool inputChanged_ = false;

  struct QueuedCode;
  std::unique_ptr<Movie> movie_;
  StageContext stage_;
  std::unique_ptr<MovieClip> root_;
  std::unique_ptr<avm1::Vm> vm_;
  std::vector<QueuedCode> queue_;
  std::vector<QueuedCode> initQueue_;
  std::vector<uint16_t> initDone_;
  MovieSource source_;
  std::function<void(MovieClip&, const RawTag&)> tagHandler_;
  std::function<void(const std::string&)> traceHandler_;
  std::function<std::string(const std::string&)> externalCallHandler_;
  std::string sharedObjectFolder_;
  std::function<void(const std::string&, const std::string&)> fsCommandHandler_;
  bool quit_ = false;
  long frames_ = 0;
  int instanceCount_ = 0;
};

}  // namespace vorlo::player
