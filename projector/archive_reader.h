// Reading the appended archive: locating it, walking a folder's entries, finding a name. Every size
// comes from the file and is checked against what encloses it before it is used.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "projector/archive_format.h"
#include "util/file.h"

namespace vorlo::archive {

// A run of entries: a folder's payload.
struct Region {
  uint64_t begin = 0;
  uint64_t end = 0;
};

struct Entry {
  bool folder = false;
  std::string name;        // empty when the stored name is absent or not a plain file name
  std::string storedName;  // as stored, for listings
  Region payload;
};

// Reads the entry header at pos within region. False when the header or the payload it claims does
// not fit in what is left of the region: the walk of that folder ends there.
bool readEntry(File& f, uint64_t pos, const Region& region, Entry& e);

// Calls visit(entry) for each entry of the folder in stored order until it returns false. False when
// an entry header is damaged (it and the rest of the folder cannot be read), true otherwise.
template <typename Visit>
bool walk(File& f, const Region& folder, Visit visit) {
  uint64_t pos = folder.begin;
  Entry e;
  while (pos < folder.end) {
    if (!readEntry(f, pos, folder, e)) return false;
    if (!visit(e)) return true;
    pos = e.payload.end;
  }
  return true;
}

enum class Lookup { Found, Missing, Damaged };

// The entry of the folder whose name equals component ignoring case. Damaged when the folder could
// not be read as far as the name or its end.
Lookup findEntry(File& f, const Region& folder, const std::string& component, Entry& found);

enum class ArchiveState {
  None,     // the trailer says there is no archive (or the file is too short for one)
  Present,  // root receives the root folder's payload
  Damaged,  // the trailer promises an archive that is not there as described
};

// Finds the archive that the trailer at the end of the file describes.
ArchiveState locateArchive(File& f, Region& root);

// Streams a file entry's plain bytes to sink through two 4 KiB buffers. True when the stream ended
// and its CRC matched; false when the data is damaged, a read failed or sink returned false.
// zlibError receives the zlib code of a failed inflate (0 otherwise).
bool inflateEntry(File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink, int& zlibError);

}  // namespace vorlo::archive
