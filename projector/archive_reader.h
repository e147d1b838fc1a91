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

// Calls visit(entry) for each entry of the folder in stored order until it returns false.
template <typename Visit>
void walk(File& f, const Region& folder, Visit visit) {
  uint64_t pos = folder.begin;
  Entry e;
  while (readEntry(f, pos, folder, e)) {
    if (!visit(e)) return;
    pos = e.payload.end;
  }
}

// The entry of the folder whose name equals component ignoring case.
bool findEntry(File& f, const Region& folder, const std::string& component, Entry& found);

// The root folder's payload when the file carries a well-formed archive.
bool locateArchive(File& f, Region& root);

// Streams a file entry's plain bytes to sink through two 4 KiB buffers. True when the stream ended
// and its CRC matched; false when the data is damaged, a read failed or sink returned false.
// zlibError receives the zlib code of a failed inflate (0 otherwise).
bool inflateEntry(File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink, int& zlibError);

}  // namespace vorlo::archive
