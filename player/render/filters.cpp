#include "player/render/renderer.h"

namespace vorlo::player {

// Filters are being written; until then they reach nowhere and change nothing.
IntRect filterReach(const Filter&, double, double) { return {}; }
void applyFilter(Surface&, const Filter&, double, double, Quality) {}

}  // namespace vorlo::player
