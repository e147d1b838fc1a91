// vorlo-play's window (Windows only).
#pragma once
#include <string>

namespace vorlo::play {

// Opens a window of the movie's size and plays the movie in the player control until the window
// closes or the movie quits; the exit status.
int playInWindow(const std::string& movie);

}  // namespace vorlo::play
