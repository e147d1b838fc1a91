#include "tools/pack/manifest.h"

#include <toml++/toml.h>

#include <algorithm>

#include <functional>
#include <map>

#include "tools/pack/manifest_detail.h"
#include "tools/pack/settings_manifest.h"
#include "util/platform.h"

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

std::string inProject(const Manifest& m, const std::string& relative) {
  std::string p = relative;
  for (char& c : p) {
    if (c == '/' || c == '\\') c = os::kPathSeparator;
  }
  bool absolute = (!p.empty() && p[0] == os::kPathSeparator) || (p.size() > 1 && p[1] == ':');
  return absolute ? p : m.projectDir + p;
}

std::string existingFile(const Manifest& m, const toml::node& v, const std::string& key) {
  std::string path = inProject(m, stringValue(v, key));
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
            c.m.archiveFolder = inProject(c.m, stringValue(v, k));
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

}  // namespace

Manifest loadManifest(const std::string& projectDir) {
  Manifest m;
  m.projectDir = projectDir;
  if (!m.projectDir.empty() && m.projectDir.back() != '/' && m.projectDir.back() != '\\') m.projectDir += os::kPathSeparator;
  const std::string path = m.projectDir + kManifestName;
  if (!os::isFile(path)) throw ManifestError("no " + std::string(kManifestName) + " in " + projectDir);

  toml::table doc;
  try {
    doc = toml::parse_file(path);
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
