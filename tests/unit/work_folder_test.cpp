#include <gtest/gtest.h>

#include "projector/exceptions.h"
#include "projector/work_folder.h"
#include "tests/unit/test_support.h"
#include "util/platform.h"
#include "util/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vorlo {
namespace {

constexpr char S = os::kPathSeparator;

bool makeFolderLink(const std::string& link, const std::string& target) {
#ifdef _WIN32
  return CreateSymbolicLinkW(toWide(link).c_str(), toWide(target).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) != 0;
#else
  return symlink(target.c_str(), link.c_str()) == 0;
#endif
}

TEST(WorkFolder, IsAGuidFolderInTheTemporaryFolder) {
  std::string w = createWorkFolder();
  ASSERT_TRUE(os::isFolder(w));
  EXPECT_EQ(w.back(), S);
  std::string temp = temporaryFolder();
  ASSERT_EQ(w.rfind(temp, 0), 0u);
  std::string guid = w.substr(temp.size(), w.size() - temp.size() - 1);
  ASSERT_EQ(guid.size(), 38u);
  EXPECT_EQ(guid.front(), '{');
  EXPECT_EQ(guid.back(), '}');
  for (size_t i : {9u, 14u, 19u, 24u}) EXPECT_EQ(guid[i], '-');
  for (char c : guid) EXPECT_TRUE(std::string("{}-0123456789ABCDEF").find(c) != std::string::npos) << guid;
  EXPECT_NE(createWorkFolder(), w) << "two runs share a work folder";
  deleteWorkFolder(w);
  EXPECT_FALSE(os::isFolder(w));
}

TEST(WorkFolder, DeletionRemovesTheTreeButNotWhatLinksPointTo) {
  test::ScratchFolder outside;
  test::writeAll(outside / "keep.txt", test::bytesOf("keep"));
  std::string w = createWorkFolder();
  os::createFolder(w + "a");
  os::createFolder(w + "a" + S + "b");
  test::writeAll(w + "a" + S + "b" + S + "f.txt", test::bytesOf("x"));
  test::writeAll(w + "top.txt", test::bytesOf("y"));
  bool linked = makeFolderLink(w + "a" + S + "link", outside.path());
  deleteWorkFolder(w);
  EXPECT_FALSE(os::isFolder(w));
  EXPECT_TRUE(os::isFile(outside / "keep.txt"));
  if (!linked) GTEST_SKIP() << "this system cannot make folder links; the tree deletion was checked";
}

TEST(WorkFolder, DeletingNothingIsHarmless) {
  deleteWorkFolder("");
  test::ScratchFolder dir;
  deleteWorkFolder(dir / "absent");
  EXPECT_TRUE(os::isFolder(dir.path()));
}

TEST(ScratchNames, SkipNamesThatExist) {
  auto first = makeScratchName(".tmp");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->substr(first->size() - 4), ".tmp");
  EXPECT_EQ(first->rfind(temporaryFolder(), 0), 0u);
  test::writeAll(*first, test::bytesOf("taken"));
  auto second = makeScratchName(".tmp");
  os::removeFile(*first);
  ASSERT_TRUE(second.has_value());
  EXPECT_NE(*second, *first);
}

}  // namespace
}  // namespace vorlo
