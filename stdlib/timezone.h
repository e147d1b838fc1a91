// The system's time zone and clock as Date sees them. This is the one place that asks the operating
// system (the Windows time-zone functions there, the C library elsewhere).
#pragma once
#include <cstdint>

namespace vorlo {

// The bias of the system's time zone at this moment in minutes: UTC minus local time, daylight time
// included when it is in effect now (a zone of UTC+3 gives -180, UTC-5 gives 300).
int64_t localTimeOffsetMinutes();

// The system clock: milliseconds since 1970-01-01 00:00 UTC.
double currentTimeMs();

}  // namespace vorlo
