// The engine's view of an array record. The element storage and its layout belong to the Array class;
// the collector reaches the elements through the `mark` slot of the class that serves the array kind.
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

struct ScriptArray {
  ScriptObject* props;  // null until scripts store a property on the array
  void* elements;       // owned by the Array class
  uint64_t length;
};

}  // namespace vorlo
