#include <gtest/gtest.h>

#include "projector/package_records.h"
#include "projector/packed_io.h"
#include "tests/unit/test_support.h"
#include "util/platform.h"

namespace vorlo {
namespace {

TEST(MovieList, ReadsCountStartMovieAndFileKey) {
  auto key = encipherFileKey("secret key");
  auto record = writeMovieListRecord("movies\\intro.swf", key);
  MovieList list;
  list.iconFile = "stale";
  list.entries.push_back({"x", 1});
  readMovieList(record, list);
  EXPECT_EQ(list.count, 1u);
  EXPECT_EQ(list.startMovie, "movies\\intro.swf");
  EXPECT_EQ(list.fileKey, key);
  EXPECT_TRUE(list.iconFile.empty());
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(decipherFileKey(list.fileKey), "secret key");
  EXPECT_NE(std::string(key.begin(), key.begin() + 10), "secret key");
}

TEST(MovieList, EmptyStartMovieAndEmptyKey) {
  MovieList list;
  readMovieList(writeMovieListRecord("", encipherFileKey("")), list);
  EXPECT_EQ(list.startMovie, "");
  EXPECT_EQ(decipherFileKey(list.fileKey), "");
}

TEST(PlayerInstaller, OnlyA276ByteRecordCounts) {
  auto record = writePlayerInstallerRecord("setup\\player.exe");
  EXPECT_EQ(readPlayerInstallerPath(record), "setup\\player.exe");
  record.push_back(0);
  EXPECT_FALSE(readPlayerInstallerPath(record).has_value());
  record.resize(200);
  EXPECT_FALSE(readPlayerInstallerPath(record).has_value());
}

TEST(ApplicationIdentifier, SignatureCoversEveryByteBeforeIt) {
  Digest16 opaque{};
  opaque[3] = 9;
  auto id = buildApplicationId("Acme Soft/Viewer", opaque);
  auto parsed = verifyApplicationId(id);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->registryKey, "Acme Soft");
  EXPECT_EQ(parsed->profileName, "Viewer");
  EXPECT_TRUE(parsed->hasProfileName);

  for (size_t i : {size_t(0), size_t(5), id.size() - 20, id.size() - 1}) {
    auto tampered = id;
    tampered[i] ^= 1;
    EXPECT_FALSE(verifyApplicationId(tampered).has_value()) << "byte " << i;
  }
  EXPECT_FALSE(verifyApplicationId(std::vector<uint8_t>(id.end() - 32, id.end())).has_value());
  EXPECT_FALSE(verifyApplicationId({}).has_value());
}

TEST(ApplicationIdentifier, WithoutSlashTheWholeTextIsTheKey) {
  auto parsed = verifyApplicationId(buildApplicationId("JustAKey", Digest16{}));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->registryKey, "JustAKey");
  EXPECT_FALSE(parsed->hasProfileName);
}

TEST(Masks, UnpackWritesFilesAndListsEveryName) {
  test::ScratchFolder work;
  std::vector<Mask> masks = {{"round", {4, 0, 0, 0, 1, 2, 3, 4}}, {"empty", {}}, {"..\\..\\evil", {1, 2}},
                             {"../up", {1}}, {"CON", {7}}};
  std::vector<std::string> names;
  EXPECT_TRUE(unpackMaskSet(writeMaskSetRecord(masks), work.path(), names));
  EXPECT_EQ(names, (std::vector<std::string>{"round", "empty", "..\\..\\evil", "../up", "CON"}));
  EXPECT_EQ(test::readAll(work / "round.msk"), masks[0].data);
  EXPECT_FALSE(os::isFile(work / "empty.msk"));
  // Names that are not plain file names are listed but never become files anywhere.
  auto entries = os::listFolder(work.path());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "round.msk");
}

TEST(Masks, ARecordCutShortStopsWithoutReadingBeyondIt) {
  test::ScratchFolder work;
  auto record = writeMaskSetRecord({{"a", {1, 2, 3}}, {"b", std::vector<uint8_t>(100, 5)}});
  record.resize(record.size() - 50);
  std::vector<std::string> names;
  EXPECT_FALSE(unpackMaskSet(record, work.path(), names));
  EXPECT_EQ(names, std::vector<std::string>{"a"});
}

TEST(Fingerprint, FollowsTheSettingsRecord) {
  auto a = packageFingerprint(test::bytesOf("settings one"));
  EXPECT_EQ(a, packageFingerprint(test::bytesOf("settings one")));
  EXPECT_NE(a, packageFingerprint(test::bytesOf("settings two")));
}

}  // namespace
}  // namespace vorlo
