// The engine's options in one place: the option bits a host sets in VMOptions::flags, the compile
// flags the embedding derives from them, and the events the host's hook is called with.
#pragma once
#include <cstdint>

namespace vorlo {

// Option bits (VMOptions::flags). Bits without an effect are still carried, as hosts set them.
enum OptionBits : uint32_t {
  kOptionMachineFlags = 0x2 | 0x4 | 0x8,  // kept as the machine's flags; nothing reads them
  kOptionRewindListing = 0x10,            // -> kCompileRewindListing
  kOptionDebugInfo = 0x20,                // -> kCompileDebugInfo
  kOptionWarnUndefined = 0x200,           // warn on reads of undefined variables (the machine)
  kOptionWarnMissingSemicolon = 0x1000,   // -> kCompileWarnMissingSemicolon
  kOptionWarnLineFeedInString = 0x2000,   // -> kCompileWarnLineFeedInString
  kOptionOptimizerPasses = 0x8000 | 0x10000 | 0x20000 | 0x40000,  // -> the optimiser's passes
  kDefaultOptionFlags = 0x58200,
};

// Compile flags (compileScript's `flags`).
enum CompileFlags : uint32_t {
  kCompileHasUserValue = 0x1,  // the host gave a user value (no effect on the code)
  kCompileRewindListing = 0x2,
  kCompileDebugInfo = 0x4,
  kCompileOptimizerPasses = 0x1E0,  // always on
  kCompileWarnMissingSemicolon = 0x100000,
  kCompileWarnLineFeedInString = 0x200000,
};

// Each option bit and the compile flag it gives. The pairs marked inert have no effect in the
// compiler; they travel so that a host sees its bits come back as it set them.
struct OptionToCompileFlag {
  uint32_t option;
  uint32_t flag;
};
inline constexpr OptionToCompileFlag kOptionCompileFlags[] = {
    {kOptionRewindListing, kCompileRewindListing},
    {kOptionDebugInfo, kCompileDebugInfo},
    {0x40, 0x8},            // inert
    {0x80, 0x10000},        // inert
    {0x100, 0x20000},       // inert
    {0x400, 0x40000},       // inert
    {0x800, 0x80000},       // inert
    {kOptionWarnMissingSemicolon, kCompileWarnMissingSemicolon},
    {kOptionWarnLineFeedInString, kCompileWarnLineFeedInString},
    {0x4000, 0x400000},     // inert
    {0x8000, 0x20},         // the optimiser passes, one bit each
    {0x10000, 0x40},
    {0x20000, 0x80},
    {0x40000, 0x100},
};

// What the host's hook is told.
enum class HookEvent : int {
  AfterCollection = 2,  // a collection point collected; a nonzero answer stops the run
};

}  // namespace vorlo
