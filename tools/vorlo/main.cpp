// vorlo: the command-line tool for Vorlo Script.
//   vorlo compile SRC [-o OUT.vsc] [-g]   compile a source file into an image
//   vorlo dis FILE.vsc                     list an image
//   vorlo run [switches] FILE               run a script (run_command.h)
//   vorlo eval [switches] TEXT              run text and print its result
// Exit status: 0 done, 1 failed, 2 wrong usage.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/compiler.h"
#include "engine/disassembler.h"
#include "engine/error.h"
#include "engine/image.h"
#include "engine/vm.h"
#include "tools/common/compiler_report.h"
#include "tools/common/paths.h"
#include "tools/common/tool_main.h"
#include "tools/vorlo/run_command.h"
#include "tools/vorlo/script_file.h"
#include "util/file.h"
#include "util/platform.h"

namespace {

int usage() {
  std::fputs(
      "usage: vorlo compile SRC [-o OUT.vsc] [-g]\n"
      "       vorlo dis FILE.vsc\n"
      "       vorlo run [switches] FILE\n"
      "       vorlo eval [switches] TEXT\n",
      stderr);
  std::fputs(kRunSwitchesUsage, stderr);
  return 2;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "vorlo: %s\n", message.c_str());
  return 1;
}

// SRC with its extension replaced by ".vsc" (or ".vsc" appended).
std::string defaultOutput(const std::string& source) {
  size_t slash = source.find_last_of("/\\");
  size_t dot = source.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return source + ".vsc";
  return source.substr(0, dot) + ".vsc";
}

bool isImageFile(const std::string& path) {
  vorlo::File f;
  std::vector<uint8_t> bytes(4096);
  if (!f.open(path, vorlo::File::Mode::Read)) return false;
  bytes.resize(f.read(bytes.data(), bytes.size()));
  return looksLikeImage(bytes);
}

// Writes the image beside the output and renames it into place, so a failure leaves an earlier
// image as it was.
bool writeImage(const std::string& output, const std::vector<uint8_t>& image, std::string* why) {
  const std::string partial = output + "." + vorlo::os::newGuidText() + ".partial";
  vorlo::File f;
  bool written = f.open(partial, vorlo::File::Mode::Create) && f.write(image.data(), image.size());
  if (!written) *why = vorlo::os::lastErrorText();
  f.close();
  if (written && !vorlo::os::replaceFile(partial, output)) {
    *why = vorlo::os::lastErrorText();
    written = false;
  }
  if (!written) vorlo::os::removeFile(partial);
  return written;
}

int compileCommand(const std::vector<std::string>& args) {
  std::string source, output;
  bool debug = false;
  for (size_t i = 2; i < args.size(); i++) {
    if (args[i] == "-o" && i + 1 < args.size()) output = args[++i];
    else if (args[i] == "-g") debug = true;
    else if (source.empty() && !args[i].empty() && args[i][0] != '-') source = args[i];
    else return usage();
  }
  if (source.empty()) return usage();
  if (output.empty()) output = defaultOutput(source);
  if (vorlo::samePath(source, output)) {
    return fail(source + ": the image would overwrite its own source; name another output with -o");
  }
  if (vorlo::os::isFolder(output)) return fail("the output " + output + " is a folder; name the image file with -o");
  if (vorlo::os::isFile(output) && !isImageFile(output)) {
    return fail(output + " exists and is not a compiled image; it is left alone. Name another output with -o");
  }
  std::string why;
  std::optional<ScriptFile> script = loadScriptFile(source, &why);
  if (!script) return fail(source + ": " + why);
  if (script->image) return fail(source + ": is already a compiled image");
  vorlo::ScriptVM* vm = vorlo::createVM();
  if (!vm) return fail("out of memory");
  NamedSource text(script->text, source);
  vorlo::CompileOutput out;
  bool ok = false;
  try {
    ok = vorlo::compileScript(vm, text, debug ? uint32_t{vorlo::kCompileDebugInfo} : 0u, out);
  } catch (const vorlo::ScriptError& e) {
    out.messages = std::string(e.what()) + "\r\n";
  }
  vorlo::destroyVM(vm);
  std::string report = vorlo::compilerReport(source, out.messages, false);
  if (!report.empty()) std::fprintf(stderr, "%s\n", report.c_str());
  if (!ok) return 1;
  if (!writeImage(output, out.image, &why)) return fail("cannot write " + output + ": " + why);
  return 0;
}

int disCommand(const std::vector<std::string>& args) {
  if (args.size() != 3) return usage();
  std::string why;
  std::optional<ScriptFile> script = loadScriptFile(args[2], &why);
  if (!script) return fail(args[2] + ": " + why);
  if (!script->image) return fail(args[2] + ": is not a valid image (it is script source; compile it first)");
  std::unique_ptr<vorlo::BytecodeImage> image = vorlo::readImage(script->bytes.data(), script->bytes.size(), &why);
  std::fputs(vorlo::listImage(*image).c_str(), stdout);
  return 0;
}

int vorloMain(const std::vector<std::string>& args) {
  if (args.size() < 2) return usage();
  if (args[1] == "compile") return compileCommand(args);
  if (args[1] == "dis") return disCommand(args);
  if (args[1] == "run") return runCommand(args);
  if (args[1] == "eval") return evalCommand(args);
  return usage();
}

}  // namespace

VORLO_TOOL_MAIN(vorloMain)
