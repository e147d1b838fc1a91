// vorlo-pack: builds a packaged program from a project folder, or lists what a package holds.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/pack/manifest.h"
#include "tools/pack/packager.h"
#include "util/platform.h"

namespace {

const char kUsage[] =
    "usage: vorlo-pack [options] PROJECT_FOLDER\n"
    "       vorlo-pack --list PACKAGE.exe\n"
    "\n"
    "Builds a packaged program from a project folder holding vorlo.toml.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the package to write (default: <project folder name>.exe)\n"
    "  --runtime FILE      the vorlo.exe to build on (default: $VORLO_RUNTIME, else runtime/vorlo.exe\n"
    "                      beside vorlo-pack or beside its folder)\n"
    "  -q, --quiet         no progress lines\n"
    "  --list PACKAGE      show the resources and the archive tree of a package\n"
    "  -h, --help          this text\n";

// $VORLO_RUNTIME, else runtime/vorlo.exe beside vorlo-pack or beside its folder (where the builds put
// the runtime, apart from the tools).
std::string defaultRuntime() {
  std::string env = vorlo::os::getEnv("VORLO_RUNTIME");
  if (!env.empty()) return env;
  std::string self = vorlo::os::executablePath();
  size_t cut = self.find_last_of("\\/");
  std::string dir = cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
  const char sep = vorlo::os::kPathSeparator;
  std::string besides = dir + "runtime" + sep + "vorlo.exe";
  return vorlo::os::isFile(besides) ? besides : dir + ".." + sep + "runtime" + sep + "vorlo.exe";
}

std::string folderName(std::string dir) {
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  size_t cut = dir.find_last_of("\\/");
  std::string name = cut == std::string::npos ? dir : dir.substr(cut + 1);
  return name.empty() || name == "." || name == ".." ? "package" : name;
}

}  // namespace

int main(int argc, char** argv) {
  std::string project, output, runtime, list;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* what) -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vorlo-pack: %s needs a value\n%s", what, kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-o" || a == "--output") {
      output = value("--output");
    } else if (a == "--runtime") {
      runtime = value("--runtime");
    } else if (a == "--list") {
      list = value("--list");
    } else if (a == "-q" || a == "--quiet") {
      quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "vorlo-pack: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else if (project.empty()) {
      project = a;
    } else {
      std::fprintf(stderr, "vorlo-pack: one project folder at a time\n%s", kUsage);
      return 2;
    }
  }
  try {
    if (!list.empty()) {
      std::fputs(vorlo::pack::describePackage(list).c_str(), stdout);
      return 0;
    }
    if (project.empty()) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    vorlo::pack::Manifest manifest = vorlo::pack::loadManifest(project);
    vorlo::pack::PackOptions o;
    o.runtime = runtime.empty() ? defaultRuntime() : runtime;
    o.output = output.empty() ? folderName(project) + ".exe" : output;
    if (!quiet) o.progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    vorlo::pack::buildPackage(manifest, o);
    if (!quiet) std::fprintf(stderr, "wrote %s\n", o.output.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vorlo-pack: %s\n", e.what());
    return 1;
  }
}
