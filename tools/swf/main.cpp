// vorlo-swf IN.txt -o OUT.swf: builds a SWF movie from the assembler's text form.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/swf/assembler.h"

int main(int argc, char** argv) {
  std::string in, out;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      std::puts("usage: vorlo-swf IN.txt -o OUT.swf");
      return 0;
    } else if (in.empty()) {
      in = arg;
    } else {
      std::fprintf(stderr, "vorlo-swf: unexpected argument '%s'\n", arg.c_str());
      return 2;
    }
  }
  if (in.empty() || out.empty()) {
    std::fprintf(stderr, "usage: vorlo-swf IN.txt -o OUT.swf\n");
    return 2;
  }
  std::ifstream file(in, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "vorlo-swf: cannot read %s\n", in.c_str());
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(file)), {});
  vorlo::swfasm::AssembleOptions options;
  size_t slash = in.find_last_of("/\\");
  options.baseDir = slash == std::string::npos ? "" : in.substr(0, slash);
  std::vector<uint8_t> movie;
  std::string error;
  if (!vorlo::swfasm::assembleSwf(text, movie, error, options)) {
    std::fprintf(stderr, "%s:%s\n", in.c_str(), error.substr(5).c_str());  // "line N: ..." -> "IN:N: ..."
    return 1;
  }
  std::ofstream o(out, std::ios::binary);
  o.write(reinterpret_cast<const char*>(movie.data()), std::streamsize(movie.size()));
  if (!o) {
    std::fprintf(stderr, "vorlo-swf: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
