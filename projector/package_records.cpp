#include "projector/package_records.h"

#include <algorithm>
#include <cstring>

#include "projector/packed_io.h"
#include "projector/safe_name.h"
#include "util/bytes.h"
#include "util/file.h"

namespace vorlo {
namespace {

// The program's own keys. Packages are signed by vorlo-pack and checked by the runtime with the same
// key, so a package cannot be edited by hand without the runtime noticing.
constexpr uint8_t kSignatureKey[32] = {0x5f, 0x1c, 0x93, 0xa7, 0x2e, 0x44, 0xd8, 0x0b, 0x71, 0xc6, 0x39,
                                       0xe2, 0x8d, 0x15, 0x6a, 0xf0, 0x27, 0xbb, 0x4e, 0x90, 0x03, 0x5d,
                                       0xa8, 0x7f, 0xc1, 0x36, 0x6e, 0x19, 0xd4, 0x82, 0x4b, 0xe7};
constexpr uint8_t kFingerprintKey[] = "vorlo package fingerprint v1";
constexpr uint8_t kFileKeyKey[] = "vorlo package file key v1";

std::span<const uint8_t> keyOf(const uint8_t* k, size_t n) { return {k, n}; }

std::array<uint8_t, 256> fileKeyStream() {
  std::array<uint8_t, 256> stream{};
  for (uint8_t block = 0; block < 16; ++block) {
    uint8_t counter[1] = {block};
    Digest16 d = keyedDigest(keyOf(kFileKeyKey, sizeof kFileKeyKey - 1), counter);
    std::memcpy(stream.data() + block * 16, d.data(), 16);
  }
  return stream;
}

}  // namespace

void readMovieList(std::span<const uint8_t> record, MovieList& list) {
  list.entries.clear();
  list.iconFile.clear();
  list.spare.clear();
  list.count = 0;
  PackedReader r(record);
  r.read4(list.count);
  r.readFixedText(list.startMovie);
  r.readBytes(list.fileKey.data(), list.fileKey.size());
}

std::vector<uint8_t> writeMovieListRecord(const std::string& startMovie, const std::array<uint8_t, 260>& fileKey) {
  PackedWriter w;
  w.write4(startMovie.empty() ? 0 : 1);
  w.writeText(std::string_view(startMovie));
  w.writeBytes(fileKey.data(), fileKey.size());
  return w.take();
}

std::array<uint8_t, 260> encipherFileKey(const std::string& keyText) {
  std::array<uint8_t, 260> field{};
  size_t n = std::min<size_t>(keyText.size(), 255);
  std::memcpy(field.data(), keyText.data(), n);
  auto stream = fileKeyStream();
  for (size_t i = 0; i < 256; ++i) field[i] ^= stream[i];
  putLE32(field.data() + 256, static_cast<uint32_t>(n));
  return field;
}

std::string decipherFileKey(const std::array<uint8_t, 260>& field) {
  uint32_t n = getLE32(field.data() + 256);
  if (n > 255) return {};
  auto stream = fileKeyStream();
  std::string text(n, '\0');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(field[i] ^ stream[i]);
  return text;
}

std::optional<std::string> readPlayerInstallerPath(std::span<const uint8_t> record) {
  if (record.size() != kPlayerInstallerRecordSize) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(record.data() + 16);
  return std::string(text, strnlen(text, 260));
}

std::vector<uint8_t> writePlayerInstallerRecord(const std::string& installerPath) {
  std::vector<uint8_t> record(kPlayerInstallerRecordSize, 0);
  std::memcpy(record.data() + 16, installerPath.data(), std::min<size_t>(installerPath.size(), 259));
  return record;
}

std::optional<ApplicationId> verifyApplicationId(std::span<const uint8_t> resource) {
  if (resource.size() <= 32) return std::nullopt;
  size_t signedSize = resource.size() - 16;
  Digest16 expected = keyedDigest(kSignatureKey, resource.first(signedSize));
  if (std::memcmp(expected.data(), resource.data() + signedSize, 16) != 0) return std::nullopt;
  // The text ends at its NUL, and never runs into the two trailing fields.
  const auto* text = reinterpret_cast<const char*>(resource.data());
  std::string whole(text, strnlen(text, resource.size() - 32));
  ApplicationId id;
  size_t slash = whole.find('/');
  if (slash == std::string::npos) {
    id.registryKey = whole;
  } else {
    id.registryKey = whole.substr(0, slash);
    id.profileName = whole.substr(slash + 1);
    id.hasProfileName = true;
  }
  return id;
}

std::vector<uint8_t> buildApplicationId(const std::string& text, const Digest16& opaque) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  out.insert(out.end(), opaque.begin(), opaque.end());
  Digest16 sig = keyedDigest(kSignatureKey, out);
  out.insert(out.end(), sig.begin(), sig.end());
  return out;
}

std::vector<uint8_t> writeMaskSetRecord(const std::vector<Mask>& masks) {
  PackedWriter w;
  w.write4(static_cast<uint32_t>(masks.size()));
  for (const Mask& m : masks) {
    w.writeText(std::string_view(m.name));
    w.write4(static_cast<uint32_t>(m.data.size()));
    w.writeBytes(m.data.data(), m.data.size());
  }
  return w.take();
}

bool unpackMaskSet(std::span<const uint8_t> record, const std::string& workFolder, std::vector<std::string>& names) {
  PackedReader r(record);
  uint32_t count = 0;
  r.read4(count);
  for (uint32_t i = 0; i < count && !r.overrun(); ++i) {
    std::optional<std::string> name;
    r.readText(name);
    uint32_t n = 0;
    r.read4(n);
    if (r.overrun() || n > r.remaining()) return false;
    std::vector<uint8_t> data(n);
    r.readBytes(data.data(), n);
    names.push_back(name.value_or(std::string()));
    if (n == 0 || !name || !isSafeFileName(*name + ".msk")) continue;
    File f;
    if (f.open(workFolder + *name + ".msk", File::Mode::Create)) f.write(data.data(), data.size());
  }
  return !r.overrun();
}

Digest16 packageFingerprint(std::span<const uint8_t> settingsRecord) {
  return keyedDigest(keyOf(kFingerprintKey, sizeof kFingerprintKey - 1), settingsRecord);
}

}  // namespace vorlo
