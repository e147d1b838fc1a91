#include "engine/trace.h"

#include <string>

namespace vorlo {
namespace {
TraceSink gSink = nullptr;
void* gContext = nullptr;
}  // namespace

void setTraceSink(TraceSink sink, void* context) {
  gSink = sink;
  gContext = context;
}

void traceLine(std::string_view line) {
  if (gSink) gSink(gContext, line);
}

void writeWarning(ScriptVM*, const char* message) { traceLine(message); }

void writeWarning(ScriptVM*, const char* messageWithName, std::string_view name) {
  std::string_view m(messageWithName);
  size_t at = m.find("%s");
  std::string line(m.substr(0, at));
  if (at != std::string_view::npos) {
    line += name;
    line += m.substr(at + 2);
  }
  traceLine(line);
}

}  // namespace vorlo
