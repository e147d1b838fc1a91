#include "tools/pack/manifest.h"

#include <toml++/toml.h>

#include <algorithm>

#include <functional>
#include <map>
#include <optional>

#include "tools/pack/manifest_detail.h"
#include "tools/pack/settings_manifest.h"
#include "util/bytes.h"
#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo::pack {
namespace {

struct Context {
  Manifest& m;
  bool archiveFolderSet = false;
};

std::string stringValue(const toml::node& v, const std::string& key) {
  if (!v.is_string()) throw ManifestError(where(v.source()) + "'" + key + "' must be a text in quotes");
  return *v.value<std::string>();
}

// The components of a relative path written with "/" or "\\".
std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

bool staysInside(const std::string& path) {
  bool absolute = (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
  if (absolute) return false;
  for (const std::string& part : components(path)) {
    if (part == "..") return false;
  }
  return true;
}

// A path of the project: relative to its folder and never leaving it.
std::string inProject(const Manifest& m, const toml::node& v, const std::string& key) {
  std::string written = stringValue(v, key);
  if (!staysInside(written)) {
    throw ManifestError(where(v.source()) + "'" + key + "': \"" + written +
                        "\" is not inside the project folder; give a path relative to it, without \"..\"");
  }
  std::string p = m.projectDir;
  for (const std::string& part : components(written)) p += part + os::kPathSeparator;
  if (p.size() > m.projectDir.size()) p.pop_back();
  return p;
}

std::string existingFile(const Manifest& m, const toml::node& v, const std::string& key) {
  std::string path = inProject(m, v, key);
  if (!os::isFile(path)) throw ManifestError(where(v.source()) + "'" + key + "': no file " + path);
  return path;
}

using Setter = std::function<void(Context&, const toml::node&, const std::string& key)>;
struct Section {
  std::vector<std::pair<const char*, Setter>> keys;  // empty: any key names a file
  std::function<void(Context&, const toml::node&, const std::string& key)> anyKey;
};

const std::map<std::string, Section>& sections() {
  static const std::map<std::string, Section> table = {
      {"application",
       {{{"id", [](Context& c, const toml::node& v, const std::string& k) { c.m.appId = stringValue(v, k); }},
         {"start-movie", [](Context& c, const toml::node& v, const std::string& k) { c.m.startMovie = stringValue(v, k); }},
         {"file-key", [](Context& c, const toml::node& v, const std::string& k) { c.m.fileKey = stringValue(v, k); }},
         {"player-installer",
          [](Context& c, const toml::node& v, const std::string& k) { c.m.playerInstaller = stringValue(v, k); }}},
        {}}},
      {"program",
       {{{"icon", [](Context& c, const toml::node& v, const std::string& k) { c.m.icon = existingFile(c.m, v, k); }},
         {"product-name",
          [](Context& c, const toml::node& v, const std::string& k) { c.m.version.productName = stringValue(v, k); }},
         {"version",
          [](Context& c, const toml::node& v, const std::string& k) {
            std::string text = stringValue(v, k);
            if (!pe::parseVersion(text, c.m.version.version)) {
              throw ManifestError(where(v.source()) + "'version' must be one to four numbers 0-65535 separated by dots, as \"1.2.0.7\"");
            }
            c.m.version.versionText = text;
          }},
         {"company", [](Context& c, const toml::node& v, const std::string& k) { c.m.version.companyName = stringValue(v, k); }},
         {"copyright", [](Context& c, const toml::node& v, const std::string& k) { c.m.version.copyright = stringValue(v, k); }},
         {"description",
          [](Context& c, const toml::node& v, const std::string& k) { c.m.version.description = stringValue(v, k); }}},
        {}}},
      {"archive",
       {{{"folder",
          [](Context& c, const toml::node& v, const std::string& k) {
            c.m.archiveFolder = inProject(c.m, v, k);
            c.archiveFolderSet = true;
            if (!os::isFolder(c.m.archiveFolder)) throw ManifestError(where(v.source()) + "'folder': no folder " + c.m.archiveFolder);
          }}},
        {}}},
      {"scripts",
       {{},
        [](Context& c, const toml::node& v, const std::string& k) { c.m.scripts.push_back({k, existingFile(c.m, v, k)}); }}},
      {"masks",
       {{},
        [](Context& c, const toml::node& v, const std::string& k) { c.m.masks.push_back({k, existingFile(c.m, v, k)}); }}},
  };
  return table;
}

std::string joined(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
  return s;
}

// The file of the archive folder at an archive path, found as the runtime finds it (letter case
// ignored, hidden files and links left out); empty when there is none.
std::string findInArchive(const std::string& archiveFolder, const std::string& archivePath) {
  std::string path = archiveFolder;
  if (path.back() != os::kPathSeparator) path += os::kPathSeparator;
  std::vector<std::string> parts = components(archivePath);
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string match;
    for (const os::FolderEntry& e : os::listFolder(path)) {
      if (e.name[0] != '.' && !e.link && equalsIgnoreCase(e.name, parts[i])) match = e.name;
    }
    if (match.empty()) return {};
    path += match;
    if (i + 1 < parts.size()) path += os::kPathSeparator;
  }
  return parts.empty() || !os::isFile(path) ? std::string() : path;
}

// A mask file: a 32-bit byte count n, then n bytes of region data that begin with their 32-byte
// header (header size 32, rectangle type 1, the rectangle count and the rectangles that follow).
bool isMaskFile(const std::string& path) {
  File f;
  uint8_t head[36];
  if (!f.open(path, File::Mode::Read) || !f.readExact(head, sizeof head)) return false;
  uint64_t n = getLE32(head);
  uint32_t headerSize = getLE32(head + 4), type = getLE32(head + 8), count = getLE32(head + 12);
  return n + 4 == f.size() && headerSize == 32 && type == 1 && 32 + uint64_t(count) * 16 <= n;
}

const toml::node* nodeAt(const toml::table& doc, const char* section, const char* key) {
  const toml::table* t = doc[section].as_table();
  return t ? t->get(key) : nullptr;
}

// What the manifest names must be there: the start movie and the player installer in the archive,
// the window's mask among the masks, every mask file a mask, the icon an icon.
void checkReferences(const toml::table& doc, const Manifest& m) {
  for (const char* key : {"start-movie", "player-installer"}) {
    const toml::node* v = nodeAt(doc, "application", key);
    if (!v) continue;
    std::string archivePath = *v->value<std::string>();
    std::string at = where(v->source()) + "'" + key + "': ";
    if (!staysInside(archivePath) || components(archivePath).empty()) {
      throw ManifestError(at + "\"" + archivePath + "\" is not a path inside the archive folder");
    }
    if (m.archiveFolder.empty()) {
      throw ManifestError(at + "there is no archive to hold \"" + archivePath +
                          "\"; add a files/ folder or name one with [archive] folder");
    }
    if (findInArchive(m.archiveFolder, archivePath).empty()) {
      throw ManifestError(at + "no file \"" + archivePath + "\" in the archive folder " + m.archiveFolder);
    }
  }
  for (const NamedFile& f : m.masks) {
    if (!isMaskFile(f.path)) {
      throw ManifestError(where(nodeAt(doc, "masks", f.name.c_str())->source()) + "'" + f.name + "': " + f.path +
                          " is not a mask file (a 4-byte size, then that many bytes of region data)");
    }
  }
  const std::string& maskName = m.settings.shapeMaskName;
  if (const toml::node* v = nodeAt(doc, "window", "mask"); v && !maskName.empty()) {
    bool known = false;
    std::vector<std::string> names;
    for (const NamedFile& f : m.masks) {
      names.push_back(f.name);
      known = known || f.name == maskName;
    }
    if (!known) {
      throw ManifestError(where(v->source()) + "'mask': no mask named \"" + maskName + "\" in [masks]" +
                          (names.empty() ? std::string("; there are none") : "; masks: " + joined(names)));
    }
  }
  if (m.settings.windowShape == setting::kMaskShape && maskName.empty()) {
    const toml::node* v = nodeAt(doc, "window", "shape");
    throw ManifestError(where(v->source()) + "'shape' = \"mask\" needs a mask: name one of [masks] with mask = \"...\"");
  }
  if (const toml::node* v = nodeAt(doc, "program", "icon")) {
    std::vector<pe::Resource> scratch;
    try {
      File f;
      std::vector<uint8_t> bytes;
      if (f.open(m.icon, File::Mode::Read)) {
        bytes.resize(static_cast<size_t>(f.size()));
        if (!f.readExact(bytes.data(), bytes.size())) bytes.clear();
      }
      pe::replaceIconGroup(scratch, 128, bytes);
    } catch (const std::exception& e) {
      throw ManifestError(where(v->source()) + "'icon': " + m.icon + ": " + e.what());
    }
  }
}

}  // namespace

Manifest loadManifest(const std::string& projectDir) {
  Manifest m;
  m.projectDir = projectDir;
  if (!m.projectDir.empty() && m.projectDir.back() != '/' && m.projectDir.back() != '\\') m.projectDir += os::kPathSeparator;
  const std::string path = m.projectDir + kManifestName;
  if (!os::isFile(path)) throw ManifestError("no " + std::string(kManifestName) + " in " + projectDir);

  // Read as the script sources are (a UTF-8 mark skipped, a CR alone ending a line, UTF-16 refused),
  // so a manifest saved by any editor gives the same lines.
  File file;
  std::string bytes;
  if (file.open(path, File::Mode::Read)) {
    bytes.resize(static_cast<size_t>(file.size()));
    if (!file.readExact(bytes.data(), bytes.size())) bytes.clear(), file.close();
  }
  if (!file.isOpen()) throw ManifestError(path + ": cannot be read: " + os::lastErrorText());
  std::string why;
  std::optional<std::string> text = scriptSourceText(bytes, &why);
  if (!text) throw ManifestError(std::string(kManifestName) + ": " + why);
  toml::table doc;
  try {
    doc = toml::parse(*text, path);
  } catch (const toml::parse_error& e) {
    throw ManifestError(where(e.source()) + std::string(e.description()));
  }

  Context ctx{m};
  m.settings = defaultSettings();
  std::vector<std::string> sectionNames;
  for (const auto& [name, s] : sections()) sectionNames.push_back(name);
  for (const auto& [name, s] : settingSections()) sectionNames.push_back(name);
  std::sort(sectionNames.begin(), sectionNames.end());
  for (auto& n : sectionNames) n = "[" + n + "]";
  for (auto&& [key, node] : doc) {
    std::string name(key.str());
    auto settingsSection = settingSections().find(name);
    if (settingsSection != settingSections().end() && node.is_table()) {
      for (auto&& [k, v] : *node.as_table()) {
        std::string keyName(k.str());
        const auto& keys = settingsSection->second;
        auto found = std::find_if(keys.begin(), keys.end(), [&](const SettingKey& e) { return e.name == keyName; });
        if (found == keys.end()) {
          std::vector<std::string> valid;
          for (const auto& e : keys) valid.push_back(e.name);
          throw ManifestError(where(k.source()) + "unknown key '" + keyName + "' in [" + name + "]; valid keys: " + joined(valid));
        }
        found->apply(m.settings, v);
      }
      continue;
    }
    auto it = sections().find(name);
    if (it == sections().end() || !node.is_table()) {
      throw ManifestError(where(key.source()) + "unknown section '" + name + "'; valid sections: " + joined(sectionNames));
    }
    const Section& sec = it->second;
    for (auto&& [k, v] : *node.as_table()) {
      std::string keyName(k.str());
      if (sec.anyKey) {
        sec.anyKey(ctx, v, keyName);
        continue;
      }
      auto found = std::find_if(sec.keys.begin(), sec.keys.end(), [&](const auto& e) { return keyName == e.first; });
      if (found == sec.keys.end()) {
        std::vector<std::string> valid;
        for (const auto& e : sec.keys) valid.push_back(e.first);
        throw ManifestError(where(k.source()) + "unknown key '" + keyName + "' in [" + name + "]; valid keys: " + joined(valid));
      }
      found->second(ctx, v, keyName);
    }
  }
  if (m.appId.empty()) {
    throw ManifestError(std::string(kManifestName) + ": [application] needs an 'id', as id = \"Company/Product\"");
  }
  if (!ctx.archiveFolderSet && os::isFolder(m.projectDir + "files")) m.archiveFolder = m.projectDir + "files";
  checkReferences(doc, m);
  // The About box and the title speak of the program as its version information does, unless told otherwise.
  ProjectorSettings& st = m.settings;
  auto fill = [](std::optional<std::string>& field, const std::string& value) {
    if (!field && !value.empty()) field = value;
  };
  fill(st.productName, m.version.productName);
  fill(st.version, m.version.versionText);
  fill(st.companyName, m.version.companyName);
  fill(st.rightsNotice, m.version.copyright);
  if (st.caption.empty()) {
    size_t slash = m.appId.find('/');
    st.caption = st.productName ? *st.productName : slash == std::string::npos ? m.appId : m.appId.substr(slash + 1);
    if (st.caption.size() > 259) st.caption.resize(259);
  }
  m.hasVersion = !m.version.productName.empty() || !m.version.versionText.empty() || !m.version.companyName.empty() ||
                 !m.version.copyright.empty() || !m.version.description.empty();
  return m;
}

}  // namespace vorlo::pack
