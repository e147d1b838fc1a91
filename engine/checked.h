// Size arithmetic for heap requests. A size that cannot be represented is reported as "Out of
// memory" by the caller, never truncated into a short block.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vorlo {

// Largest request the collected heap accepts, the same on every build; far below the point where
// rounding to a power of two or adding the chunk overhead could wrap a 32-bit size.
inline constexpr size_t kMaxHeapRequest = size_t(1) << 30;

// a * b, or false when the product exceeds kMaxHeapRequest (or wraps).
inline bool checkedMul(uint64_t a, uint64_t b, size_t* out) {
  if (a != 0 && b > kMaxHeapRequest / a) return false;
  *out = static_cast<size_t>(a * b);
  return *out <= kMaxHeapRequest;
}

// a + b, or false when the sum exceeds kMaxHeapRequest.
inline bool checkedAdd(uint64_t a, uint64_t b, size_t* out) {
  if (a > kMaxHeapRequest || b > kMaxHeapRequest - a) return false;
  *out = static_cast<size_t>(a + b);
  return true;
}

}  // namespace vorlo
