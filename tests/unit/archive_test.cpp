#include <gtest/gtest.h>
#include <zlib.h>

#include "projector/app_archive.h"
#include "projector/archive_writer.h"
#include "projector/packed_io.h"
#include "tests/unit/test_support.h"
#include "util/bytes.h"
#include "util/file.h"
#include "util/platform.h"

namespace vorlo {
namespace {

constexpr char S = os::kPathSeparator;

// Hand-made archive pieces, for archives the writer would never produce.
std::vector<uint8_t> entry(uint32_t kind, const std::string& name, const std::vector<uint8_t>& payload,
                           int64_t claimedSize = -1) {
  PackedWriter w;
  w.write4(kind);
  w.writeText(std::string_view(name));
  w.write4(claimedSize < 0 ? static_cast<uint32_t>(payload.size()) : static_cast<uint32_t>(claimedSize));
  w.writeBytes(payload.data(), payload.size());
  return w.take();
}

std::vector<uint8_t> filePayload(const std::string& text, bool goodCrc = true) {
  uLongf bound = compressBound(static_cast<uLong>(text.size()));
  std::vector<uint8_t> z(bound);
  compress(z.data(), &bound, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()));
  z.resize(bound);
  uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  z.resize(z.size() + 4);
  putLE32(z.data() + z.size() - 4, goodCrc ? crc : crc ^ 1);
  return z;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A program file: some bytes standing for the executable, then the archive and its trailer.
std::vector<uint8_t> program(const std::vector<uint8_t>& rootPayload, const std::string& rootName = "Application") {
  auto archive = concat({{'S', 'A', 'F', 0}, entry(1, rootName, rootPayload)});
  std::vector<uint8_t> out(300, 0xCC);
  out.insert(out.end(), archive.begin(), archive.end());
  uint8_t trailer[8];
  putLE32(trailer, static_cast<uint32_t>(archive.size()));
  putLE32(trailer + 4, 1);
  out.insert(out.end(), trailer, trailer + 8);
  return out;
}

std::string text(const std::string& path) {
  auto b = test::readAll(path);
  return {b.begin(), b.end()};
}

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe = dir / "app.exe";
    work = dir / "work";
    os::createFolder(work);
    work += S;
    File f;
    ASSERT_TRUE(f.open(exe, File::Mode::Create));
    f.write("MZ-not-really", 13);
    ArchiveWriter w(f);
    w.beginFolder("movies");
    w.addFileData("intro.swf", test::bytesOf("intro movie"));
    w.beginFolder("extra");
    w.addFileData("deep.txt", test::bytesOf("deep file"));
    w.endFolder();
    w.endFolder();
    w.beginFolder("data");
    w.addFileData("notes.txt", test::bytesOf("notes"));
    w.endFolder();
    w.addFileData("readme.txt", test::bytesOf("top level"));
    w.finish();
  }

  std::string extract(const std::string& path) { return AppArchive(work).extractFile(exe, path); }

  test::ScratchFolder dir;
  std::string exe, work;
};

TEST_F(ArchiveTest, FindsFilesIgnoringCaseWithEitherSeparator) {
  for (const char* request : {"movies\\intro.swf", "MOVIES/INTRO.SWF", "\\movies//intro.swf"}) {
    std::string got = extract(request);
    ASSERT_FALSE(got.empty()) << request;
    EXPECT_EQ(got.rfind(work + "_extra" + S, 0), 0u) << got;
    EXPECT_EQ(text(got), "intro movie") << request;
  }
  EXPECT_EQ(text(extract("movies/extra/deep.txt")), "deep file");
}

TEST_F(ArchiveTest, MissingNamesAndNamesInOtherFoldersAreNotFound) {
  EXPECT_EQ(extract("notes.txt"), "");
  EXPECT_EQ(extract("movies/notes.txt"), "");
  EXPECT_EQ(extract("nothing/intro.swf"), "");
  EXPECT_EQ(extract("../app.exe"), "");
}

TEST_F(ArchiveTest, AFolderIsExtractedWithEverythingBelowIt) {
  std::string got = extract("Movies");
  ASSERT_EQ(got, work + "_extra" + S + "Movies" + S);
  EXPECT_EQ(text(got + "intro.swf"), "intro movie");
  EXPECT_EQ(text(got + "extra" + S + "deep.txt"), "deep file");
  EXPECT_FALSE(os::isFile(work + "_extra" + S + "readme.txt"));
}

TEST_F(ArchiveTest, TheEmptyPathIsTheWholeArchive) {
  std::string got = extract("");
  ASSERT_EQ(got, work + "_extra" + S);
  EXPECT_EQ(text(got + "readme.txt"), "top level");
  EXPECT_EQ(text(got + "data" + S + "notes.txt"), "notes");
  EXPECT_EQ(text(got + "movies" + S + "extra" + S + "deep.txt"), "deep file");
}

TEST_F(ArchiveTest, AnExtractedCopyIsReusedUntilItIsDeleted) {
  std::string first = extract("readme.txt");
  test::writeAll(first, test::bytesOf("changed by the user"));
  EXPECT_EQ(extract("readme.txt"), first);
  EXPECT_EQ(text(first), "changed by the user");
  os::removeFile(first);
  EXPECT_EQ(extract("readme.txt"), first);
  EXPECT_EQ(text(first), "top level");
}

TEST(ArchiveNoArchive, PathsResolveBesideTheProgram) {
  test::ScratchFolder dir;
  os::createFolder(dir / "movies");
  test::writeAll(dir / "movies" + S + "intro.swf", test::bytesOf("loose"));
  std::vector<uint8_t> exe(64, 1);
  exe.insert(exe.end(), 8, 0);  // trailer: present = 0
  test::writeAll(dir / "app.exe", exe);
  AppArchive a(dir / "work" + S);
  EXPECT_EQ(a.extractFile(dir / "app.exe", "\\movies\\intro.swf"), dir / "movies" + S + "intro.swf");
  EXPECT_EQ(a.extractFile(dir / "app.exe", "movies"), dir / "movies");
  EXPECT_EQ(a.extractFile(dir / "app.exe", "movies/none.swf"), "");
  EXPECT_EQ(a.extractFile(dir / "app.exe", "../" + dir.path()), "");
  EXPECT_FALSE(os::isFolder(dir / "work"));
}

TEST(ArchiveDamaged, BrokenHeadersFallBackToTheProgramsFolder) {
  test::ScratchFolder dir;
  test::writeAll(dir / "loose.txt", test::bytesOf("loose"));
  auto good = program(entry(0, "loose.txt", filePayload("packed")));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  auto edit = [&](auto f) {
    auto b = good;
    f(b);
    return b;
  };
  std::vector<Case> cases = {
      {"bad magic", edit([](auto& b) { b[300] = 'X'; })},
      {"archive larger than the file", edit([](auto& b) { putLE32(b.data() + b.size() - 8, 0x7FFFFFFF); })},
      {"archive size too small", edit([](auto& b) { putLE32(b.data() + b.size() - 8, 2); })},
      {"root not named Application", program(entry(0, "loose.txt", filePayload("packed")), "Other")},
      {"root is a file", edit([](auto& b) { b[304] = 0; })},
      {"root claims more than the archive", edit([](auto& b) { putLE32(b.data() + 308 + 24, 0x10000000); })},
      {"shorter than a trailer", {1, 2, 3}},
  };
  for (const auto& c : cases) {
    test::writeAll(dir / "app.exe", c.bytes);
    EXPECT_EQ(AppArchive(dir.path()).extractFile(dir / "app.exe", "loose.txt"), dir / "loose.txt") << c.what;
  }
  test::writeAll(dir / "app.exe", good);
  EXPECT_EQ(text(AppArchive(dir.path()).extractFile(dir / "app.exe", "loose.txt")), "packed");
}

TEST(ArchiveDamaged, ACorruptFileLeavesNothingBehind) {
  test::ScratchFolder dir;
  auto truncatedStream = filePayload("a longer text that deflate has to work on, a longer text");
  truncatedStream.erase(truncatedStream.begin() + 10, truncatedStream.end() - 4);
  test::writeAll(dir / "app.exe",
                 program(concat({entry(0, "badcrc.txt", filePayload("hello", false)),
                                 entry(0, "garbage.txt", {1, 2, 3, 4, 5, 6, 7, 8}),
                                 entry(0, "short.txt", truncatedStream), entry(0, "tiny.txt", {1, 2}),
                                 entry(0, "good.txt", filePayload("fine"))})));
  AppArchive a(dir.path());
  for (const char* name : {"badcrc.txt", "garbage.txt", "short.txt", "tiny.txt"}) {
    EXPECT_EQ(a.extractFile(dir / "app.exe", name), "") << name;
    EXPECT_FALSE(os::isFile(dir / "_extra" + S + name)) << name;
  }
  EXPECT_EQ(text(a.extractFile(dir / "app.exe", "good.txt")), "fine");
}

TEST(ArchiveHostile, NamesThatWouldLeaveTheWorkFolderAreSkipped) {
  test::ScratchFolder dir;
  std::string work = dir / "work" + S;
  os::createFolder(work);
  auto payload = filePayload("evil");
  auto root = concat({entry(0, "..", payload), entry(0, "..\\escaped.txt", payload),
                      entry(0, "../escaped.txt", payload), entry(0, "sub/escaped.txt", payload),
                      entry(0, "C:escaped.txt", payload), entry(0, "CON", payload), entry(0, "nul.txt", payload),
                      entry(0, "com1", payload), entry(0, "dots...", payload), entry(1, "..", entry(0, "x.txt", payload)),
                      entry(0, "fine.txt", filePayload("fine"))});
  test::writeAll(dir / "app.exe", program(root));
  AppArchive a(work);
  for (const char* request : {"..", "..\\escaped.txt", "CON", "nul.txt", "com1", "../x.txt", "dots..."}) {
    EXPECT_EQ(a.extractFile(dir / "app.exe", request), "") << request;
  }
  std::string all = a.extractFile(dir / "app.exe", "");
  ASSERT_EQ(all, work + "_extra" + S);
  auto extracted = os::listFolder(all);
  ASSERT_EQ(extracted.size(), 1u);
  EXPECT_EQ(extracted[0].name, "fine.txt");
  // Nothing appeared next to the work folder or its parent.
  auto besides = os::listFolder(dir.path());
  EXPECT_EQ(besides.size(), 2u);  // app.exe and work
  EXPECT_FALSE(os::isFile(dir / "escaped.txt"));
}

TEST(ArchiveHostile, LyingSizesEndTheWalkOfTheirFolder) {
  test::ScratchFolder dir;
  auto good = entry(0, "good.txt", filePayload("good"));
  auto liar = entry(0, "liar.txt", filePayload("liar"), 0x7FFFFFF0);
  // A name whose count claims far more units than the archive holds.
  std::vector<uint8_t> hugeName = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x0F};
  test::writeAll(dir / "app.exe", program(concat({good, liar, entry(0, "after.txt", filePayload("after"))})));
  AppArchive a(dir.path());
  EXPECT_EQ(text(a.extractFile(dir / "app.exe", "good.txt")), "good");
  EXPECT_EQ(a.extractFile(dir / "app.exe", "liar.txt"), "");
  EXPECT_EQ(a.extractFile(dir / "app.exe", "after.txt"), "");
  test::writeAll(dir / "app.exe", program(concat({good, hugeName})));
  EXPECT_EQ(a.extractFile(dir / "app.exe", "nothing"), "");
}

TEST(ArchiveHostile, DeepNestingIsBounded) {
  test::ScratchFolder dir;
  auto inner = entry(0, "leaf.txt", filePayload("leaf"));
  for (int i = 0; i < 200; ++i) inner = entry(1, "d", inner);
  test::writeAll(dir / "app.exe", program(inner));
  AppArchive a(dir.path());
  std::string all = a.extractFile(dir / "app.exe", "");
  EXPECT_FALSE(all.empty());
}

}  // namespace
}  // namespace vorlo
