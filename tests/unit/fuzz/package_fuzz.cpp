// Fuzz target over everything that reads package data: packed blocks, the packed records, the
// settings record, the application identifier, the resource section of a program file and the
// appended archive (through a scratch file). None may crash, hang or read out of bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "projector/app_archive.h"
#include "projector/package_records.h"
#include "projector/packed_block.h"
#include "projector/settings.h"
#include "tools/pack/pe_resources.h"
#include "util/file.h"

using namespace vorlo;

namespace {
const std::string& scratch() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/vorlo-package-fuzz-XXXXXX";
    std::string d = mkdtemp(tmpl);
    return d + "/";
  }();
  return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);

  if (auto decoded = decodePackedBlock(bytes, ReportMode::Quiet)) {
    ProjectorSettings s;
    PackedReader r(*decoded);
    readSettings(r, s);
  }
  ProjectorSettings s;
  PackedReader r(bytes);
  readSettings(r, s);
  MovieList ml;
  readMovieList(bytes, ml);
  readPlayerInstallerPath(bytes);
  verifyApplicationId(bytes);
  std::vector<std::string> names;
  unpackMaskSet(bytes, scratch() + "no-such-folder/", names);

  try {
    pe::PeFile pe(std::vector<uint8_t>(data, data + size));
    auto resources = pe.resources();
    if (size < 4096) pe.withResources(resources);
  } catch (const pe::PeError&) {
  }

  const std::string program = scratch() + "program.exe";
  {
    File f;
    f.open(program, File::Mode::Create);
    f.write(data, size);
  }
  AppArchive archive(scratch() + "work/");
  archive.extractFile(program, "a/b.txt");
  archive.extractFile(program, "");
  return 0;
}
