#include "tools/vorlo/run_command.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/ansi.h"
#include "engine/compiler.h"
#include "engine/convert.h"
#include "engine/error.h"
#include "engine/embed.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/trace.h"
#include "tools/common/compiler_report.h"
#include "tools/vorlo/script_file.h"
#include "util/text.h"
#ifdef _WIN32
#include "host/class_list.h"  // the full list: the portable classes and the host classes
#else
#include "stdlib/portable_classes.h"
#endif

const char* const kRunSwitchesUsage =
    "  switches: --no-warn-undefined  no warning when an undefined variable is read\n"
    "            --warn-semicolon     warn \"missing ;\" where one is inserted\n"
    "            --warn-linefeed      warn on line feeds inside string constants\n"
    "            -g                   debug information (runtime errors name the source line)\n"
    "            --memory-limit MB    the most memory the script's heap may take (default 1536)\n";

namespace {


void traceToStdout(void*, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

// A count of megabytes from 1 to 1,048,576 (1 TB) as bytes.
bool parseMegabytes(const std::string& text, uint64_t* bytes) {
  if (text.empty() || text.size() > 7) return false;
  uint64_t mb = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    mb = mb * 10 + uint64_t(c - '0');
  }
  if (mb < 1 || mb > (uint64_t(1) << 20)) return false;
  *bytes = mb << 20;
  return true;
}

// Parses the switches; the one remaining argument is returned through `operand`.
bool parseArguments(const std::vector<std::string>& args, vorlo::VMOptions* options, std::string* operand) {
  bool found = false;
  for (size_t i = 2; i < args.size(); i++) {
    const std::string& a = args[i];
    if (a == "--no-warn-undefined") options->optionBits &= ~vorlo::kOptionWarnUndefined;
    else if (a == "--warn-semicolon") options->optionBits |= vorlo::kOptionWarnMissingSemicolon;
    else if (a == "--warn-linefeed") options->optionBits |= vorlo::kOptionWarnLineFeedInString;
    else if (a == "-g") options->optionBits |= vorlo::kOptionDebugInfo;
    else if (a == "--memory-limit" && i + 1 < args.size()) {
      if (!parseMegabytes(args[++i], &options->memoryLimit)) return false;
    }
    else if (a == "--" && i + 1 < args.size() && !found) *operand = args[++i], found = true;
    else if (!found && (a.empty() || a[0] != '-' || a.size() == 1)) *operand = a, found = true;
    else return false;
  }
  return found;
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
int withEngine(const std::vector<std::string>& args, Body&& body) {
  vorlo::VMOptions options;
  std::string operand;
  if (!parseArguments(args, &options, &operand)) return usage();
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

// A source compiled in the engine's machine with its options; an image of it, or nullopt after the
// compiler's report ("file:line: message") went to standard error.
std::optional<std::vector<uint8_t>> compileSource(vorlo::Engine* engine, const std::string& path, const std::string& text) {
  NamedSource source(text, path);
  vorlo::CompileOutput out;
  bool ok = false;
  try {
    ok = vorlo::compileScript(engine->vm, source, vorlo::compileFlagsFor(engine->options), out);
  } catch (const vorlo::ScriptError& e) {
    out.messages = std::string(e.what()) + "\r\n";
  }
  if (ok) return std::move(out.image);
  std::string report = vorlo::compilerReport(path, out.messages, true);
  std::fprintf(stderr, "%s\n", report.empty() ? (path + ": does not compile").c_str() : report.c_str());
  return std::nullopt;
}

}  // namespace

int runCommand(const std::vector<std::string>& args) {
  return withEngine(args, [](vorlo::Engine* engine, const std::string& path) {
    std::string why;
    std::optional<ScriptFile> script = loadScriptFile(path, &why);
    if (!script) {
      std::fprintf(stderr, "vorlo: %s: %s\n", path.c_str(), why.c_str());
      return 1;
    }
    std::vector<uint8_t> image = std::move(script->bytes);
    if (!script->image) {
      auto compiled = compileSource(engine, path, script->text);
      if (!compiled) return 1;
      image = std::move(*compiled);
    }
    if (vorlo::runImageBuffer(engine, image.data(), image.size()) == 1) return 0;
    std::fflush(stdout);
    reportFailure(engine);
    return 1;
  });
}

int evalCommand(const std::vector<std::string>& args) {
  return withEngine(args, [](vorlo::Engine* engine, const std::string& argument) {
    // Script text is ANSI, as source files are; the command line arrives as UTF-8.
    std::u16string units = vorlo::utf8ToUtf16(argument);
    std::string text = vorlo::utf16ToAnsi(units.data(), units.size());
    if (vorlo::runText(engine, text.data(), text.size()) != 1) {
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
