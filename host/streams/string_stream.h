// StringStream (a byte stream over memory) and the pieces other host classes use to hand out or
// accept binary data as StringStreams.
#pragma once
#include <memory>

#include "engine/value.h"
#include "host/streams/memory_stream.h"

namespace vorlo {

struct ScriptVM;

// An instance's native data: its stream, null once closed.
struct StringStreamData {
  std::unique_ptr<MemoryStream> stream;
};

// A new StringStream instance owning `stream` (null when there is no stream).
ScriptValue makeStringStream(ScriptVM* vm, std::unique_ptr<MemoryStream> stream);
// The open stream of a StringStream value; null for anything else.
MemoryStream* stringStreamOf(ScriptVM* vm, const ScriptValue& value);

// Binds StringStream and the constants $STREAM_IN, $STREAM_OUT and $STREAM_EOF.
void registerStringStream(ScriptVM* vm);

}  // namespace vorlo
