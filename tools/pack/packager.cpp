#include "tools/pack/packager.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>

#include "engine/compiler.h"
#include "engine/error.h"
#include "engine/source_stream.h"
#include "engine/vm.h"
#include "projector/archive_writer.h"
#include "projector/package_records.h"
#include "projector/packed_block.h"
#include "projector/resources.h"
#include "projector/safe_name.h"
#include "projector/settings.h"
#include "tools/common/compiler_report.h"
#include "tools/pack/output_guard.h"
#include "tools/pack/pe_resources.h"
#include "tools/pack/win_resources.h"
#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo::pack {
namespace {

std::vector<uint8_t> readFile(const std::string& path) {
  File f;
  if (!f.open(path, File::Mode::Read)) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> bytes(static_cast<size_t>(f.size()));
  if (!f.readExact(bytes.data(), bytes.size())) throw std::runtime_error("cannot read " + path);
  return bytes;
}

void put(std::vector<pe::Resource>& list, const char* type, const std::string& name, std::vector<uint8_t> data) {
  pe::ResId t = pe::ResId::str(type), n = pe::ResId::str(name);
  pe::removeResources(list, t, n);
  pe::Resource r;
  r.type = t;
  r.name = n;
  r.data = std::move(data);
  list.push_back(std::move(r));
}

// The folder tree that becomes the archive, in name order so packages are reproducible.
struct Node {
  std::string name, path;
  bool folder = false;
  uint64_t size = 0;
  std::vector<Node> children;
};

constexpr int kMaxPackDepth = 64;

// The name as the runtime compares names (letter case ignored), for finding names it cannot tell apart.
std::u16string foldedName(const std::string& name) {
  std::u16string folded = utf8ToUtf16(name);
  for (char16_t& c : folded) c = os::foldCase(c);
  return folded;
}

struct ScanState {
  uint64_t total = 0;
  size_t files = 0;
  std::vector<std::string> leftOut;  // what was not archived, and why
};

Node scan(const std::string& path, const std::string& name, int depth, ScanState& state) {
  if (depth > kMaxPackDepth) throw std::runtime_error("folders nested deeper than 64 levels: " + path);
  Node n{name, path, true, 0, {}};
  auto entries = os::listFolder(path);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  std::map<std::u16string, std::string> seen;
  for (const auto& e : entries) {
    if (e.name[0] == '.') continue;  // hidden files stay out
    std::string child = path + e.name;
    if (e.link) {
      state.leftOut.push_back(child + " (a link; links are not followed)");
      continue;
    }
    if (!isSafeFileName(e.name)) throw std::runtime_error("this name cannot be packaged: " + child);
    auto [earlier, fresh] = seen.emplace(foldedName(e.name), e.name);
    if (!fresh) {
      throw std::runtime_error("the names " + path + earlier->second + " and " + child +
                               " differ only in letter case; the program could reach only one of them");
    }
    if (e.folder) {
      n.children.push_back(scan(child + os::kPathSeparator, e.name, depth + 1, state));
    } else if (isPackage(child)) {
      state.leftOut.push_back(child + " (a package)");
    } else {
      File f;
      if (!f.open(child, File::Mode::Read)) throw std::runtime_error("cannot read " + child + ": " + os::lastErrorText());
      n.children.push_back({e.name, child, false, f.size(), {}});
      state.total += f.size();
      ++state.files;
    }
  }
  return n;
}

std::string megabytes(uint64_t bytes) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f MB", double(bytes) / 1e6);
  return b;
}

class ArchiveProgress {
 public:
  ArchiveProgress(uint64_t total, const std::function<void(const std::string&)>& out) : total_(total), out_(out) {}
  void file(const std::string& archivePath, uint64_t size) {
    current_ = archivePath;
    base_ = done_;
    size_ = size;
    report(true);
  }
  void advance(uint64_t consumed) {
    done_ = base_ + consumed;
    report(false);
  }

 private:
  void report(bool newFile) {
    if (!out_) return;
    int percent = total_ ? int(done_ * 100 / total_) : 100;
    // Big files report every few percent, so a long run is visibly moving.
    if (newFile || (size_ > (1u << 20) && percent >= last_ + 5)) {
      char b[16];
      std::snprintf(b, sizeof b, "[%3d%%] ", percent);
      out_(std::string(b) + current_ + (newFile && size_ > (1u << 20) ? " (" + megabytes(size_) + ")" : ""));
      last_ = percent;
    }
  }
  uint64_t total_, done_ = 0, base_ = 0, size_ = 0;
  int last_ = -100;
  std::string current_;
  const std::function<void(const std::string&)>& out_;
};

void addTree(ArchiveWriter& w, const Node& folder, const std::string& prefix, ArchiveProgress& progress) {
  for (const Node& c : folder.children) {
    std::string archivePath = prefix + c.name;
    if (c.folder) {
      w.beginFolder(c.name);
      addTree(w, c, archivePath + "/", progress);
      w.endFolder();
    } else {
      progress.file(archivePath, c.size);
      w.addFile(c.name, c.path, [&](uint64_t consumed) { progress.advance(consumed); });
    }
  }
}

bool isScriptSource(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".vos";
}

// A ".vos" source compiled into an image; any other file is taken as an image already compiled.
// Compile errors become "file:line: message" with the line counted from 1.
std::vector<uint8_t> scriptImage(const NamedFile& script) {
  std::vector<uint8_t> bytes = readFile(script.path);
  if (!isScriptSource(script.path)) return bytes;
  std::string why;
  std::optional<std::string> text =
      scriptSourceText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &why);
  if (!text) throw std::runtime_error(script.path + ": " + why);
  MemorySource source(*text);
  std::unique_ptr<ScriptVM, void (*)(ScriptVM*)> vm(createVM(), destroyVM);
  if (!vm) throw std::runtime_error("out of memory");
  CompileOutput out;
  // The image's header noise comes from the source so that packing is repeatable.
  uint32_t seed = 2166136261u;
  for (uint8_t b : bytes) seed = (seed ^ b) * 16777619u;
  bool ok;
  try {
    ok = compileScript(vm.get(), source, 0, out, nullptr, nullptr, seed | 1);
  } catch (const ScriptError& e) {
    throw std::runtime_error(script.path + ": " + e.what());
  }
  if (ok) return out.image;
  std::string report = compilerReport(script.path, out.messages, true);
  throw std::runtime_error(report.empty() ? script.path + ": does not compile" : report);
}

// Writes the package into `target`, a file of this run's own beside the output.
void writePackage(const Manifest& m, const PackOptions& o, const std::string& target) {
  auto say = [&](const std::string& s) {
    if (o.progress) o.progress(s);
  };
  // Scripts first: a script that does not compile stops the build before anything is written.
  std::vector<std::vector<uint8_t>> scripts;
  for (const auto& s : m.scripts) scripts.push_back(scriptImage(s));
  pe::PeFile runtime(readFile(o.runtime));
  std::vector<pe::Resource> resources = runtime.resources();

  Digest16 opaque = keyedDigest(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("opaque"), 6),
                                std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(m.appId.data()), m.appId.size()));
  put(resources, res::kQuoril, res::kAppId, buildApplicationId(m.appId, opaque));
  std::vector<uint8_t> settings = serializeSettings(m.settings);
  put(resources, res::kQuoril, res::kSettings, encodePackedBlock(settings));
  Digest16 fingerprint = packageFingerprint(settings);
  put(resources, res::kQuoril, res::kFingerprint, std::vector<uint8_t>(fingerprint.begin(), fingerprint.end()));
  put(resources, res::kQuoril, res::kMovieList,
      encodePackedBlock(writeMovieListRecord(m.startMovie, encipherFileKey(m.fileKey))));
  if (!m.playerInstaller.empty()) {
    put(resources, res::kQuoril, res::kPlayerInstaller, encodePackedBlock(writePlayerInstallerRecord(m.playerInstaller)));
  }
  if (!m.masks.empty()) {
    std::vector<Mask> masks;
    for (const auto& f : m.masks) masks.push_back({f.name, readFile(f.path)});
    put(resources, res::kQuoril, res::kMasks, encodePackedBlock(writeMaskSetRecord(masks)));
  }
  for (size_t i = 0; i < m.scripts.size(); i++)
    put(resources, res::kScripts, m.scripts[i].name, encodePackedBlock(scripts[i]));
  if (!m.icon.empty()) pe::replaceIconGroup(resources, 128, readFile(m.icon));
  if (m.hasVersion) {
    pe::VersionInfo info = m.version;
    std::string out = o.output;
    size_t cut = out.find_last_of("\\/");
    info.fileName = cut == std::string::npos ? out : out.substr(cut + 1);
    pe::removeResources(resources, pe::ResId::num(pe::kVersionType), pe::ResId::num(1));
    pe::Resource v;
    v.type = pe::ResId::num(pe::kVersionType);
    v.name = pe::ResId::num(1);
    v.data = pe::versionResource(info);
    resources.push_back(std::move(v));
  }
  std::vector<uint8_t> image = runtime.withResources(resources);
  say("resources: " + std::to_string(resources.size()) + ", program " + megabytes(image.size()));

  File out;
  if (!out.open(target, File::Mode::Create)) throw std::runtime_error("cannot create " + target + ": " + os::lastErrorText());
  if (!out.write(image.data(), image.size())) throw std::runtime_error("cannot write " + target + ": " + os::lastErrorText());
  if (m.archiveFolder.empty()) {
    writeEmptyTrailer(out);
    say("no archive (no files folder)");
    return;
  }
  if (os::isLink(m.archiveFolder)) {
    throw std::runtime_error("the archive folder " + m.archiveFolder + " is a link; links are not followed, name the folder itself");
  }
  ScanState state;
  Node root = scan(m.archiveFolder + (m.archiveFolder.back() == os::kPathSeparator ? "" : std::string(1, os::kPathSeparator)),
                   "Application", 0, state);
  for (const std::string& left : state.leftOut) say("left out: " + left);
  say("archive: " + std::to_string(state.files) + " files, " + megabytes(state.total));
  ArchiveProgress progress(state.total, o.progress);
  ArchiveWriter w(out);
  addTree(w, root, "", progress);
  uint32_t size = w.finish();
  say("archive written: " + megabytes(size) + " packed");
}

}  // namespace

void buildPackage(const Manifest& m, const PackOptions& o) {
  if (!os::isFile(o.runtime)) throw std::runtime_error("no runtime at " + o.runtime);
  checkOutputPath(m, o.runtime, o.output);
  // The package is written beside the output under a name of its own and takes the output's name only
  // when it is whole, so a failed build leaves whatever was there before, and deletes only its own file.
  const std::string partial = o.output + "." + os::newGuidText() + ".partial";
  try {
    writePackage(m, o, partial);
  } catch (...) {
    os::removeFile(partial);
    throw;
  }
  if (!os::replaceFile(partial, o.output)) {
    std::string why = os::lastErrorText();
    os::removeFile(partial);
    throw std::runtime_error("cannot replace " + o.output + ": " + why);
  }
}

}  // namespace vorlo::pack
