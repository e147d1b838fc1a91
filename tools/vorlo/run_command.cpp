#include "tools/vorlo/run_command.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/convert.h"
#include "engine/embed.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/trace.h"
#ifdef _WIN32
#include "host/class_list.h"  // the full list: the portable classes and the host classes
#else
#include "stdlib/portable_classes.h"
#endif

const char* const kRunSwitchesUsage =
    "  switches: --no-warn-undefined  no warning when an undefined variable is read\n"
    "            --warn-semicolon     warn \"missing ;\" where one is inserted\n"
    "            --warn-linefeed      warn on line feeds inside string constants\n"
    "            -g                   debug information (runtime errors name the source line)\n";

namespace {


void traceToStdout(void*, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

// Parses the switches; the one remaining argument is returned through `operand`.
bool parseArguments(int argc, char** argv, vorlo::VMOptions* options, const char** operand) {
  *operand = nullptr;
  for (int i = 2; i < argc; i++) {
    const char* a = argv[i];
    if (std::strcmp(a, "--no-warn-undefined") == 0) options->optionBits &= ~vorlo::kOptionWarnUndefined;
    else if (std::strcmp(a, "--warn-semicolon") == 0) options->optionBits |= vorlo::kOptionWarnMissingSemicolon;
    else if (std::strcmp(a, "--warn-linefeed") == 0) options->optionBits |= vorlo::kOptionWarnLineFeedInString;
    else if (std::strcmp(a, "-g") == 0) options->optionBits |= vorlo::kOptionDebugInfo;
    else if (std::strcmp(a, "--") == 0 && i + 1 < argc && !*operand) *operand = argv[++i];
    else if (!*operand && (a[0] != '-' || a[1] == 0)) *operand = a;
    else return false;
  }
  return *operand != nullptr;
}

// The engine's message (and where the script was) on standard error, as plain lines.
void reportFailure(vorlo::Engine* engine) {
  std::string text;
  for (const char* p = vorlo::engineMessage(engine->vm); *p; p++)
    if (*p != '\r') text += *p;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (text.empty()) text = "the script failed";
  const std::string& where = vorlo::lastErrorLocation(engine->vm);
  std::fprintf(stderr, "%s\n", text.c_str());
  if (!where.empty()) std::fprintf(stderr, "  %s\n", where.c_str());
}

int usage() {
  std::fprintf(stderr, "usage: vorlo run [switches] FILE\n       vorlo eval [switches] TEXT\n%s",
               kRunSwitchesUsage);
  return 2;
}

template <typename Body>
int withEngine(int argc, char** argv, Body&& body) {
  vorlo::VMOptions options;
  const char* operand;
  if (!parseArguments(argc, argv, &options, &operand)) return usage();
#ifdef _WIN32
  vorlo::Engine* engine = vorlo::createFullEngine(&options);
#else
  vorlo::Engine* engine = vorlo::createPortableEngine(&options);
#endif
  if (!engine) {
    std::fputs("vorlo: the script engine could not be created\n", stderr);
    return 1;
  }
  vorlo::setTraceSink(traceToStdout, nullptr);
  int status = body(engine, operand);
  std::fflush(stdout);
  vorlo::setTraceSink(nullptr, nullptr);
  vorlo::destroyEngine(engine);
  return status;
}

struct PrintResult {
  std::string text;
};

void resultText(vorlo::ScriptVM* vm, void* context) {
  vorlo::ValueRoot result(vm, vm->result);
  vorlo::ScriptValue s = vorlo::toStringValue(vm, result.value);
  static_cast<PrintResult*>(context)->text = vorlo::stringToAnsi(s.asString());
}

}  // namespace

int runCommand(int argc, char** argv) {
  return withEngine(argc, argv, [](vorlo::Engine* engine, const char* path) {
    if (vorlo::runFile(engine, path) == 1) return 0;
    std::fflush(stdout);
    reportFailure(engine);
    return 1;
  });
}

int evalCommand(int argc, char** argv) {
  return withEngine(argc, argv, [](vorlo::Engine* engine, const char* text) {
    if (vorlo::runText(engine, text, std::strlen(text)) != 1) {
      std::fflush(stdout);
      reportFailure(engine);
      return 1;
    }
    PrintResult printed;
    if (!vorlo::guardedCall(engine, resultText, &printed)) {
      reportFailure(engine);
      return 1;
    }
    std::printf("%s\n", printed.text.c_str());
    return 0;
  });
}
