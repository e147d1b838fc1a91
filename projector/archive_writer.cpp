#include "projector/archive_writer.h"

#include <zlib.h>

#include <stdexcept>

#include "projector/archive_format.h"
#include "projector/packed_io.h"
#include "util/bytes.h"

namespace vorlo {
namespace {

void writeOrThrow(File& f, const void* data, size_t n) {
  if (!f.write(data, n)) throw std::runtime_error("cannot write the package file");
}

// Deflates everything that read() supplies into out; returns the CRC-32 of the plain bytes.
uint32_t deflateInto(File& out, const std::function<size_t(uint8_t*, size_t)>& read,
                     const std::function<void(uint64_t)>& progress) {
  z_stream zs{};
  if (deflateInit(&zs, Z_BEST_COMPRESSION) != Z_OK) throw std::runtime_error("deflate cannot start");
  std::vector<uint8_t> in(1 << 16), buf(1 << 16);
  uint32_t crc = 0;
  uint64_t consumed = 0;
  int flush = Z_NO_FLUSH;
  while (flush != Z_FINISH) {
    size_t n = read(in.data(), in.size());
    flush = n < in.size() ? Z_FINISH : Z_NO_FLUSH;
    crc = static_cast<uint32_t>(crc32(crc, in.data(), static_cast<uInt>(n)));
    consumed += n;
    zs.next_in = in.data();
    zs.avail_in = static_cast<uInt>(n);
    do {
      zs.next_out = buf.data();
      zs.avail_out = static_cast<uInt>(buf.size());
      deflate(&zs, flush);
      writeOrThrow(out, buf.data(), buf.size() - zs.avail_out);
    } while (zs.avail_out == 0);
    if (progress) progress(consumed);
  }
  deflateEnd(&zs);
  return crc;
}

}  // namespace

ArchiveWriter::ArchiveWriter(File& out) : out_(out), start_(out.position()) {
  writeOrThrow(out_, archive::kMagic, 4);
  beginEntry(archive::kFolderKind, archive::kRootName);
}

void ArchiveWriter::beginEntry(uint32_t kind, const std::string& name) {
  PackedWriter w;
  w.write4(kind);
  w.writeText(std::string_view(name));
  writeOrThrow(out_, w.bytes().data(), w.bytes().size());
  openSizes_.push_back(out_.position());
  uint8_t zero[4] = {};
  writeOrThrow(out_, zero, 4);
}

void ArchiveWriter::endEntry() {
  uint64_t sizeAt = openSizes_.back();
  openSizes_.pop_back();
  uint64_t end = out_.position();
  uint64_t size = end - sizeAt - 4;
  if (size > UINT32_MAX) throw std::runtime_error("the packaged files exceed 4 GB");
  uint8_t b[4];
  putLE32(b, static_cast<uint32_t>(size));
  if (!out_.seek(sizeAt) || !out_.write(b, 4) || !out_.seek(end)) {
    throw std::runtime_error("cannot write the package file");
  }
}

void ArchiveWriter::beginFolder(const std::string& name) { beginEntry(archive::kFolderKind, name); }

void ArchiveWriter::endFolder() { endEntry(); }

void ArchiveWriter::addFile(const std::string& name, const std::string& sourcePath,
                            const std::function<void(uint64_t)>& progress) {
  File in;
  if (!in.open(sourcePath, File::Mode::Read)) throw std::runtime_error("cannot read " + sourcePath);
  beginEntry(archive::kFileKind, name);
  uint32_t crc = deflateInto(out_, [&](uint8_t* p, size_t n) { return in.read(p, n); }, progress);
  uint8_t b[4];
  putLE32(b, crc);
  writeOrThrow(out_, b, 4);
  endEntry();
}

void ArchiveWriter::addFileData(const std::string& name, std::span<const uint8_t> data) {
  beginEntry(archive::kFileKind, name);
  size_t pos = 0;
  uint32_t crc = deflateInto(
      out_,
      [&](uint8_t* p, size_t n) {
        size_t k = std::min(n, data.size() - pos);
        std::copy_n(data.data() + pos, k, p);
        pos += k;
        return k;
      },
      {});
  uint8_t b[4];
  putLE32(b, crc);
  writeOrThrow(out_, b, 4);
  endEntry();
}

uint32_t ArchiveWriter::finish() {
  while (!openSizes_.empty()) endEntry();
  uint64_t size = out_.position() - start_;
  if (size > UINT32_MAX) throw std::runtime_error("the packaged files exceed 4 GB");
  uint8_t trailer[8];
  putLE32(trailer, static_cast<uint32_t>(size));
  putLE32(trailer + 4, 1);
  writeOrThrow(out_, trailer, 8);
  return static_cast<uint32_t>(size);
}

void writeEmptyTrailer(File& out) {
  uint8_t trailer[8] = {};
  writeOrThrow(out, trailer, 8);
}

}  // namespace vorlo
