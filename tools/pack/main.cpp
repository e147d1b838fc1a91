// vorlo-pack: builds a packaged program from a project folder, or lists what a package holds.
// Exit status: 0 done, 1 failed (or, with --list, damage found), 2 wrong usage.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/common/tool_main.h"
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
    "  -o, --output FILE   the package to write (default: <project folder name>.exe in the current\n"
    "                      folder); an existing file there is replaced only when it is a package\n"
    "  --runtime FILE      the vorlo.exe to build on (default: $VORLO_RUNTIME, else runtime/vorlo.exe\n"
    "                      beside vorlo-pack or beside its folder)\n"
    "  -q, --quiet         no progress lines\n"
    "  --list PACKAGE      show the resources and the archive tree of a package (exit status 1 when\n"
    "                      anything in it is damaged)\n"
    "  -h, --help          this text\n";

const char sep = vorlo::os::kPathSeparator;

// The places a runtime is looked for, in order: $VORLO_RUNTIME, then runtime/vorlo.exe beside
// vorlo-pack and beside its folder (where the builds put the runtime, apart from the tools).
std::vector<std::string> runtimePlaces() {
  std::vector<std::string> places;
  std::string env = vorlo::os::getEnv("VORLO_RUNTIME");
  if (!env.empty()) places.push_back(env);
  std::string self = vorlo::os::executablePath();
  size_t cut = self.find_last_of("\\/");
  std::string dir = cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
  places.push_back(dir + "runtime" + sep + "vorlo.exe");
  places.push_back(dir + ".." + sep + "runtime" + sep + "vorlo.exe");
  return places;
}

std::string findRuntime() {
  std::vector<std::string> places = runtimePlaces();
  for (const std::string& p : places) {
    if (vorlo::os::isFile(p)) return p;
  }
  std::string list;
  for (const std::string& p : places) list += "\n  " + p;
  throw std::runtime_error("no runtime (vorlo.exe) to build on; looked in:" + list +
                           "\ngive one with --runtime FILE or the VORLO_RUNTIME environment variable");
}

// The project folder's own name, also for "." and "..".
std::string folderName(const std::string& dir) {
  std::string full = vorlo::os::fullPath(dir);
  while (full.size() > 1 && (full.back() == '/' || full.back() == '\\')) full.pop_back();
  size_t cut = full.find_last_of("\\/");
  std::string name = cut == std::string::npos ? full : full.substr(cut + 1);
  return name.empty() || name.back() == ':' ? "package" : name;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "vorlo-pack: %s\n%s", message.c_str(), kUsage);
  return 2;
}

int run(const std::vector<std::string>& args) {
  std::string project, output, runtime, list;
  bool quiet = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (!value(output)) return usageError(a + " needs a value");
    } else if (a == "--runtime") {
      if (!value(runtime)) return usageError(a + " needs a value");
    } else if (a == "--list") {
      if (!value(list)) return usageError(a + " needs a value");
    } else if (a == "-q" || a == "--quiet") {
      quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      return usageError("unknown option " + a);
    } else if (project.empty()) {
      project = a;
    } else {
      return usageError("one project folder at a time");
    }
  }
  if (!list.empty() && !project.empty()) return usageError("--list takes a package, not a project folder as well");
  try {
    if (!list.empty()) {
      vorlo::pack::PackageListing listing = vorlo::pack::describePackage(list);
      std::fputs(listing.text.c_str(), stdout);
      if (listing.damaged) std::fprintf(stderr, "vorlo-pack: %s is damaged (see the DAMAGED lines)\n", list.c_str());
      return listing.damaged ? 1 : 0;
    }
    if (project.empty()) return usageError("no project folder given");
    if (!vorlo::os::isFolder(project)) {
      std::fprintf(stderr, "vorlo-pack: the project folder %s does not exist\n", project.c_str());
      return 1;
    }
    vorlo::pack::Manifest manifest = vorlo::pack::loadManifest(project);
    vorlo::pack::PackOptions o;
    o.runtime = runtime.empty() ? findRuntime() : runtime;
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

}  // namespace

VORLO_TOOL_MAIN(run)
