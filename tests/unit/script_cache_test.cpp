#include <gtest/gtest.h>

#include <map>

#include "projector/packed_block.h"
#include "projector/resources.h"
#include "projector/script_cache.h"
#include "tests/unit/test_support.h"
#include "util/text.h"

namespace vorlo {
namespace {

// Resources held in memory, counting every look-up.
class CountingResources : public ResourceSource {
 public:
  std::map<std::string, std::vector<uint8_t>> items;  // "TYPE/NAME" in upper case
  mutable int reads = 0;
  std::optional<std::vector<uint8_t>> find(std::string_view type, std::string_view name) const override {
    ++reads;
    auto it = items.find(toUpperAscii(type) + "/" + toUpperAscii(name));
    if (it == items.end()) return std::nullopt;
    return it->second;
  }
};

TEST(ScriptCache, ReadsEachSpellingOnceAndNeverCachesMisses) {
  CountingResources res;
  auto image = test::bytesOf("VS1b...image bytes...");
  res.items["VORLO/INITIALIZE"] = encodePackedBlock(image);
  res.items["VORLO/BROKEN"] = std::vector<uint8_t>(20, 0);
  ScriptResourceCache cache(res);

  const auto* first = cache.find("Initialize");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(*first, image);
  EXPECT_EQ(cache.find("Initialize"), first);
  EXPECT_EQ(res.reads, 1);

  // Another spelling may land in another bucket: it is read and cached once more, with equal bytes.
  const auto* upper = cache.find("INITIALIZE");
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(*upper, image);
  EXPECT_EQ(cache.find("INITIALIZE"), upper);
  int afterSpellings = res.reads;
  EXPECT_LE(afterSpellings, 2);

  EXPECT_EQ(cache.find("Missing"), nullptr);
  EXPECT_EQ(cache.find("Missing"), nullptr);
  EXPECT_EQ(cache.find("Broken"), nullptr);
  EXPECT_EQ(cache.find("Broken"), nullptr);
  EXPECT_EQ(res.reads, afterSpellings + 4);
}

TEST(ScriptCache, NameHash) {
  EXPECT_EQ(ScriptResourceCache::hashName(""), 0u);
  EXPECT_EQ(ScriptResourceCache::hashName("A"), 0x41u);
  // h = ((0x41 << 5) ^ (0x41 >> 7) ^ (0x41 >> 16)) ^ 0x42
  EXPECT_EQ(ScriptResourceCache::hashName("AB"), (0x41u << 5) ^ 0x42u);
  // High bytes count as unsigned.
  EXPECT_EQ(ScriptResourceCache::hashName("\xFF"), 0xFFu);
}

TEST(RawResource, MissingAndEmptyResourcesReadAsAbsent) {
  CountingResources res;
  res.items["QUORIL/CS"] = {};
  EXPECT_FALSE(readRawResource(res, "CS", "QUORIL"));
  EXPECT_FALSE(readRawResource(res, "ID", "QUORIL"));
  EXPECT_FALSE(readPackedResource(res, "ML", "QUORIL"));
}

TEST(RawResource, DescriptionsNameTheResource) {
  EXPECT_EQ(describeResource("ML", "QUORIL"), "the package's movie list (resource ML)");
  EXPECT_EQ(describeResource("st", "quoril"), "the package's settings record (resource ST)");
  EXPECT_EQ(describeResource("Initialize", "VORLO"), "the packaged script \"Initialize\"");
  EXPECT_EQ(describeResource("7", "MENUS"), "the packaged resource MENUS/7");
}

}  // namespace
}  // namespace vorlo
