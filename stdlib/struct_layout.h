// Native structure layouts from descriptor texts (the XML text a `struct` declaration compiles to, or
// one a script supplies). The layout is computed for a given target: the pointer size is a parameter
// (4 for the 32-bit product, 8 for the x86-64 build), so every build can check either layout. No VM
// here: named member structures are found through a lookup function.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo {

// Member type codes. A pointer member has kPointerFlag added to its base code (a pointer to a
// pointer or to a String is the plain kPointer).
enum StructTypeCode : uint32_t {
  kStructBoolean = 1,
  kStructChar = 2,
  kStructUnsignedChar = 4,
  kStructShort = 8,
  kStructUnsignedShort = 16,
  kStructInt = 32,
  kStructUnsignedInt = 64,
  kStructInt64 = 128,
  kStructUnsignedInt64 = 256,
  kStructFloat = 512,
  kStructDouble = 1024,
  kStructNested = 2048,
  kStructPointerFlag = 0x10000000,
  kStructPointer = 0x10000000,
  kStructString = 0x10000002,  // a pointer to char text
};

// Bounds on what a descriptor may ask for: descriptors come from scripts.
inline constexpr uint32_t kMaxStructSize = 16u << 20;  // bytes of one structure, arrays included
inline constexpr int kMaxStructNesting = 32;           // structures inside structures, named or inline

struct StructLayout;

struct StructMember {
  std::u16string name;
  uint32_t code = 0;         // StructTypeCode, with kStructPointerFlag for pointers
  uint32_t elementSize = 0;  // bytes of one element
  uint32_t size = 0;         // bytes of the member (elementSize × count)
  uint32_t offset = 0;       // from the start of the structure that holds it
  int32_t count = -1;        // elements of an array member; -1 for a single value
  std::shared_ptr<const StructLayout> nested;  // the layout of each element of a structure member

  bool isPointer() const { return (code & kStructPointerFlag) != 0; }
  bool isArray() const { return count >= 0; }
  uint32_t elements() const { return count < 0 ? 1u : uint32_t(count); }
  // The base code a pointer points to (the code itself for other members).
  uint32_t baseCode() const { return code == kStructPointer ? code : (code & ~uint32_t(kStructPointerFlag)); }
};

struct StructLayout {
  uint32_t size = 0;       // total, rounded up to the alignment
  uint32_t alignment = 1;  // largest member alignment (at most the packing)
  std::vector<StructMember> members;
  const StructMember* find(std::u16string_view name) const;
};

struct StructTarget {
  uint32_t pointerSize = sizeof(void*);
};

// The descriptor text held by the global of that name, or nullopt when it holds no text.
using StructLookup = std::function<std::optional<std::u16string>(std::u16string_view name)>;

// Null when the descriptor does not lay out: not XML, a member without a name or type, an unknown or
// impossible type, a bad count, a structure that refers to itself, or a size beyond kMaxStructSize.
// Packing is 1, 2, 4 or a multiple of 8.
std::shared_ptr<const StructLayout> layOutStructure(std::u16string_view descriptor, uint32_t packing,
                                                    const StructTarget& target, const StructLookup& lookup);

// True for the packings Struct.align accepts: 1, 2, 4 and positive multiples of 8.
bool validStructPacking(int64_t packing);

}  // namespace vorlo
