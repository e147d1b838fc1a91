#include "projector/script_cache.h"

#include "util/text.h"

namespace vorlo {

uint32_t ScriptResourceCache::hashName(std::string_view name) {
  uint32_t h = 0;
  for (unsigned char c : name) h = (h << 5) ^ (h >> 7) ^ (h >> 16) ^ c;
  return h;
}

// The hash sees the letters as written and the comparison ignores case, so one script asked for in
// two spellings is cached twice; both entries hold the same image.
const std::vector<uint8_t>* ScriptResourceCache::find(std::string_view name) {
  auto& head = buckets_[hashName(name) % kBuckets];
  for (Entry* e = head.get(); e; e = e->next.get()) {
    if (equalsIgnoreCase(e->name, name)) return &e->image;
  }
  std::optional<std::vector<uint8_t>> image = readPackedResource(source_, name, res::kScripts);
  if (!image) return nullptr;
  auto entry = std::make_unique<Entry>();
  entry->name = std::string(name);
  entry->image = std::move(*image);
  entry->next = std::move(head);
  head = std::move(entry);
  return &head->image;
}

}  // namespace vorlo
