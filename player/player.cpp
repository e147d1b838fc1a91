#include "player/player.h"

#include <algorithm>
#include <cmath>

#include "player/avm1/input_api.h"
#include "player/avm1/text_api.h"
#include "player/avm1/vm.h"
#include "player/display/edit_text.h"
#include "player/display/painter.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

// Code waiting to run at the end of the frame's display work, with the clip it runs on.
struct Player::QueuedCode {
  avm1::ClipObject* clip = nullptr;
  avm1::Code code;
};

Player::Player() = default;
Player::~Player() {
  // The stage goes first so that its objects tell the script machine, which still exists.
  root_.reset();
  vm_.reset();
}

bool Player::load(std::span<const uint8_t> bytes, std::string* error) {
  root_.reset();
  vm_.reset();
  queue_.clear();
  initQueue_.clear();
  initDone_.clear();
  quit_ = false;
  frames_ = 0;
  instanceCount_ = 0;
  mixer_.stopAll();
  mixer_.setTransform(100, 0);
  sounds_.clear();
  streams_.clear();
  movie_ = readMovie(bytes, error);
  if (!movie_) return false;
  resolveImports(*movie_, source_);
  stage_.movie = movie_.get();
  stage_.background = movie_->backgroundColor;
  stage_.warnings.clear();
  stage_.onTag = [this](MovieClip& clip, const RawTag& tag) { onTag(clip, tag); };
  root_ = std::make_unique<MovieClip>(stage_, 0, movie_->timeline, 0);
  vm_ = std::make_unique<avm1::Vm>(*root_, stage_, movie_->header.version);
  vm_->onTrace = [this](const std::string& text) {
    if (traceHandler_) traceHandler_(text);
  };
  vm_->onFsCommand = [this](const std::string& command, const std::string& args) {
    std::string lower = command;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "quit") quit_ = true;
    if (fsCommandHandler_) fsCommandHandler_(command, args);
  };
  vm_->onWarning = [this](const std::string& text) { stage_.warn(text); };
  vm_->onExternalCall = externalCallHandler_;
  vm_->loader = source_;
  vm_->sharedObjectFolder = sharedObjectFolder_;
  if (scriptActionBudget_ > 0) vm_->setActionBudget(scriptActionBudget_);
  connectScriptSounds();
  avm1::installInput(*vm_, vm_->global());
  stage_.input = InputState{};
  pointer_ = PointerState{};
  focusTransitions_.clear();
  vm_->onScriptFocus = [this](DisplayObject* to) { scriptFocus(to); };
  vm_->clock = [this] { return elapsedMillis(); };
  vm_->resetBudget();
  root_->enterFirstFrame();
  initNewClips(*root_, nullptr, 0);
  runScripts();
  avm1::showBoundVariables(*vm_);
  vm_->collectGarbage();
  return true;
}

double Player::elapsedMillis() const {
  // Script time follows the frames played, so that runs are repeatable.
  return double(frames_) * frameRateMillis();
}

void Player::onTag(MovieClip& clip, const RawTag& tag) {
  if (tagHandler_) tagHandler_(clip, tag);
  onSoundTag(clip, tag);
  if (!vm_) return;
  if (tag.code == tag::DoAction) {
    if (vm_->skipsActions(clip)) return;
    auto block = std::make_shared<const std::vector<uint8_t>>(tag.body);
    uint32_t size = uint32_t(block->size());
    queue_.push_back({vm_->clipObject(clip), avm1::Code{std::move(block), 0, size}});
  } else if (tag.code == tag::DoInitAction && tag.body.size() >= 2) {
    uint16_t sprite = uint16_t(tag.body[0] | tag.body[1] << 8);
    if (std::find(initDone_.begin(), initDone_.end(), sprite) != initDone_.end()) return;
    initDone_.push_back(sprite);
    auto block = std::make_shared<const std::vector<uint8_t>>(tag.body);
    uint32_t size = uint32_t(block->size());
    initQueue_.push_back({vm_->clipObject(clip), avm1::Code{std::move(block), 2, size}});
  }
}

namespace {

// The CLIPACTIONS record of a placement: the handlers and the events each answers.
std::vector<avm1::ClipObject::ClipEvent> readClipActions(const std::vector<uint8_t>& bytes, int version) {
  std::vector<avm1::ClipObject::ClipEvent> out;
  if (bytes.empty()) return out;
  auto block = std::make_shared<const std::vector<uint8_t>>(bytes);
  size_t flagSize = version <= 5 ? 2 : 4;
  size_t pos = 2 + flagSize;  // reserved, then the union of all events
  auto readFlags = [&](uint32_t* f) {
    if (pos + flagSize > bytes.size()) return false;
    *f = 0;
    for (size_t i = 0; i < flagSize; ++i) *f |= uint32_t(bytes[pos + i]) << (8 * i);
    pos += flagSize;
    return true;
  };
  for (int guard = 0; guard < 1024; ++guard) {
    uint32_t flags = 0;
    if (!readFlags(&flags) || flags == 0) break;
    if (pos + 4 > bytes.size()) break;
    uint32_t size = uint32_t(bytes[pos]) | uint32_t(bytes[pos + 1]) << 8 | uint32_t(bytes[pos + 2]) << 16 |
                    uint32_t(bytes[pos + 3]) << 24;
    pos += 4;
    if (size > bytes.size() - pos) break;
    size_t start = pos;
    uint8_t keyCode = 0;
    if ((flags & 0x20000) && size > 0) keyCode = bytes[start++];  // key press: the key code comes first
    out.push_back({flags, avm1::Code{block, uint32_t(std::min(start, pos + size)), uint32_t(pos + size)}, keyCode});
    pos += size;
  }
  return out;
}

// The placement that made the object at `depth` of `parent` (the frame it was placed in).
const PlaceObject* placementOf(MovieClip& parent, DisplayObject& object, int depth) {
  int frame = object.placedInFrame;
  if (frame < 1 || frame > parent.frameCount()) return nullptr;
  for (const ControlTag& tag : parent.timeline().frames[size_t(frame) - 1].tags)
    if (auto* p = std::get_if<PlaceObject>(&tag))
      if (p->depth == depth && !p->move && p->characterId == object.characterId()) return p;
  return nullptr;
}

}  // namespace

void Player::initNewClips(DisplayObject& object, DisplayObject* parent, int depth) {
  // Objects that scripts can reach get a name when placed without one ("instance1", ...).
  if (parent && object.name.empty() &&
      (object.children() || dynamic_cast<EditTextObject*>(&object)))
    object.name = "instance" + std::to_string(++instanceCount_);
  if (dynamic_cast<MovieClip*>(&object)) {
    avm1::ClipObject* c = vm_->clipObject(object);
    if (!c->initialized) {
      c->initialized = true;
      auto* parentClip = dynamic_cast<MovieClip*>(parent);
      if (parentClip)
        if (const PlaceObject* p = placementOf(*parentClip, object, depth))
          c->clipEvents = readClipActions(p->clipActions, movie_->header.version);
      vm_->applyRegisteredClass(c);
      for (const auto& e : c->clipEvents)
        if (e.events & 0x1) queue_.push_back({c, e.code});
    }
  }
  if (const DisplayList* list = object.children()) {
    std::vector<std::pair<int, DisplayObject*>> children;
    for (auto& [d, child] : *list) children.push_back({d, child.get()});
    for (auto& [d, child] : children) initNewClips(*child, &object, d);
  }
}

void Player::runScripts() {
  // Running code may queue more (gotos run frames); everything queued this frame runs now.
  for (int round = 0; round < 10000 && (!queue_.empty() || !initQueue_.empty()); ++round) {
    while (!initQueue_.empty()) {
      QueuedCode q = initQueue_.front();
      initQueue_.erase(initQueue_.begin());
      vm_->runCode(q.clip, q.code);
    }
    if (queue_.empty()) break;
    QueuedCode q = queue_.front();
    queue_.erase(queue_.begin());
    vm_->runCode(q.clip, q.code);
    if (queue_.empty() && initQueue_.empty()) initNewClips(*root_, nullptr, 0);
    if (queue_.empty() && initQueue_.empty()) runFocusTransitions();
  }
  if (queue_.empty()) runFocusTransitions();
  queue_.clear();
  for (avm1::ClipObject* gone : vm_->takeGoneClips()) {
    for (const auto& e : gone->clipEvents)
      if (e.events & 0x4) vm_->runCode(gone, e.code);
  }
}

void Player::runClipEvent(avm1::ClipObject* clip, uint32_t event) {
  for (const auto& e : clip->clipEvents)
    if (e.events & event) vm_->runCode(clip, e.code);
}

void Player::runEnterFrame(DisplayObject& object) {
  // Children first, the newest (highest depth) first, as the reference player's list runs.
  if (const DisplayList* list = object.children()) {
    std::vector<DisplayObject*> children;
    for (auto& [d, child] : *list) children.push_back(child.get());
    for (auto it = children.rbegin(); it != children.rend(); ++it) runEnterFrame(**it);
  }
  if (!dynamic_cast<MovieClip*>(&object)) return;
  avm1::ClipObject* c = vm_->clipObject(object);
  runClipEvent(c, 0x2);
  if (c->display) vm_->callMethodIfPresent(object, "onEnterFrame");
}

void Player::advance() {
  if (!root_) return;
  ++frames_;
  if (vm_) vm_->resetBudget();
  root_->advance();
  if (vm_) {
    initNewClips(*root_, nullptr, 0);
    runScripts();
    runEnterFrame(*root_);
    runScripts();
    vm_->runTimers(elapsedMillis());
    runScripts();
    vm_->runPendingLoads();
    runScripts();
    // The stage moved under a pointer that stood still: buttons roll over and out all the same.
    if (pointer_.inView) {
      try {
        updateHover();
      } catch (avm1::ScriptAbort& abort) {
        vm_->warn(abort.reason);
      }
      runScripts();
    }
    avm1::showBoundVariables(*vm_);
    vm_->collectGarbage();
  }
}

int Player::frameRateMillis() const {
  double rate = movie_ ? movie_->header.frameRate : 12;
  if (!(rate > 0.01)) rate = 12;
  return int(std::lround(std::clamp(1000.0 / rate, 1.0, 60000.0)));
}

std::vector<std::string> Player::warnings() const {
  std::vector<std::string> all;
  if (movie_) all = movie_->warnings;
  for (const std::string& w : stage_.warnings)
    if (std::find(all.begin(), all.end(), w) == all.end()) all.push_back(w);
  return all;
}

Rect Player::frameRect() const { return movie_ ? movie_->header.frameSize : Rect{0, 0, 11000, 8000}; }

Matrix Player::stageMatrix(int width, int height, ScaleMode scale) const {
  return viewMatrix(shownRect(), width, height, scale, align_);
}

void Player::render(Surface& target, ScaleMode scale, Quality quality) {
  setViewport(target.width, target.height, scale);
  Rgba bg = stage_.background;
  target.clear(0xFF000000u | uint32_t(bg.r) << 16 | uint32_t(bg.g) << 8 | bg.b);
  if (!root_) return;
  Matrix m = stageMatrix(target.width, target.height, scale);
  Painter painter(target, *movie_, quality, std::hypot(m.a, m.b) * 20, std::hypot(m.c, m.d) * 20);
  painter.drawList(*root_->children(), m, ColorTransform{});
}

}  // namespace vorlo::player
