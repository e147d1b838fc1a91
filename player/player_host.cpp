// The host's calls into the movie (what the player control's GetVariable, SetVariable, the target
// methods and CallFunction need). Each call that may run scripts runs what it queued before it
// returns, and the fields bound to variables show the result.
#include <cmath>

#include "player/avm1/host_api.h"
#include "player/avm1/text_api.h"
#include "player/avm1/vm.h"
#include "player/player.h"

namespace vorlo::player {

namespace {

MovieClip* clipAt(avm1::Vm* vm, const std::string& target) {
  avm1::ClipObject* c = vm ? avm1::hostTarget(*vm, target) : nullptr;
  return c ? c->clip() : nullptr;
}

}  // namespace

void Player::afterHostCall() {
  try {
    runScripts();
  } catch (avm1::ScriptAbort& abort) {
    vm_->warn(abort.reason);
  }
  avm1::showBoundVariables(*vm_);
}

std::optional<std::string> Player::getVariable(const std::string& path) {
  if (!vm_) return std::nullopt;
  vm_->resetBudget();
  std::optional<std::string> v = avm1::hostGetVariable(*vm_, path);
  afterHostCall();
  return v;
}

bool Player::setVariable(const std::string& path, const std::string& value) {
  if (!vm_) return false;
  vm_->resetBudget();
  bool done = avm1::hostSetVariable(*vm_, path, value);
  afterHostCall();
  return done;
}

bool Player::gotoFrame(const std::string& target, int frame) {
  MovieClip* clip = clipAt(vm_.get(), target);
  if (!clip || frame < 0 || frame >= clip->frameCount()) return false;
  vm_->resetBudget();
  vm_->gotoFrame(*clip, frame + 1);
  clip->stop();
  afterHostCall();
  return true;
}

bool Player::gotoLabel(const std::string& target, const std::string& label) {
  MovieClip* clip = clipAt(vm_.get(), target);
  int frame = clip ? clip->frameOfLabel(label) : 0;
  return frame > 0 && gotoFrame(target, frame - 1);
}

int Player::currentFrame(const std::string& target) {
  MovieClip* clip = clipAt(vm_.get(), target);
  return clip ? std::max(0, clip->currentFrame() - 1) : -1;
}

std::string Player::currentLabel(const std::string& target) {
  MovieClip* clip = clipAt(vm_.get(), target);
  if (!clip || clip->currentFrame() < 1) return {};
  const auto& labels = clip->timeline().frames[size_t(clip->currentFrame()) - 1].labels;
  return labels.empty() ? std::string() : labels.front();
}

bool Player::play(const std::string& target) {
  MovieClip* clip = clipAt(vm_.get(), target);
  if (clip) clip->play();
  return clip != nullptr;
}

bool Player::stopPlay(const std::string& target) {
  MovieClip* clip = clipAt(vm_.get(), target);
  if (clip) clip->stop();
  return clip != nullptr;
}

std::optional<std::string> Player::getProperty(const std::string& target, int index) {
  avm1::ClipObject* c = vm_ ? avm1::hostTarget(*vm_, target) : nullptr;
  if (!c || index < 0 || index > 21) return std::nullopt;
  avm1::Value v = vm_->getClipProperty(*c, index);
  if (v.isUndefined()) return std::nullopt;
  return vm_->toString(v);
}

bool Player::setProperty(const std::string& target, int index, const std::string& value) {
  avm1::ClipObject* c = vm_ ? avm1::hostTarget(*vm_, target) : nullptr;
  if (!c || index < 0 || index > 21) return false;
  vm_->resetBudget();
  vm_->setClipProperty(*c, index, avm1::Value(value));
  afterHostCall();
  return true;
}

bool Player::callFrame(const std::string& target, int frame) {
  MovieClip* clip = clipAt(vm_.get(), target);
  if (!clip) return false;
  vm_->resetBudget();
  bool done = avm1::hostCallFrame(*vm_, *clip, frame + 1);
  afterHostCall();
  return done;
}

bool Player::callLabel(const std::string& target, const std::string& label) {
  MovieClip* clip = clipAt(vm_.get(), target);
  int frame = clip ? clip->frameOfLabel(label) : 0;
  return frame > 0 && callFrame(target, frame - 1);
}

void Player::setExternalCallHandler(std::function<std::string(const std::string& requestXml)> handler) {
  externalCallHandler_ = std::move(handler);
  if (vm_) vm_->onExternalCall = externalCallHandler_;
}

std::string Player::callFunction(const std::string& requestXml) {
  if (!vm_) return {};
  vm_->resetBudget();
  std::string answer = avm1::hostCallFunction(*vm_, requestXml);
  afterHostCall();
  return answer;
}

}  // namespace vorlo::player
