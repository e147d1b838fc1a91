#include "player/player.h"

#include <algorithm>
#include <cmath>

#include "player/display/painter.h"

namespace vorlo::player {

Player::Player() = default;
Player::~Player() = default;

bool Player::load(std::span<const uint8_t> bytes, std::string* error) {
  root_.reset();
  movie_ = readMovie(bytes, error);
  if (!movie_) return false;
  stage_.movie = movie_.get();
  stage_.background = movie_->backgroundColor;
  stage_.warnings.clear();
  root_ = std::make_unique<MovieClip>(stage_, 0, movie_->timeline, 0);
  root_->enterFirstFrame();
  return true;
}

void Player::advance() {
  if (root_) root_->advance();
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

Matrix Player::stageMatrix(int width, int height, ScaleMode scale) const {
  Rect frame = movie_ ? movie_->header.frameSize : Rect{0, 0, 11000, 8000};
  double movieW = (frame.xMax - frame.xMin) / 20.0, movieH = (frame.yMax - frame.yMin) / 20.0;
  if (!(movieW > 0) || !(movieH > 0)) return Matrix::scale(0.05, 0.05);
  double sx = width / movieW, sy = height / movieH;
  switch (scale) {
    case ScaleMode::ShowAll: sx = sy = std::min(sx, sy); break;
    case ScaleMode::NoBorder: sx = sy = std::max(sx, sy); break;
    case ScaleMode::ExactFit: break;
    case ScaleMode::NoScale: sx = sy = 1; break;
  }
  double offsetX = (width - movieW * sx) / 2, offsetY = (height - movieH * sy) / 2;
  return Matrix{sx / 20, 0, 0, sy / 20, offsetX - frame.xMin * sx / 20, offsetY - frame.yMin * sy / 20};
}

void Player::render(Surface& target, ScaleMode scale, Quality quality) {
  Rgba bg = stage_.background;
  target.clear(0xFF000000u | uint32_t(bg.r) << 16 | uint32_t(bg.g) << 8 | bg.b);
  if (!root_) return;
  Matrix m = stageMatrix(target.width, target.height, scale);
  Painter painter(target, *movie_, quality, std::hypot(m.a, m.b) * 20, std::hypot(m.c, m.d) * 20);
  painter.drawList(*root_->children(), m, ColorTransform{});
}

}  // namespace vorlo::player
