#include "host/host_support.h"

#include <cmath>

#include "engine/convert.h"

namespace vorlo {

std::optional<int64_t> wholeNumber(const ScriptValue& v) {
  if (v.kind == KindInteger) return v.asInt();
  if (v.kind == KindFloat && std::isfinite(v.asFloat())) return truncateToInt64(v.asFloat());
  return std::nullopt;
}

}  // namespace vorlo
