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

// A short account of a package resource's content; damaged is set when it cannot be used.
std::string detail(const pe::Resource& r, bool& damaged) {
  if (r.type.isNumber) return {};
  std::string type = r.type.display(), name = r.name.display();
  if (type == res::kQuoril && name == res::kAppId) {
    auto id = verifyApplicationId(r.data);
    if (!id) {
      damaged = true;
      return "DAMAGED: application id signature does not match";
    }
    return "application id \"" + id->registryKey + (id->hasProfileName ? "/" + id->profileName : "") + "\", signed";
  }
  if (type == res::kQuoril && name == res::kFingerprint) return "fingerprint";
  std::string fault;
  std::optional<std::vector<uint8_t>> decoded;
  try {
    decoded = decodePackedBlockOrThrow(r.data);
  } catch (const std::exception& e) {
    fault = e.what();  // listed below as the resource's damage
  }
  if (!decoded) {
    damaged = true;
    return "DAMAGED packed block: " + fault;
  }
  std::string packed = std::to_string(decoded->size()) + " bytes unpacked";
  if (type == res::kQuoril && name == res::kSettings) {
    ProjectorSettings s;
    PackedReader rd(*decoded);
    readSettings(rd, s);
    std::string lines;
    std::istringstream in(describeSettings(s));
    for (std::string line; std::getline(in, line);) lines += "\n      " + line;
    if (rd.overrun()) damaged = true;
    return packed + (rd.overrun() ? ", DAMAGED: cut short" : "") + ", settings:" + lines;
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

void listFolder(File& f, const archive::Region& folder, int depth, std::ostringstream& out, bool& damaged) {
  std::vector<archive::Entry> entries;
  bool whole = archive::walk(f, folder, [&](const archive::Entry& e) {
    entries.push_back(e);
    return true;
  });
  std::string indent(2 * depth + 2, ' ');
  for (const auto& e : entries) {
    std::string name = e.storedName + (e.name.empty() ? "  (unusable name, never extracted)" : "");
    uint64_t stored = e.payload.end - e.payload.begin;
    if (e.folder) {
      out << indent << name << "/\n";
      if (depth < archive::kMaxDepth) listFolder(f, e.payload, depth + 1, out, damaged);
    } else {
      int64_t plain = plainSize(f, e);
      if (plain < 0) damaged = true;
      out << indent << name << "  " << (plain < 0 ? std::string("DAMAGED") : std::to_string(plain) + " bytes") << " ("
          << stored << " packed)\n";
    }
  }
  if (!whole) {
    damaged = true;
    out << indent << "DAMAGED entry (its kind, name or size field is wrong); the rest of this folder cannot be read\n";
  }
}

}  // namespace

PackageListing describePackage(const std::string& path) {
  pe::PeFile pe = pe::PeFile::fromFile(path);
  std::ostringstream out;
  PackageListing listing;
  auto resources = pe.resources();
  out << "Resources (" << resources.size() << "):\n";
  char line[160];
  for (const auto& r : resources) {
    std::snprintf(line, sizeof line, "  %-12s %-14s lang %-5u %9zu bytes", typeName(r.type).c_str(),
                  r.name.display().c_str(), r.language, static_cast<size_t>(r.data.size()));
    std::string d = detail(r, listing.damaged);
    out << line << (d.empty() ? "" : "  " + d) << "\n";
  }
  File f;
  if (!f.open(path, File::Mode::Read)) throw std::runtime_error("cannot read " + path);
  archive::Region root;
  switch (archive::locateArchive(f, root)) {
    case archive::ArchiveState::None:
      out << "Archive: none (files are looked for beside the program)\n";
      break;
    case archive::ArchiveState::Damaged:
      listing.damaged = true;
      out << "Archive: DAMAGED (the trailer at the end of the file describes an archive that is not there; "
             "the file may be cut short)\n";
      break;
    case archive::ArchiveState::Present:
      out << "Archive (" << (root.end - root.begin) << " bytes):\n  Application/\n";
      listFolder(f, root, 1, out, listing.damaged);
      break;
  }
  listing.text = out.str();
  return listing;
}

}  // namespace vorlo::pack
