// The hexadecimal digits of pi's fraction as 32-bit words (0x243F6A88, 0x85A308D3, ...): Blowfish's
// initial P-array and S-boxes, computed instead of written out as a table.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlo::crypto {

std::vector<uint32_t> piFractionWords(size_t count);

}  // namespace vorlo::crypto
