#include "tools/pack/win_resources.h"

#include <algorithm>
#include <set>

#include "util/bytes.h"
#include "util/text.h"

namespace vorlo::pe {
namespace {

void put16(std::vector<uint8_t>& b, uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void put32(std::vector<uint8_t>& b, uint32_t v) { put16(b, uint16_t(v)), put16(b, uint16_t(v >> 16)); }
void pad4(std::vector<uint8_t>& b) {
  while (b.size() % 4) b.push_back(0);
}
void putText(std::vector<uint8_t>& b, const std::string& s) {
  for (char16_t u : utf8ToUtf16(s)) put16(b, u);
  put16(b, 0);
}

// One node of a version resource: length, value length, type, key, value, children; each part
// starts on a 4-byte boundary relative to the resource.
std::vector<uint8_t> node(const std::string& key, uint16_t type, const std::vector<uint8_t>& value,
                          uint16_t valueLength, const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> b;
  put16(b, 0);
  put16(b, valueLength);
  put16(b, type);
  putText(b, key);
  pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const auto& c : children) {
    pad4(b);
    b.insert(b.end(), c.begin(), c.end());
  }
  putLE16(b.data(), static_cast<uint16_t>(b.size()));
  return b;
}

std::vector<uint8_t> stringNode(const std::string& key, const std::string& value) {
  std::vector<uint8_t> v;
  putText(v, value);
  return node(key, 1, v, static_cast<uint16_t>(utf8ToUtf16(value).size() + 1), {});
}

}  // namespace

void replaceIconGroup(std::vector<Resource>& resources, uint16_t groupId, const std::vector<uint8_t>& ico) {
  if (ico.size() < 6 || getLE16(ico.data()) != 0 || getLE16(ico.data() + 2) != 1) {
    throw PeError("not an icon file");
  }
  uint16_t count = getLE16(ico.data() + 4);
  if (count == 0 || 6 + size_t(count) * 16 > ico.size()) throw PeError("the icon file's directory is damaged");

  // Drop the old group and the images only it used.
  std::set<uint16_t> oldImages;
  if (const Resource* old = findResource(resources, ResId::num(kGroupIconType), ResId::num(groupId))) {
    for (size_t i = 0; 6 + i * 14 + 14 <= old->data.size() && i < getLE16(old->data.data() + 4); ++i) {
      oldImages.insert(getLE16(old->data.data() + 6 + i * 14 + 12));
    }
  }
  removeResources(resources, ResId::num(kGroupIconType), ResId::num(groupId));
  for (uint16_t id : oldImages) {
    bool shared = std::any_of(resources.begin(), resources.end(), [&](const Resource& r) {
      if (!(r.type == ResId::num(kGroupIconType))) return false;
      for (size_t i = 0; 6 + i * 14 + 14 <= r.data.size(); ++i) {
        if (getLE16(r.data.data() + 6 + i * 14 + 12) == id) return true;
      }
      return false;
    });
    if (!shared) removeResources(resources, ResId::num(kIconType), ResId::num(id));
  }
  uint16_t nextId = 1;
  for (const Resource& r : resources) {
    if (r.type == ResId::num(kIconType) && r.name.isNumber) nextId = std::max<uint16_t>(nextId, r.name.number + 1);
  }

  std::vector<uint8_t> group;
  put16(group, 0);
  put16(group, 1);
  put16(group, count);
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* e = ico.data() + 6 + i * 16;
    uint32_t size = getLE32(e + 8), offset = getLE32(e + 12);
    if (uint64_t(offset) + size > ico.size() || size == 0) throw PeError("an image of the icon file runs past its end");
    Resource image;
    image.type = ResId::num(kIconType);
    image.name = ResId::num(nextId);
    image.data.assign(ico.begin() + offset, ico.begin() + offset + size);
    resources.push_back(std::move(image));
    group.insert(group.end(), e, e + 12);  // width .. bytes in resource
    put16(group, nextId++);
  }
  Resource g;
  g.type = ResId::num(kGroupIconType);
  g.name = ResId::num(groupId);
  g.data = std::move(group);
  resources.push_back(std::move(g));
}

bool parseVersion(const std::string& text, uint16_t out[4]) {
  uint16_t parts[4] = {0, 0, 0, 0};
  size_t n = 0, i = 0;
  while (i <= text.size()) {
    if (n == 4) return false;
    size_t j = i;
    uint32_t v = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
      v = v * 10 + uint32_t(text[j] - '0');
      if (v > 65535) return false;
      ++j;
    }
    if (j == i) return false;
    parts[n++] = static_cast<uint16_t>(v);
    if (j == text.size()) break;
    if (text[j] != '.') return false;
    i = j + 1;
  }
  std::copy(parts, parts + 4, out);
  return true;
}

std::vector<uint8_t> versionResource(const VersionInfo& info) {
  const uint16_t* v = info.version;
  std::vector<uint8_t> fixed;
  put32(fixed, 0xFEEF04BD);
  put32(fixed, 0x00010000);
  put32(fixed, uint32_t(v[0]) << 16 | v[1]);
  put32(fixed, uint32_t(v[2]) << 16 | v[3]);
  put32(fixed, uint32_t(v[0]) << 16 | v[1]);
  put32(fixed, uint32_t(v[2]) << 16 | v[3]);
  put32(fixed, 0x3F);       // flags mask
  put32(fixed, 0);          // flags
  put32(fixed, 0x00040004); // Windows NT, 32-bit API
  put32(fixed, 1);          // application
  put32(fixed, 0);
  put32(fixed, 0);
  put32(fixed, 0);

  std::string versionText = info.versionText.empty()
                                ? std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                                      "." + std::to_string(v[3])
                                : info.versionText;
  std::vector<std::vector<uint8_t>> strings;
  auto add = [&](const char* key, const std::string& value) {
    if (!value.empty()) strings.push_back(stringNode(key, value));
  };
  add("CompanyName", info.companyName);
  add("FileDescription", info.description.empty() ? info.productName : info.description);
  add("FileVersion", versionText);
  add("InternalName", info.fileName);
  add("LegalCopyright", info.copyright);
  add("OriginalFilename", info.fileName);
  add("ProductName", info.productName);
  add("ProductVersion", versionText);

  std::vector<uint8_t> translation;
  put16(translation, 0x0409);
  put16(translation, 1200);
  auto table = node("040904B0", 1, {}, 0, strings);
  auto stringInfo = node("StringFileInfo", 1, {}, 0, {table});
  auto var = node("Translation", 0, translation, 4, {});
  auto varInfo = node("VarFileInfo", 1, {}, 0, {var});
  return node("VS_VERSION_INFO", 0, fixed, static_cast<uint16_t>(fixed.size()), {stringInfo, varInfo});
}

}  // namespace vorlo::pe
