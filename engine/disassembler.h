// A readable listing of a BytecodeImage: every function with its instructions, operands resolved to
// names and constants, jump targets as labels and, when the image carries them, source lines.
#pragma once
#include <string>

#include "engine/image.h"

namespace vorlo {

struct ListingOptions {
  bool offsets = true;  // byte offsets, the constant pool and the debug lines; off: bare instructions
};

std::string listImage(const BytecodeImage& image, const ListingOptions& options = {});
// The text of a constant as the listing shows it: 42, 1.5, "text", /body/gi, symbol names bare.
std::string constantText(const ImageConstant& constant);

}  // namespace vorlo
