#include "tools/pack/packager.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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
#include "tools/pack/pe_resources.h"
#include "tools/pack/win_resources.h"
#include "util/file.h"
#include "util/platform.h"

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

Node scan(const std::string& path, const std::string& name, int depth, uint64_t& total, size_t& files) {
  if (depth > kMaxPackDepth) throw std::runtime_error("folders nested deeper than 64 levels: " + path);
  Node n{name, path, true, 0, {}};
  auto entries = os::listFolder(path);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& e : entries) {
    if (e.name[0] == '.' || e.link) continue;  // hidden files and links stay out
    if (!isSafeFileName(e.name)) throw std::runtime_error("this name cannot be packaged: " + path + e.name);
    std::string child = path + e.name;
    if (e.folder) {
      n.children.push_back(scan(child + os::kPathSeparator, e.name, depth + 1, total, files));
    } else {
      File f;
      if (!f.open(child, File::Mode::Read)) throw std::runtime_error("cannot read " + child);
      n.children.push_back({e.name, child, false, f.size(), {}});
      total += f.size();
      ++files;
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
  if (!isScriptSource(script.path)) return readFile(script.path);
  std::unique_ptr<FileSource> source(FileSource::open(script.path.c_str()));
  if (!source) throw std::runtime_error("cannot read " + script.path);
  std::unique_ptr<ScriptVM, void (*)(ScriptVM*)> vm(createVM(), destroyVM);
  if (!vm) throw std::runtime_error("out of memory");
  CompileOutput out;
  // The image's header noise comes from the source so that packing is repeatable.
  std::vector<uint8_t> text = readFile(script.path);
  uint32_t seed = 2166136261u;
  for (uint8_t b : text) seed = (seed ^ b) * 16777619u;
  bool ok;
  try {
    ok = compileScript(vm.get(), *source, 0, out, nullptr, nullptr, seed | 1);
  } catch (const ScriptError& e) {
    throw std::runtime_error(script.path + ": " + e.what());
  }
  if (ok) return out.image;
  std::string report;
  size_t at = 0;
  while (at < out.messages.size()) {
    size_t end = out.messages.find('\n', at);
    if (end == std::string::npos) end = out.messages.size();
    std::string line = out.messages.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int number = 0;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "error: line %d: %n", &number, &consumed) == 1 && consumed > 0) {
      report += (report.empty() ? "" : "\n") + script.path + ":" + std::to_string(number + 1) + ": " +
                line.substr(size_t(consumed));
    }
  }
  if (report.empty()) report = script.path + ": does not compile";
  throw std::runtime_error(report);
}

void writePackage(const Manifest& m, const PackOptions& o) {
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
  if (!out.open(o.output, File::Mode::Create)) throw std::runtime_error("cannot create " + o.output);
  if (!out.write(image.data(), image.size())) throw std::runtime_error("cannot write " + o.output);
  if (m.archiveFolder.empty()) {
    writeEmptyTrailer(out);
    say("no archive (no files folder)");
    return;
  }
  uint64_t total = 0;
  size_t files = 0;
  Node root = scan(m.archiveFolder + (m.archiveFolder.back() == os::kPathSeparator ? "" : std::string(1, os::kPathSeparator)),
                   "Application", 0, total, files);
  say("archive: " + std::to_string(files) + " files, " + megabytes(total));
  ArchiveProgress progress(total, o.progress);
  ArchiveWriter w(out);
  addTree(w, root, "", progress);
  uint32_t size = w.finish();
  say("archive written: " + megabytes(size) + " packed");
}

}  // namespace

void buildPackage(const Manifest& m, const PackOptions& o) {
  try {
    writePackage(m, o);
  } catch (...) {
    os::removeFile(o.output);
    throw;
  }
}

}  // namespace vorlo::pack
