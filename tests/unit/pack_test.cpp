#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "engine/image.h"
#include "projector/app_archive.h"
#include "projector/package_records.h"
#include "projector/packed_block.h"
#include "tests/unit/test_support.h"
#include "tools/pack/manifest.h"
#include "tools/pack/packager.h"
#include "tools/pack/pe_resources.h"
#include "tools/pack/win_resources.h"
#include "util/bytes.h"
#include "util/platform.h"

namespace vorlo {
namespace {

using pe::ResId;
constexpr char S = os::kPathSeparator;

// The smallest program file the loader's layout allows: headers and one code section.
std::vector<uint8_t> minimalProgram(bool pe64) {
  std::vector<uint8_t> b(0x600, 0);
  b[0] = 'M', b[1] = 'Z';
  putLE32(&b[0x3C], 0x40);
  std::copy_n("PE\0\0", 4, &b[0x40]);
  const uint32_t coff = 0x44, opt = coff + 20, optSize = pe64 ? 240 : 224;
  putLE16(&b[coff], pe64 ? 0x8664 : 0x14C);
  putLE16(&b[coff + 2], 1);
  putLE16(&b[coff + 16], static_cast<uint16_t>(optSize));
  putLE16(&b[opt], pe64 ? 0x20B : 0x10B);
  putLE32(&b[opt + 32], 0x1000);
  putLE32(&b[opt + 36], 0x200);
  putLE32(&b[opt + 56], 0x2000);
  putLE32(&b[opt + 60], 0x400);
  putLE32(&b[opt + (pe64 ? 108 : 92)], 16);
  uint8_t* sec = &b[opt + optSize];
  std::copy_n(".text\0\0\0", 8, sec);
  putLE32(sec + 8, 0x10);
  putLE32(sec + 12, 0x1000);
  putLE32(sec + 16, 0x200);
  putLE32(sec + 20, 0x400);
  putLE32(sec + 36, 0x60000020);
  b[0x400] = 0xC3;
  return b;
}

pe::Resource resource(ResId type, ResId name, uint16_t lang, std::string data) {
  pe::Resource r;
  r.type = type;
  r.name = name;
  r.language = lang;
  r.data.assign(data.begin(), data.end());
  return r;
}

// A mask file as the window shape reads it: a 4-byte size, then a region of one 10 x 10 rectangle.
std::string maskFile() {
  std::vector<uint8_t> b(4 + 48, 0);
  putLE32(&b[0], 48);
  putLE32(&b[4], 32);   // header size
  putLE32(&b[8], 1);    // rectangles
  putLE32(&b[12], 1);   // one of them
  putLE32(&b[16], 16);  // their bytes
  putLE32(&b[28], 10), putLE32(&b[32], 10);
  putLE32(&b[44], 10), putLE32(&b[48], 10);
  return std::string(b.begin(), b.end());
}

bool sameResources(std::vector<pe::Resource> a, std::vector<pe::Resource> b) {
  auto key = [](const pe::Resource& r) { return r.type.display() + "/" + r.name.display() + "/" + std::to_string(r.language); };
  auto byKey = [&](const pe::Resource& x, const pe::Resource& y) { return key(x) < key(y); };
  std::sort(a.begin(), a.end(), byKey);
  std::sort(b.begin(), b.end(), byKey);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (key(a[i]) != key(b[i]) || a[i].data != b[i].data) return false;
  }
  return true;
}

TEST(PeResources, WrittenResourcesReadBackInBothProgramWidths) {
  for (bool pe64 : {false, true}) {
    pe::PeFile original(minimalProgram(pe64));
    EXPECT_TRUE(original.resources().empty());
    std::vector<pe::Resource> list = {
        resource(ResId::str("quoril"), ResId::str("ml"), 1033, "movie list"),
        resource(ResId::str("QUORIL"), ResId::str("CS"), 1033, std::string(16, '\x7F')),
        resource(ResId::str("VORLO"), ResId::str("Initialize"), 1033, "image"),
        resource(ResId::num(16), ResId::num(1), 1033, "version"),
        resource(ResId::num(16), ResId::num(1), 1031, "Version"),
        resource(ResId::num(3), ResId::num(2), 1033, std::string(3000, 'i')),
        resource(ResId::num(3), ResId::num(1), 1033, ""),
    };
    std::vector<uint8_t> once = original.withResources(list);
    pe::PeFile written(once);
    EXPECT_EQ(written.is64(), pe64);
    EXPECT_TRUE(sameResources(written.resources(), list)) << "pe64=" << pe64;
    // Names are stored in upper case, where the loader looks for them.
    EXPECT_NE(pe::findResource(written.resources(), ResId::str("VORLO"), ResId::str("INITIALIZE")), nullptr);
    // Rewriting replaces the resource section instead of piling up sections.
    list.pop_back();
    std::vector<uint8_t> twice = written.withResources(list);
    EXPECT_EQ(getLE16(&twice[0x44 + 2]), 2);
    EXPECT_TRUE(sameResources(pe::PeFile(twice).resources(), list));
    // An archive appended to the program is not part of its image.
    std::vector<uint8_t> withTail = twice;
    withTail.insert(withTail.end(), 100, 0xAB);
    pe::PeFile tailed(withTail);
    EXPECT_EQ(tailed.imageEnd(), twice.size());
    EXPECT_EQ(tailed.withResources(list).size(), twice.size());
  }
}

TEST(PeResources, DamagedFilesAreRefusedWithAReason) {
  auto good = pe::PeFile(minimalProgram(false)).withResources({resource(ResId::str("A"), ResId::num(1), 1033, "x")});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  auto edit = [&](auto f) {
    auto b = good;
    f(b);
    return b;
  };
  uint32_t rsrcHeader = 0x44 + 20 + 224 + 40;
  std::vector<Case> cases = {
      {"empty", {}},
      {"not MZ", edit([](auto& b) { b[0] = 'X'; })},
      {"PE header beyond the end", edit([](auto& b) { putLE32(&b[0x3C], 0x7FFFFFF0); })},
      {"section beyond the end", edit([&](auto& b) { putLE32(&b[rsrcHeader + 16], 0x10000000); })},
      {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + 0x500)},
  };
  for (const auto& c : cases) EXPECT_THROW(pe::PeFile{c.bytes}, pe::PeError) << c.what;
  // A resource directory whose entry count runs past its section.
  auto liar = edit([&](auto& b) { putLE16(&b[getLE32(&b[rsrcHeader + 20]) + 14], 0xFFFF); });
  EXPECT_THROW(pe::PeFile(liar).resources(), pe::PeError);
}

TEST(WindowsResources, IconGroupReplacementKeepsOtherGroups) {
  auto ico = [](int images) {
    std::vector<uint8_t> b(6 + 16 * images, 0);
    putLE16(&b[2], 1);
    putLE16(&b[4], static_cast<uint16_t>(images));
    for (int i = 0; i < images; ++i) {
      b[6 + 16 * i] = static_cast<uint8_t>(16 * (i + 1));
      putLE32(&b[6 + 16 * i + 8], 10);
      putLE32(&b[6 + 16 * i + 12], static_cast<uint32_t>(b.size() + 10 * i));
    }
    for (int i = 0; i < images; ++i) b.insert(b.end(), 10, static_cast<uint8_t>('a' + i));
    return b;
  };
  std::vector<pe::Resource> list;
  pe::replaceIconGroup(list, 198, ico(1));
  pe::replaceIconGroup(list, 128, ico(3));
  pe::replaceIconGroup(list, 128, ico(2));
  auto count = [&](uint16_t type) { return std::count_if(list.begin(), list.end(), [&](auto& r) { return r.type == ResId::num(type); }); };
  EXPECT_EQ(count(pe::kGroupIconType), 2);
  EXPECT_EQ(count(pe::kIconType), 3);  // the tray's one and the two new ones
  const pe::Resource* group = pe::findResource(list, ResId::num(pe::kGroupIconType), ResId::num(128));
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(getLE16(group->data.data() + 4), 2);
  for (int i = 0; i < 2; ++i) {
    uint16_t id = getLE16(group->data.data() + 6 + 14 * i + 12);
    const pe::Resource* image = pe::findResource(list, ResId::num(pe::kIconType), ResId::num(id));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->data, std::vector<uint8_t>(10, static_cast<uint8_t>('a' + i)));
  }
  EXPECT_THROW(pe::replaceIconGroup(list, 128, test::bytesOf("GIF89a")), pe::PeError);
}

std::string utf16le(const std::string& s) {
  std::string out;
  for (char c : s) out += c, out += '\0';
  return out;
}

TEST(WindowsResources, VersionResourceCarriesTheTexts) {
  pe::VersionInfo info;
  ASSERT_TRUE(pe::parseVersion("2.5.0.17", info.version));
  info.productName = "Viewer";
  info.companyName = "Acme";
  auto v = pe::versionResource(info);
  std::string s(v.begin(), v.end());
  EXPECT_EQ(getLE16(v.data()), v.size());
  EXPECT_NE(s.find(utf16le("VS_VERSION_INFO")), std::string::npos);
  EXPECT_NE(s.find(utf16le("ProductName") + std::string(4, '\0') + utf16le("Viewer")), std::string::npos);
  EXPECT_NE(s.find(utf16le("2.5.0.17")), std::string::npos);
  size_t fixed = s.find("\xBD\x04\xEF\xFE");
  ASSERT_NE(fixed, std::string::npos);
  EXPECT_EQ(fixed % 4, 0u);
  EXPECT_EQ(getLE32(v.data() + fixed + 8), (2u << 16) | 5u);
  EXPECT_EQ(getLE32(v.data() + fixed + 12), 17u);
  uint16_t parts[4];
  for (const char* bad : {"", "1.", "1..2", "1.2.3.4.5", "70000", "1.x"}) EXPECT_FALSE(pe::parseVersion(bad, parts)) << bad;
}

class PackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime = dir / "vorlo.exe";
    test::writeAll(runtime, minimalProgram(false));
  }
  void write(const std::string& relative, const std::string& text) {
    std::string path = dir.path();
    size_t start = 0;
    for (size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
      path += relative.substr(start, slash - start) + S;
      os::createFolder(path);
    }
    test::writeAll(path + relative.substr(start), test::bytesOf(text));
  }
  std::string manifestError(const std::string& manifest) {
    write("vorlo.toml", manifest);
    try {
      pack::loadManifest(dir.path());
    } catch (const pack::ManifestError& e) {
      return e.what();
    }
    return "(accepted)";
  }
  test::ScratchFolder dir;
  std::string runtime;
};

TEST_F(PackTest, ManifestFaultsNameTheLineAndTheChoices) {
  write("init.vsc", "image");
  struct Case {
    std::string manifest, expected;
  };
  std::vector<Case> cases = {
      {"[application]\nid = \"A/B\"\ncolour = 3\n", "vorlo.toml:3: unknown key 'colour' in [application]; valid keys: id, start-movie, file-key, player-installer"},
      {"[application]\nid = \"A/B\"\n[windw]\n", "vorlo.toml:3: unknown section 'windw'; valid sections: [about], [application], [archive], [behaviour], [input], [masks], [menu], [misc], [program], [scripts], [window]"},
      {"[application]\nid = 7\n", "vorlo.toml:2: 'id' must be a text in quotes"},
      {"[program]\nicon = \"none.ico\"\n", "vorlo.toml:2: 'icon': no file"},
      {"[application]\nid = \"A\"\n[program]\nversion = \"1.2.x\"\n", "vorlo.toml:4: 'version' must be one to four numbers"},
      {"[scripts]\nInitialize = \"missing.vsc\"\n", "vorlo.toml:2: 'Initialize': no file"},
      {"[application]\nid = \"A\"\n[archive]\nfolder = \"nowhere\"\n", "vorlo.toml:4: 'folder': no folder"},
      {"[application]\nstart-movie = \"a.swf\"\n", "vorlo.toml: [application] needs an 'id'"},
      {"[application\nid = \"A\"\n", "vorlo.toml:1: "},
      // Lines end as any editor ends them; UTF-16 is refused by name.
      {"[application]\rid = \"A/B\"\rcolour = 3\r", "vorlo.toml:3: unknown key 'colour'"},
      {"[application]\r\nid = \"A/B\"\r\ncolour = 3\r\n", "vorlo.toml:3: unknown key 'colour'"},
      {"\xEF\xBB\xBF[application]\nid = \"A/B\"\ncolour = 3\n", "vorlo.toml:3: unknown key 'colour'"},
      {std::string("\xFF\xFE[\0a\0", 6), "vorlo.toml: the file is UTF-16 text; save it as UTF-8"},
  };
  for (const auto& c : cases) {
    std::string got = manifestError(c.manifest);
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected) << c.manifest;
  }
  EXPECT_EQ(manifestError("[application]\nid = \"A/B\"\n[scripts]\nInitialize = \"init.vsc\"\n"), "(accepted)");
  EXPECT_EQ(manifestError("[application]\rid = \"A/B\"\r[scripts]\rInitialize = \"init.vsc\"\r"), "(accepted)");
}

TEST_F(PackTest, PackageHoldsTheResourcesAndTheArchiveThatListingShows) {
  write("files/movies/intro.swf", "FWS intro");
  write("files/data/deep/notes.txt", std::string(5000, 'n'));
  write("files/setup/player.exe", "installer");
  write("files/.hidden", "not packed");
  write("init.vsc", "compiled start-up image");
  write("round.msk", maskFile());
  write("vorlo.toml",
        "[application]\nid = \"Acme/Viewer\"\nstart-movie = \"movies/intro.swf\"\nfile-key = \"k3y\"\n"
        "player-installer = \"setup/player.exe\"\n"
        "[program]\nproduct-name = \"Viewer\"\nversion = \"1.2\"\n"
        "[scripts]\nInitialize = \"init.vsc\"\n[masks]\nround = \"round.msk\"\n");
  pack::Manifest m = pack::loadManifest(dir.path());
  std::vector<std::string> progress;
  pack::PackOptions o{runtime, dir / "out.exe", [&](const std::string& l) { progress.push_back(l); }};
  pack::buildPackage(m, o);

  pe::PeFile package = pe::PeFile::fromFile(o.output);
  auto res = package.resources();
  auto get = [&](const char* type, const char* name) {
    const pe::Resource* r = pe::findResource(res, ResId::str(type), ResId::str(name));
    return r ? r->data : std::vector<uint8_t>();
  };
  auto id = verifyApplicationId(get("QUORIL", "ID"));
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(id->registryKey + "/" + id->profileName, "Acme/Viewer");
  EXPECT_EQ(get("QUORIL", "CS").size(), 16u);
  MovieList ml;
  readMovieList(decodePackedBlockOrThrow(get("QUORIL", "ML")), ml);
  EXPECT_EQ(ml.startMovie, "movies/intro.swf");
  EXPECT_EQ(decipherFileKey(ml.fileKey), "k3y");
  EXPECT_EQ(readPlayerInstallerPath(decodePackedBlockOrThrow(get("QUORIL", "FP"))), "setup/player.exe");
  EXPECT_EQ(decodePackedBlockOrThrow(get("VORLO", "INITIALIZE")), test::bytesOf("compiled start-up image"));
  EXPECT_FALSE(get("QUORIL", "RG").empty());
  EXPECT_NE(pe::findResource(res, ResId::num(pe::kVersionType), ResId::num(1)), nullptr);

  // The archive serves the runtime's look-ups.
  os::createFolder(dir / "work");
  AppArchive archive(dir / "work" + S);
  std::string notes = archive.extractFile(o.output, "DATA/deep/NOTES.TXT");
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(test::readAll(notes), test::bytesOf(std::string(5000, 'n')));
  EXPECT_EQ(archive.extractFile(o.output, ".hidden"), "");

  pack::PackageListing described = pack::describePackage(o.output);
  EXPECT_FALSE(described.damaged);
  const std::string& listing = described.text;
  for (const char* expected : {"QUORIL       ID", "application id \"Acme/Viewer\", signed", "start movie \"movies/intro.swf\"",
                               "VORLO        INITIALIZE", "masks: round", "player installer \"setup/player.exe\"",
                               "    data/\n      deep/\n        notes.txt  5000 bytes", "    movies/\n      intro.swf  9 bytes"}) {
    EXPECT_NE(listing.find(expected), std::string::npos) << expected << "\n" << listing;
  }
  ASSERT_FALSE(progress.empty());
  EXPECT_NE(std::find_if(progress.begin(), progress.end(), [](auto& l) { return l.find("movies/intro.swf") != std::string::npos; }),
            progress.end());
}

// A failed build leaves what was at the output before (nothing, or an earlier package) and nothing of
// its own beside it.
TEST_F(PackTest, AFailedBuildLeavesTheOutputAsItWas) {
  write("files/a.txt", "a");
  write("vorlo.toml", "[application]\nid = \"A/B\"\n");
  pack::Manifest m = pack::loadManifest(dir.path());
  test::writeAll(dir / "notaprogram.exe", test::bytesOf("just text"));
  pack::PackOptions o{dir / "notaprogram.exe", dir / "out.exe", {}};
  EXPECT_THROW(pack::buildPackage(m, o), pe::PeError);
  EXPECT_FALSE(os::isFile(o.output));

  o.runtime = runtime;
  pack::buildPackage(m, o);
  const auto earlier = test::readAll(o.output);
  write("init.vos", "while (x {\n");
  write("vorlo.toml", "[application]\nid = \"A/B\"\n[scripts]\nInitialize = \"init.vos\"\n");
  EXPECT_THROW(pack::buildPackage(pack::loadManifest(dir.path()), o), std::runtime_error);
  EXPECT_EQ(test::readAll(o.output), earlier) << "the earlier package was lost";
#ifndef _WIN32
  // Windows itself refuses to make such a file; elsewhere it can lie in a project folder.
  write("files/CON", "device name");
  EXPECT_THROW(pack::buildPackage(m, o), std::runtime_error);
  EXPECT_EQ(test::readAll(o.output), earlier);
#endif
  std::vector<std::string> names;
  for (const auto& e : os::listFolder(dir.path())) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"files", "init.vos", "notaprogram.exe", "out.exe", "vorlo.exe", "vorlo.toml"}));
}

// The output may not be one of the project's files or lie in the archived folder, and a file there
// that is not a package is never replaced; each refusal says why, and the file is as it was.
TEST_F(PackTest, OutputsThatWouldLoseFilesAreRefused) {
  write("files/movie.swf", "FWS");
  write("scripts/init.vos", "while (x {\n");
  write("round.msk", maskFile());
  write("notes.txt", "my notes");
  write("vorlo.toml", "[application]\nid = \"A/B\"\n[scripts]\nInitialize = \"scripts/init.vos\"\n[masks]\nround = \"round.msk\"\n");
  os::createFolder(dir / "sub");
  pack::Manifest m = pack::loadManifest(dir.path());
  struct Case {
    std::string output, expected;
  };
  const std::vector<Case> cases = {
      {dir / "scripts" + S + "init.vos", "is a script of the project"},
      {dir / "vorlo.toml", "is the manifest of the project"},
      {dir / "round.msk", "is a mask of the project"},
      {runtime, "is the runtime of the project"},
      {dir / "files" + S + "app.exe", "lies inside the folder being archived"},
      {dir / "files", "is a folder"},
      {dir / "notes.txt", "exists and is not a package"},
      {dir / "nowhere" + S + "app.exe", "does not exist"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> before = os::isFile(c.output) ? test::readAll(c.output) : std::vector<uint8_t>();
    try {
      pack::buildPackage(m, pack::PackOptions{runtime, c.output, {}});
      ADD_FAILURE() << "packed into " << c.output;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
    if (os::isFile(c.output)) EXPECT_EQ(test::readAll(c.output), before) << c.output;
  }
  EXPECT_FALSE(os::isFile(dir / "files" + S + "app.exe"));
}

// What the archive cannot hold faithfully is refused or left out, and says so.
TEST_F(PackTest, TheArchiveRefusesNamesThatDifferInCaseAndLeavesOutPackagesAndLinks) {
  write("vorlo.toml", "[application]\nid = \"A/B\"\n");
  write("files/readme.txt", "one");
  pack::PackOptions o{runtime, dir / "out.exe", {}};
#ifndef _WIN32
  // Windows' own file names ignore letter case, so there the second name is the first file again.
  write("files/README.TXT", "two");
  try {
    pack::buildPackage(pack::loadManifest(dir.path()), o);
    ADD_FAILURE() << "packed two names the program cannot tell apart";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("README.TXT and "), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("readme.txt differ only in letter case"), std::string::npos) << e.what();
  }
  os::removeFile(dir / "files" + S + "README.TXT");
#endif

  // An earlier package inside the archived folder is left out, and so is a link.
  pack::buildPackage(pack::loadManifest(dir.path()), o);
  std::vector<uint8_t> earlier = test::readAll(o.output);
  test::writeAll(dir / "files" + S + "old.exe", earlier);
#ifndef _WIN32
  ASSERT_EQ(symlink("/etc", (dir / "files" + S + "etc").c_str()), 0);
#endif
  std::vector<std::string> said;
  o.progress = [&](const std::string& line) { said.push_back(line); };
  pack::buildPackage(pack::loadManifest(dir.path()), o);
  std::string listing = pack::describePackage(o.output).text;
  EXPECT_NE(listing.find("readme.txt  3 bytes"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("old.exe"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("etc"), std::string::npos) << listing;
  EXPECT_NE(std::find(said.begin(), said.end(), "left out: " + (dir / "files" + S + "old.exe") + " (a package)"), said.end());

#ifndef _WIN32
  // An archive folder that is itself a link to a folder elsewhere is not followed.
  os::removeFile(dir / "files" + S + "etc");
  ASSERT_EQ(symlink((dir / "files").c_str(), (dir / "linked").c_str()), 0);
  write("vorlo.toml", "[application]\nid = \"A/B\"\n[archive]\nfolder = \"linked\"\n");
  EXPECT_THROW(pack::buildPackage(pack::loadManifest(dir.path()), o), std::runtime_error);
#endif
}

TEST_F(PackTest, ScriptSourcesAreCompiledAndImagesTakenAsTheyAre) {
  write("init.vos", "var ready = 1;\nready + 1\n");
  write("after.vsc", "an image compiled elsewhere");
  write("vorlo.toml", "[application]\nid = \"A/B\"\n[scripts]\nInitialize = \"init.vos\"\nAfterInstall = \"after.vsc\"\n");
  pack::PackOptions o{runtime, dir / "out.exe", {}};
  pack::buildPackage(pack::loadManifest(dir.path()), o);
  auto res = pe::PeFile::fromFile(o.output).resources();
  const pe::Resource* init = pe::findResource(res, ResId::str("VORLO"), ResId::str("INITIALIZE"));
  ASSERT_NE(init, nullptr);
  std::vector<uint8_t> image = decodePackedBlockOrThrow(init->data);
  auto read = readImage(image.data(), image.size());
  ASSERT_TRUE(read);
  ASSERT_EQ(read->functions.size(), 1u);
  EXPECT_EQ(read->functions[0].name, ".main");
  const pe::Resource* after = pe::findResource(res, ResId::str("VORLO"), ResId::str("AFTERINSTALL"));
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(decodePackedBlockOrThrow(after->data), test::bytesOf("an image compiled elsewhere"));

  // Packing again gives the same bytes.
  auto first = test::readAll(o.output);
  pack::buildPackage(pack::loadManifest(dir.path()), o);
  EXPECT_EQ(test::readAll(o.output), first);
}

TEST_F(PackTest, AScriptThatDoesNotCompileStopsTheBuildWithFileAndLine) {
  write("ok.vos", "x = 1;\n");
  write("bad.vos", "x = 1;\n\nwhile (x {\n}\n");
  write("vorlo.toml", "[application]\nid = \"A/B\"\n[scripts]\nInitialize = \"ok.vos\"\nBroken = \"bad.vos\"\n");
  pack::PackOptions o{runtime, dir / "out.exe", {}};
  try {
    pack::buildPackage(pack::loadManifest(dir.path()), o);
    FAIL() << "built a package with a broken script";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), (dir / "bad.vos") + ":3: syntax error: missing ) after condition");
  }
  EXPECT_FALSE(os::isFile(o.output));
}

// Damage is listed as damage and marks the listing, whatever is damaged.
TEST_F(PackTest, ListingDamageMarksIt) {
  write("files/a.txt", std::string(2000, 'a'));
  write("files/b.txt", "bee");
  write("vorlo.toml", "[application]\nid = \"A/B\"\n");
  pack::PackOptions o{runtime, dir / "out.exe", {}};
  pack::buildPackage(pack::loadManifest(dir.path()), o);
  const auto good = test::readAll(o.output);
  EXPECT_FALSE(pack::describePackage(o.output).damaged);
  auto nameAt = [&](const std::string& name) {
    std::u16string units(name.begin(), name.end());
    auto it = std::search(good.begin(), good.end(), reinterpret_cast<const uint8_t*>(units.data()),
                          reinterpret_cast<const uint8_t*>(units.data() + units.size()));
    return static_cast<size_t>(it - good.begin());
  };
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"a stream", [](auto& b) { b[b.size() - 40] ^= 0xFF; }, "DAMAGED"},
      {"a size field", [&](auto& b) { putLE32(&b[nameAt("b.txt") + 12], 0x7FFFFFFF); }, "DAMAGED entry"},
      {"a cut", [](auto& b) { b.resize(b.size() - 100); }, "Archive: DAMAGED"},
  };
  for (const Case& c : cases) {
    auto bytes = good;
    c.damage(bytes);
    test::writeAll(o.output, bytes);
    pack::PackageListing listing = pack::describePackage(o.output);
    EXPECT_TRUE(listing.damaged) << c.what << "\n" << listing.text;
    EXPECT_NE(listing.text.find(c.expected), std::string::npos) << c.what << "\n" << listing.text;
  }
}

// References that point nowhere are manifest errors with their line; nothing is written.
TEST_F(PackTest, ReferencesThatPointNowhereAreRefused) {
  write("files/movies/intro.swf", "FWS");
  write("round.msk", maskFile());
  write("not-a-mask.msk", "mask bytes");
  write("init.vos", "x = 1;\n");
  write("bad.ico", "not an icon");
  const std::string head = "[application]\nid = \"A/B\"\n";
  struct Case {
    std::string body, expected;
  };
  const std::vector<Case> cases = {
      {"start-movie = \"movies/outro.swf\"\n", "vorlo.toml:3: 'start-movie': no file \"movies/outro.swf\" in the archive folder"},
      {"start-movie = \"../../etc/passwd\"\n", "vorlo.toml:3: 'start-movie': \"../../etc/passwd\" is not a path inside the archive folder"},
      {"player-installer = \"setup.exe\"\n", "vorlo.toml:3: 'player-installer': no file \"setup.exe\""},
      {"[window]\nmask = \"square\"\n[masks]\nround = \"round.msk\"\n", "vorlo.toml:4: 'mask': no mask named \"square\" in [masks]; masks: round"},
      {"[window]\nshape = \"mask\"\n", "vorlo.toml:4: 'shape' = \"mask\" needs a mask"},
      {"[masks]\nround = \"not-a-mask.msk\"\n", "vorlo.toml:4: 'round': "},
      {"[scripts]\nInitialize = \"../../../etc/hostname\"\n", "vorlo.toml:4: 'Initialize': \"../../../etc/hostname\" is not inside the project folder"},
      {"[archive]\nfolder = \"/etc\"\n", "vorlo.toml:4: 'folder': \"/etc\" is not inside the project folder"},
      {"[program]\nicon = \"bad.ico\"\n", "vorlo.toml:4: 'icon': "},
  };
  for (const Case& c : cases) {
    std::string got = manifestError(head + c.body);
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected) << c.body << "\n" << got;
  }
  EXPECT_NE(manifestError(head + "[program]\nicon = \"bad.ico\"\n").find("bad.ico"), std::string::npos);
  EXPECT_EQ(manifestError(head + "start-movie = \"MOVIES/Intro.SWF\"\n[window]\nshape = \"mask\"\nmask = \"round\"\n"
                                 "[masks]\nround = \"round.msk\"\n"),
            "(accepted)");
}

}  // namespace
}  // namespace vorlo

namespace vorlo {
namespace {

TEST_F(PackTest, SettingsFromTheManifestWithAuthorsDefaults) {
  write("vorlo.toml",
        "[application]\nid = \"Acme/Viewer\"\n[program]\nproduct-name = \"Viewer\"\nversion = \"2.0\"\n"
        "[window]\nshape = \"transparent\"\nborder = [\"single\", \"small-caption\"]\nsize = \"custom\"\nwidth = 640\nheight = 480\n"
        "position = \"bottom-right\"\n"
        "[input]\nleft-click = \"drag\"\nexit-keys = [\"esc\", \"hot-key\"]\nhot-key = \"Ctrl+Alt+F4\"\n"
        "[behaviour]\nalways-on-top = true\nauto-play = false\n"
        "[misc]\nbackground-color = \"#285AC8\"\nhelp-file = \"help/guide.chm\"\n"
        "[about]\nmail-address = \"me@example.org\"\nweb-link-font = { face = \"Tahoma\", height = 12, bold = true }\n");
  const ProjectorSettings s = pack::loadManifest(dir.path()).settings;
  EXPECT_EQ(s.windowShape, 1u);
  EXPECT_EQ(s.borderStyle, 0x1010u);
  EXPECT_EQ(s.borderIcons, 0x111u) << "default icons kept";
  EXPECT_EQ(s.scaleMode, 0x1u);
  EXPECT_EQ(s.windowSize, 3u);
  EXPECT_EQ(s.customWidth, 640);
  EXPECT_EQ(s.customHeight, 480);
  EXPECT_EQ(s.pos, 8u);
  EXPECT_EQ(s.lBtnClk, 1u);
  EXPECT_EQ(s.exitKeys, 0x11u);
  EXPECT_EQ(s.hotKeyCode, 0x73);
  EXPECT_EQ(s.hotKeyModifiers, 0x6);
  EXPECT_EQ(s.behaviour, 0x100u);
  EXPECT_EQ(s.miscFlags, 0x1001u);
  EXPECT_EQ(s.backgroundColor, 0x00C85A28u);
  EXPECT_EQ(s.helpFile, "help/guide.chm");
  EXPECT_EQ(s.caption, "Viewer");
  EXPECT_EQ(s.productName, "Viewer");
  EXPECT_EQ(s.version, "2.0");
  EXPECT_EQ(s.mailAddress, "me@example.org");
  EXPECT_EQ(s.webLinkFont.faceName, "Tahoma");
  EXPECT_EQ(s.webLinkFont.height, -12);
  EXPECT_EQ(s.webLinkFont.weight, 700);

  write("vorlo.toml", "[application]\nid = \"Acme/Viewer\"\n");
  const ProjectorSettings d = pack::loadManifest(dir.path()).settings;
  EXPECT_EQ(d.windowShape, 0u);
  EXPECT_EQ(d.borderStyle, 0x100u);
  EXPECT_EQ(d.borderIcons, 0x111u);
  EXPECT_EQ(d.windowSize, 0u);
  EXPECT_EQ(d.pos, 4u);
  EXPECT_EQ(d.behaviour, 0x1u);
  EXPECT_EQ(d.caption, "Viewer");
}

TEST_F(PackTest, BadSettingValuesNameTheLineAndTheChoices) {
  struct Case {
    std::string body, expected;
  };
  std::vector<Case> cases = {
      {"[window]\nshape = \"round\"\n", "vorlo.toml:5: 'shape' cannot be \"round\"; choose one of: rectangle, transparent, mask"},
      {"[window]\npositon = \"top-left\"\n", "vorlo.toml:5: unknown key 'positon' in [window]; valid keys: shape, mask, border, icons, scale, caption"},
      {"[window]\nicons = \"minimize\"\n", "vorlo.toml:5: 'icons' must be a list such as [\"maximize\"]; names: maximize, minimize, system-menu, help"},
      {"[window]\nicons = [\"minimise\"]\n", "vorlo.toml:5: 'icons' cannot be \"minimise\"; choose one of: maximize, minimize, system-menu, help"},
      {"[window]\nwidth = 70000\n", "vorlo.toml:5: 'width' must be a whole number from 0 to 65535"},
      {"[behaviour]\nauto-play = \"yes\"\n", "vorlo.toml:5: 'auto-play' must be true or false"},
      {"[misc]\nbackground-color = \"blue\"\n", "vorlo.toml:5: 'background-color' must be a colour written as \"#RRGGBB\""},
      {"[input]\nhot-key = \"Hyper+Q\"\n", "vorlo.toml:5: 'hot-key' must be modifiers and a key such as \"Ctrl+Shift+Q\""},
      {"[about]\nweb-link-font = { face = \"Arial\", size = 9 }\n", "vorlo.toml:5: unknown font key 'size'; valid keys: face, height, bold, italic, underline"},
  };
  for (const auto& c : cases) {
    std::string got = manifestError("[application]\nid = \"A/B\"\n\n" + c.body);
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected) << c.body;
  }
}

TEST_F(PackTest, FingerprintFollowsTheSettings) {
  auto fingerprintOf = [&](const std::string& caption) {
    write("vorlo.toml", "[application]\nid = \"A/B\"\n[window]\ncaption = \"" + caption + "\"\n");
    pack::PackOptions o{runtime, dir / "out.exe", {}};
    pack::buildPackage(pack::loadManifest(dir.path()), o);
    auto res = pe::PeFile::fromFile(o.output).resources();
    return pe::findResource(res, ResId::str("QUORIL"), ResId::str("CS"))->data;
  };
  auto one = fingerprintOf("one");
  EXPECT_EQ(fingerprintOf("one"), one) << "the same settings, the same fingerprint";
  EXPECT_NE(fingerprintOf("two"), one);
  EXPECT_NE(pack::describePackage(dir / "out.exe").text.find("window.caption = \"two\""), std::string::npos);
}

}  // namespace
}  // namespace vorlo
