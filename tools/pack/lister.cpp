// "vorlo-pack --list": what a package holds, decoded where the package format defines it.
#include <cstdio>
#include <sstream>

#include "projector/archive_reader.h"
#include "projector/package_records.h"
#include "projector/packed_block.h"
#include "projector/packed_io.h"
#include "projector/resources.h"
#include "tools/pack/packager.h"
#include "tools/pack/pe_resources.h"
#include "tools/pack/settings_manifest.h"
#include "projector/settings.h"
#include "util/bytes.h"
#include "util/file.h"

namespace vorlo::pack {
namespace {

const char* standardTypeName(uint16_t t) {
  switch (t) {
    case 3: return "ICON";
    case 4: return "MENU";
    case 5: return "DIALOG";
    case 6: return "STRING";
    case 9: return "ACCELERATOR";
    case 14: return "GROUP_ICON";
    case 16: return "VERSION";
    case 24: return "MANIFEST";
    default: return nullptr;
  }
}

std::string typeName(const pe::ResId& t) {
  if (t.isNumber && standardTypeName(t.number)) return standardTypeName(t.number);
  return t.display();
}

// A short account of a package resource's content.
std::string detail(const pe::Resource& r) {
  if (r.type.isNumber) return {};
  std::string type = r.type.display(), name = r.name.display();
  if (type == res::kQuoril && name == res::kAppId) {
    auto id = verifyApplicationId(r.data);
    if (!id) return "application id: signature does not match";
    return "application id \"" + id->registryKey + (id->hasProfileName ? "/" + id->profileName : "") + "\", signed";
  }
  if (type == res::kQuoril && name == res::kFingerprint) return "fingerprint";
  auto decoded = decodePackedBlock(r.data, ReportMode::Quiet);
  std::string packed = decoded ? std::to_string(decoded->size()) + " bytes unpacked" : "damaged packed block";
  if (!decoded) return packed;
  if (type == res::kQuoril && name == res::kSettings) {
    ProjectorSettings s;
    PackedReader rd(*decoded);
    readSettings(rd, s);
    std::string lines;
    std::istringstream in(describeSettings(s));
    for (std::string line; std::getline(in, line);) lines += "\n      " + line;
    return packed + (rd.overrun() ? ", cut short" : "") + ", settings:" + lines;
  }
  if (type == res::kQuoril && name == res::kMovieList) {
    MovieList ml;
    readMovieList(*decoded, ml);
    return packed + ", start movie \"" + ml.startMovie + "\"" + (decipherFileKey(ml.fileKey).empty() ? "" : ", file key set");
  }
  if (type == res::kQuoril && name == res::kPlayerInstaller) {
    auto p = readPlayerInstallerPath(*decoded);
    return packed + (p ? ", player installer \"" + *p + "\"" : ", ignored (not 276 bytes)");
  }
  if (type == res::kQuoril && name == res::kMasks) {
    PackedReader rd(*decoded);
    uint32_t count = 0;
    rd.read4(count);
    std::string names;
    for (uint32_t i = 0; i < count && !rd.overrun(); ++i) {
      std::optional<std::string> n;
      rd.readText(n);
      uint32_t size = 0;
      rd.read4(size);
      if (size > rd.remaining()) break;
      std::vector<uint8_t> skip(size);
      rd.readBytes(skip.data(), size);
      names += (names.empty() ? "" : ", ") + n.value_or("");
    }
    return packed + ", masks: " + names;
  }
  return packed;
}

// A file entry's plain size, checked by inflating it without writing; -1 when it is damaged.
int64_t plainSize(File& f, const archive::Entry& e) {
  int64_t total = 0;
  int zlibError = 0;
  bool good = archive::inflateEntry(
      f, e,
      [&](const uint8_t*, size_t n) {
        total += static_cast<int64_t>(n);
        return true;
      },
      zlibError);
  return good ? total : -1;
}

void listFolder(File& f, const archive::Region& folder, int depth, std::ostringstream& out) {
  std::vector<archive::Entry> entries;
  archive::walk(f, folder, [&](const archive::Entry& e) {
    entries.push_back(e);
    return true;
  });
  for (const auto& e : entries) {
    std::string indent(2 * depth + 2, ' ');
    std::string name = e.storedName + (e.name.empty() ? "  (unusable name, never extracted)" : "");
    uint64_t stored = e.payload.end - e.payload.begin;
    if (e.folder) {
      out << indent << name << "/\n";
      if (depth < archive::kMaxDepth) listFolder(f, e.payload, depth + 1, out);
    } else {
      int64_t plain = plainSize(f, e);
      out << indent << name << "  " << (plain < 0 ? std::string("DAMAGED") : std::to_string(plain) + " bytes") << " ("
          << stored << " packed)\n";
    }
  }
}

}  // namespace

std::string describePackage(const std::string& path) {
  pe::PeFile pe = pe::PeFile::fromFile(path);
  std::ostringstream out;
  auto resources = pe.resources();
  out << "Resources (" << resources.size() << "):\n";
  char line[160];
  for (const auto& r : resources) {
    std::snprintf(line, sizeof line, "  %-12s %-14s lang %-5u %9zu bytes", typeName(r.type).c_str(),
                  r.name.display().c_str(), r.language, r.data.size());
    std::string d = detail(r);
    out << line << (d.empty() ? "" : "  " + d) << "\n";
  }
  File f;
  if (!f.open(path, File::Mode::Read)) throw std::runtime_error("cannot read " + path);
  archive::Region root;
  if (archive::locateArchive(f, root) != archive::ArchiveState::Present) {
    out << "Archive: none (files are looked for beside the program)\n";
  } else {
    out << "Archive (" << (root.end - root.begin) << " bytes):\n  Application/\n";
    listFolder(f, root, 1, out);
  }
  return out.str();
}

}  // namespace vorlo::pack
