// Throughput of FileStream and StringStream against the same work done with the C library in the
// same run: a file of N MB (default 200) written and read in 64 KiB pieces and line by line, and the
// same amounts through a StringStream against a growing memory buffer. Windows only (the classes
// are host classes); run under Wine or Windows:
//   stream_bench.exe [megabytes] [folder]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/embed.h"
#include "host/class_list.h"

namespace {

double now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return double(t.QuadPart) / double(f.QuadPart);
}

constexpr size_t kPiece = 64 * 1024;
constexpr size_t kLineLength = 98;  // plus CR LF: 100 bytes a line

struct Result {
  const char* name;
  double script, c;
};

double runScript(vorlo::Engine* engine, const std::string& text) {
  double start = now();
  if (vorlo::runText(engine, text.data(), text.size()) != 1) {
    std::fprintf(stderr, "script failed: %s\n", vorlo::engineMessage(engine->vm));
    std::exit(1);
  }
  return now() - start;
}

std::string escaped(const std::string& path) {
  std::string out;
  for (char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  std::string folder = argc > 2 ? argv[2] : ".";
  std::string path = folder + "\\stream_bench.bin";
  std::string p = escaped(path);
  size_t pieces = megabytes * 1024 * 1024 / kPiece;
  size_t lines = megabytes * 1024 * 1024 / (kLineLength + 2);
  vorlo::Engine* engine = vorlo::createFullEngine();
  if (!engine) return 1;
  std::string line(kLineLength, 'x');
  std::vector<char> piece(kPiece, 'y');
  std::vector<Result> results;
  char buffer[kPiece + 1];

  // FileStream, 64 KiB pieces.
  Result w{"FileStream write 64 KiB", 0, 0};
  w.script = runScript(engine, "var s = new StringStream(); s.length = 65536; var f = new FileStream(\"" + p +
                                   "\", \"w\"); for (var i = 0; i < " + std::to_string(pieces) + "; i++) f.write(s); f.close();");
  double start = now();
  FILE* f = std::fopen(path.c_str(), "wb");
  for (size_t i = 0; i < pieces; i++) std::fwrite(piece.data(), 1, kPiece, f);
  std::fclose(f);
  w.c = now() - start;
  results.push_back(w);

  Result r{"FileStream read 64 KiB", 0, 0};
  r.script = runScript(engine, "var f = new FileStream(\"" + p + "\", \"r\"); var total = 0; for (;;) { var s = f.read(65536); "
                               "if (s.length == 0) break; total += s.length; } f.close();");
  start = now();
  f = std::fopen(path.c_str(), "rb");
  size_t total = 0;
  for (size_t got; (got = std::fread(buffer, 1, kPiece, f)) > 0;) total += got;
  std::fclose(f);
  r.c = now() - start;
  results.push_back(r);

  // FileStream, lines.
  Result wl{"FileStream writeLine", 0, 0};
  wl.script = runScript(engine, "var t = \"" + line + "\"; var f = new FileStream(\"" + p + "\", \"w\"); for (var i = 0; i < " +
                                    std::to_string(lines) + "; i++) f.writeLine(t); f.close();");
  start = now();
  f = std::fopen(path.c_str(), "wb");
  for (size_t i = 0; i < lines; i++) {
    std::fputs(line.c_str(), f);
    std::fputs("\r\n", f);
  }
  std::fclose(f);
  wl.c = now() - start;
  results.push_back(wl);

  Result rl{"FileStream readLine", 0, 0};
  rl.script = runScript(engine, "var f = new FileStream(\"" + p + "\", \"r\"); var n = 0; for (;;) { var l = f.readLine(); "
                                "if (f.eof) break; n++; } f.close();");
  start = now();
  f = std::fopen(path.c_str(), "rb");
  size_t count = 0;
  while (std::fgets(buffer, sizeof buffer, f)) count++;
  std::fclose(f);
  rl.c = now() - start;
  results.push_back(rl);
  DeleteFileA(path.c_str());

  // StringStream against a growing memory buffer.
  Result sw{"StringStream write+read 64 KiB", 0, 0};
  // (A StringStream takes strings, not other streams: the piece is a 64 KiB string.)
  sw.script = runScript(engine, "var s = \"y\"; while (s.length < 65536) s += s; var m = new StringStream(); for (var i = 0; i < " +
                                    std::to_string(pieces) + "; i++) m.write(s); for (;;) { var p = m.read(65536); if (p.length == 0) break; }");
  start = now();
  {
    std::vector<char> memory;
    for (size_t i = 0; i < pieces; i++) memory.insert(memory.end(), piece.begin(), piece.end());
    for (size_t at = 0; at < memory.size(); at += kPiece) std::memcpy(buffer, memory.data() + at, kPiece);
  }
  sw.c = now() - start;
  results.push_back(sw);

  Result sl{"StringStream writeLine+readLine", 0, 0};
  sl.script = runScript(engine, "var t = \"" + line + "\"; var m = new StringStream(); for (var i = 0; i < " + std::to_string(lines) +
                                    "; i++) m.writeLine(t); for (;;) { var l = m.readLine(); if (m.eof) break; }");
  start = now();
  {
    std::string memory;
    for (size_t i = 0; i < lines; i++) {
      memory += line;
      memory += "\r\n";
    }
    size_t n = 0;
    for (size_t at = 0; at < memory.size();) {
      size_t end = memory.find('\n', at);
      std::string l = memory.substr(at, end - at);
      n += l.size();
      at = end + 1;
    }
    if (n == 0) std::puts("");
  }
  sl.c = now() - start;
  results.push_back(sl);

  std::printf("%zu MB; MB/s (script / C library) and the ratio of the times\n", megabytes);
  for (const Result& x : results)
    std::printf("%-34s %8.1f %8.1f   %5.2fx\n", x.name, megabytes / x.script, megabytes / x.c, x.script / x.c);
  vorlo::destroyEngine(engine);
  return 0;
}
