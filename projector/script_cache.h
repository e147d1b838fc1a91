// Compiled scripts fetched by name from the VORLO resources, decoded once and kept for the whole run.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "projector/resources.h"

namespace vorlo {

class ScriptResourceCache {
 public:
  explicit ScriptResourceCache(const ResourceSource& source) : source_(source) {}

  // The decoded image of the script resource with that name, or null when there is none or it is
  // damaged (nothing is cached then, so the next request reads the resource again).
  const std::vector<uint8_t>* find(std::string_view name);

  static uint32_t hashName(std::string_view name);

 private:
  static constexpr size_t kBuckets = 17;
  struct Entry {
    std::string name;
    std::vector<uint8_t> image;
    std::unique_ptr<Entry> next;
  };
  const ResourceSource& source_;
  std::unique_ptr<Entry> buckets_[kBuckets];
};

}  // namespace vorlo
