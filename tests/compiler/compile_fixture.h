// Compiling source text in a fresh machine and reading the result back through the image reader
// and the listing, as every later user of an image will.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "engine/compiler.h"
#include "engine/disassembler.h"
#include "engine/image.h"
#include "engine/source_stream.h"
#include "engine/vm.h"

namespace vorlo::test {

struct Compiled {
  bool ok = false;
  std::string messages;
  std::vector<uint8_t> bytes;
  std::unique_ptr<BytecodeImage> image;

  // The instructions of one function as "OP operand; OP; L1:; ..." (labels numbered per function).
  std::string code(const std::string& function = ".main") const {
    if (!image) return "<no image>";
    std::istringstream listing(listImage(*image, ListingOptions{false}));
    std::string line, out;
    bool inside = false;
    while (std::getline(listing, line)) {
      if (line.rfind("function ", 0) == 0) {
        inside = line.substr(9) == function;
        continue;
      }
      if (!inside) continue;
      if (line.rfind("  ", 0) == 0) line = line.substr(2);
      out += (out.empty() ? "" : "; ") + line;
    }
    return out;
  }
};

class CompileTest : public ::testing::Test {
 protected:
  void SetUp() override { vm_ = createVM(); }
  void TearDown() override { destroyVM(vm_); }

  Compiled compile(const std::string& source, uint32_t flags = 0) {
    Compiled c;
    MemorySource stream(source);
    CompileOutput out;
    c.ok = compileScript(vm_, stream, flags, out, nullptr, nullptr, 1);
    c.messages = out.messages;
    c.bytes = out.image;
    if (c.ok) {
      std::string why;
      c.image = readImage(out.image.data(), out.image.size(), &why);
      EXPECT_TRUE(c.image) << "compiled image rejected: " << why;
    }
    return c;
  }

  ScriptVM* vm_ = nullptr;
};

}  // namespace vorlo::test
