// The small packaged records: movie list (ML), player installer description (FP), application
// identifier (ID), window-region masks (RG) and the package fingerprint (CS).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "util/digest.h"

namespace vorlo {

struct MovieEntry {
  std::string path;
  uint32_t kind = 0;  // 1 = movie
};

struct MovieList {
  std::vector<MovieEntry> entries;  // nothing fills it; readers find no entries
  std::string startMovie;           // archive path of the first movie
  std::array<uint8_t, 260> fileKey{};
  std::string iconFile;  // 16x16 window-class icon file; empty in packages
  std::string spare;
  uint32_t count = 0;
};

// Fills the list from a decoded ML record: count, startMovie, then the 260 bytes of the file key.
void readMovieList(std::span<const uint8_t> record, MovieList& list);
std::vector<uint8_t> writeMovieListRecord(const std::string& startMovie, const std::array<uint8_t, 260>& fileKey);

// The file key travels enciphered in its first 256 bytes (an HMAC-SHA-256 key stream under the
// program's own key); the last 4 bytes hold the key's length in bytes.
std::array<uint8_t, 260> encipherFileKey(const std::string& keyText);
std::string decipherFileKey(const std::array<uint8_t, 260>& field);

inline constexpr size_t kPlayerInstallerRecordSize = 276;
// The archive path of the packaged player installer; nullopt unless the record has exactly 276 bytes.
std::optional<std::string> readPlayerInstallerPath(std::span<const uint8_t> record);
std::vector<uint8_t> writePlayerInstallerRecord(const std::string& installerPath);

// ID: "<registry key>/<profile name>" NUL-terminated, then a 16-byte opaque field and a 16-byte
// signature (keyed digest of every byte before it).
struct ApplicationId {
  std::string registryKey;
  std::string profileName;  // empty when the text has no slash: the caller supplies its own name
  bool hasProfileName = false;
};
std::optional<ApplicationId> verifyApplicationId(std::span<const uint8_t> resource);
std::vector<uint8_t> buildApplicationId(const std::string& text, const Digest16& opaque);

struct Mask {
  std::string name;
  std::vector<uint8_t> data;
};
std::vector<uint8_t> writeMaskSetRecord(const std::vector<Mask>& masks);
// Appends every mask name to names and writes each mask with data to "<workFolder><name>.msk".
// A name that is not a plain file name is listed but never written. False when the record is cut short.
bool unpackMaskSet(std::span<const uint8_t> record, const std::string& workFolder, std::vector<std::string>& names);

// 16 bytes that follow the packaged settings record: they change exactly when it changes.
Digest16 packageFingerprint(std::span<const uint8_t> settingsRecord);

}  // namespace vorlo
