// vorlo.exe: the projector runtime.
#include <windows.h>

#include "projector/runtime/projector_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    vorlo::ProjectorApp app;
    return app.run();
  } catch (...) {
    return 3;
  }
}
