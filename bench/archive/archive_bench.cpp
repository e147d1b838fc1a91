// Extraction throughput of the appended archive against zlib's own inflate of the same stream, and
// the program's peak memory, for files of several sizes.
//
//   archive_bench [SIZE_MB ...]      (default: 100 400)
#include <sys/resource.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "projector/app_archive.h"
#include "projector/archive_reader.h"
#include "projector/archive_writer.h"
#include "projector/work_folder.h"
#include "util/file.h"
#include "util/platform.h"

using namespace vorlo;
using Clock = std::chrono::steady_clock;

namespace {

long peakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Text-like data that deflate shrinks to about a third, written in 64 KiB pieces.
void makeSource(const std::string& path, uint64_t bytes) {
  static const char* words[] = {"movie ", "frame ", "script ", "vorlo ", "package ", "window ", "archive ", "\r\n", "data ", "42 "};
  File f;
  f.open(path, File::Mode::Create);
  std::vector<char> buf(1 << 16);
  uint32_t x = 12345;
  uint64_t done = 0;
  while (done < bytes) {
    size_t n = 0;
    while (n + 16 < buf.size()) {
      x = x * 1664525u + 1013904223u;
      const char* w = words[(x >> 24) % 10];
      while (*w) buf[n++] = *w++;
      if ((x & 0xFF) < 40) buf[n++] = static_cast<char>('A' + (x >> 8) % 26);
    }
    n = static_cast<size_t>(std::min<uint64_t>(n, bytes - done));
    f.write(buf.data(), n);
    done += n;
  }
}

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// zlib alone: the stored stream read with large buffers and inflated into a file.
double zlibInflate(const std::string& package, const archive::Entry& e, const std::string& out, size_t chunk) {
  File in, dst;
  in.open(package, File::Mode::Read);
  dst.open(out, File::Mode::Create);
  std::vector<uint8_t> ib(chunk), ob(chunk);
  z_stream zs{};
  inflateInit(&zs);
  in.seek(e.payload.begin);
  uint64_t left = e.payload.end - e.payload.begin - 4;
  auto t0 = Clock::now();
  int rc = Z_OK;
  while (left > 0 && rc != Z_STREAM_END) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk));
    in.readExact(ib.data(), n);
    left -= n;
    zs.next_in = ib.data();
    zs.avail_in = static_cast<uInt>(n);
    do {
      zs.next_out = ob.data();
      zs.avail_out = static_cast<uInt>(chunk);
      rc = inflate(&zs, Z_NO_FLUSH);
      dst.write(ob.data(), chunk - zs.avail_out);
    } while (zs.avail_out == 0 && rc != Z_STREAM_END);
  }
  inflateEnd(&zs);
  dst.close();
  return seconds(t0, Clock::now());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint64_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {100, 400};
  std::string dir = temporaryFolder() + "vorlo-archive-bench/";
  deleteWorkFolder(dir);
  os::createFolder(dir);
  std::printf("%8s %10s %14s %18s %19s %12s\n", "size MB", "packed MB", "extract MB/s", "zlib 4K MB/s", "zlib 256K MB/s", "peak RSS MB");
  for (uint64_t mb : sizes) {
    uint64_t bytes = mb << 20;
    std::string source = dir + "big.dat", package = dir + "package.exe";
    makeSource(source, bytes);
    {
      File f;
      f.open(package, File::Mode::Create);
      f.write("MZ-program-stand-in", 19);
      ArchiveWriter w(f);
      w.addFile("big.dat", source);
      w.finish();
    }
    os::removeFile(source);
    File pf;
    pf.open(package, File::Mode::Read);
    archive::Region root;
    archive::Entry e;
    archive::locateArchive(pf, root);
    archive::findEntry(pf, root, "big.dat", e);
    double packedMB = double(e.payload.end - e.payload.begin) / (1 << 20);

    std::string work = dir + "work/";
    os::createFolder(work);
    AppArchive archive(work);
    double best = 1e9, zlib4 = 1e9, zlib256 = 1e9;
    for (int round = 0; round < 3; ++round) {
      deleteWorkFolder(work);
      os::createFolder(work);
      auto t0 = Clock::now();
      std::string got = archive.extractFile(package, "big.dat");
      best = std::min(best, seconds(t0, Clock::now()));
      if (got.empty()) {
        std::fprintf(stderr, "extraction failed\n");
        return 1;
      }
      zlib4 = std::min(zlib4, zlibInflate(package, e, dir + "zlib.out", 4096));
      zlib256 = std::min(zlib256, zlibInflate(package, e, dir + "zlib.out", 256 * 1024));
    }
    std::printf("%8llu %10.1f %14.0f %18.0f %19.0f %12.1f\n", static_cast<unsigned long long>(mb), packedMB, mb / best,
                mb / zlib4, mb / zlib256, peakKiB() / 1024.0);
    std::fflush(stdout);
  }
  deleteWorkFolder(dir);
  return 0;
}
