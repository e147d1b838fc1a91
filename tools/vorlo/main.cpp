// vorlo: the command-line tool for Vorlo Script.
//   vorlo compile SRC [-o OUT.vsc] [-g]   compile a source file into an image
//   vorlo dis FILE.vsc                     list an image
//   vorlo run [switches] FILE               run a script (run_command.h)
//   vorlo eval [switches] TEXT              run text and print its result
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/compiler.h"
#include "engine/disassembler.h"
#include "engine/error.h"
#include "engine/image.h"
#include "engine/source_stream.h"
#include "engine/vm.h"
#include "tools/vorlo/run_command.h"

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

// SRC with its extension replaced by ".vsc" (or ".vsc" appended).
std::string defaultOutput(const std::string& source) {
  size_t slash = source.find_last_of("/\\");
  size_t dot = source.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return source + ".vsc";
  return source.substr(0, dot) + ".vsc";
}

int compileCommand(int argc, char** argv) {
  const char* source = nullptr;
  std::string output;
  bool debug = false;
  for (int i = 2; i < argc; i++) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) output = argv[++i];
    else if (std::strcmp(argv[i], "-g") == 0) debug = true;
    else if (!source && argv[i][0] != '-') source = argv[i];
    else return usage();
  }
  if (!source) return usage();
  if (output.empty()) output = defaultOutput(source);
  std::unique_ptr<vorlo::FileSource> file(vorlo::FileSource::open(source));
  if (!file) {
    std::fprintf(stderr, "vorlo: can't open the script file: %s\n", source);
    return 1;
  }
  vorlo::ScriptVM* vm = vorlo::createVM();
  if (!vm) {
    std::fputs("vorlo: out of memory\n", stderr);
    return 1;
  }
  vorlo::CompileOutput out;
  bool ok = false;
  try {
    ok = vorlo::compileScript(vm, *file, debug ? uint32_t{vorlo::kCompileDebugInfo} : 0u, out);
  } catch (const vorlo::ScriptError& e) {
    out.messages = std::string(e.what()) + "\r\n";
  }
  vorlo::destroyVM(vm);
  // The engine ends its message lines with CR LF; the console gets plain lines.
  std::string messages;
  for (char c : out.messages)
    if (c != '\r') messages += c;
  std::fputs(messages.c_str(), stderr);
  if (!ok) return 1;
  std::FILE* f = std::fopen(output.c_str(), "wb");
  bool written = f && std::fwrite(out.image.data(), 1, out.image.size(), f) == out.image.size();
  if (f && std::fclose(f) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "vorlo: can't write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

int disCommand(int argc, char** argv) {
  if (argc != 3) return usage();
  std::FILE* f = std::fopen(argv[2], "rb");
  if (!f) {
    std::fprintf(stderr, "vorlo: can't open %s\n", argv[2]);
    return 1;
  }
  std::string why;
  std::unique_ptr<vorlo::BytecodeImage> image = vorlo::readImageFile(f, &why);
  std::fclose(f);
  if (!image) {
    std::fprintf(stderr, "vorlo: %s is not a valid image (%s)\n", argv[2], why.c_str());
    return 1;
  }
  std::fputs(vorlo::listImage(*image).c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  if (std::strcmp(argv[1], "compile") == 0) return compileCommand(argc, argv);
  if (std::strcmp(argv[1], "dis") == 0) return disCommand(argc, argv);
  if (std::strcmp(argv[1], "run") == 0) return runCommand(argc, argv);
  if (std::strcmp(argv[1], "eval") == 0) return evalCommand(argc, argv);
  return usage();
}
