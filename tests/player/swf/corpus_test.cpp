// Every real movie in the project's copies of the conformance corpus (tests/player/visual/cases and
// tests/player/avm1/cases, with their license) and every fuzz seed reads without a warning, except
// the fuzz seeds that are the fuzzer's findings ("finding-*.swf"): those are damaged on purpose and
// only must read.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

TEST(CorpusMovies, ReadWithoutWarnings) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(VORLO_SOURCE_DIR) / "tests" / "player";
  std::vector<fs::path> movies;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file() && entry.path().extension() == ".swf") movies.push_back(entry.path());
  // 21 visual cases and 110 trace cases.
  ASSERT_GE(movies.size(), 131u);
  for (const fs::path& path : movies) {
    SCOPED_TRACE(path.string());
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(bytes.empty());
    std::string error;
    auto m = readMovie(bytes, &error);
    ASSERT_TRUE(m) << error;
    bool finding = path.filename().string().rfind("finding-", 0) == 0;
    if (!finding) {
      EXPECT_TRUE(m->warnings.empty()) << warningsOf(*m);
    }
    EXPECT_GE(m->header.version, 1);
    EXPECT_FALSE(m->timeline.frames.empty());
  }
}

}  // namespace
}  // namespace vorlo::player::testing
