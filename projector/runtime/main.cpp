// vorlo.exe: the projector runtime.
#include <windows.h>

#include <exception>

#include "projector/runtime/projector_app.h"
#include "util/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    vorlo::ProjectorApp app;
    return app.run();
  } catch (const std::exception& e) {
    // A failure nothing below could handle (out of memory while starting, say): said, then status 3.
    MessageBoxW(nullptr, vorlo::toWide(e.what()).c_str(), L"vorlo", MB_ICONSTOP);
    return 3;
  } catch (...) {
    // Nothing is known about a failure of no standard type; the status still tells it apart.
    return 3;
  }
}
