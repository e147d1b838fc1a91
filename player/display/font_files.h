// Device fonts from TrueType files of the system: the generic names (_sans, _serif, _typewriter) and
// any other face fall back on the system's sans-serif face.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "player/display/edit_text.h"

namespace vorlo::player {

class FontFiles : public DeviceFonts {
 public:
  // Looks for the faces in the system's usual font folders.
  FontFiles();
  const Font* find(const std::string& name, bool bold, bool italic) override;

 private:
  enum Family { Sans, Serif, Mono };
  const Font* load(Family family, bool bold);
  std::map<std::pair<Family, bool>, std::unique_ptr<Font>> loaded_;
  std::map<std::pair<Family, bool>, bool> tried_;
};

}  // namespace vorlo::player
