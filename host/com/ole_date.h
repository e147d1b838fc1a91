// OLE automation dates (days since 1899-12-30 00:00 local time, the fraction being the time of day)
// and script time values (milliseconds since 1970 UTC). Before the epoch day the whole days count
// backwards while the fraction still runs forward: -1.25 is 1899-12-29 06:00.
#pragma once
#include <cmath>

namespace vorlo::com {

inline constexpr double kMsPerDay = 86400000.0;
// 1899-12-30 00:00 UTC as a time value.
inline constexpr double kOleEpochUtcMs = -2209161600000.0;

// `localOffsetMs` is UTC minus local time, as Date keeps it.
inline double oleDateToTime(double date, double localOffsetMs) {
  double days = std::trunc(date);
  double fraction = std::fabs(date - days);
  return kOleEpochUtcMs + localOffsetMs + (days + fraction) * kMsPerDay;
}

inline double timeToOleDate(double ms, double localOffsetMs) {
  double x = (ms - kOleEpochUtcMs - localOffsetMs) / kMsPerDay;
  if (x >= 0) return x;
  double day = std::floor(x);
  double fraction = x - day;
  return day - fraction;
}

}  // namespace vorlo::com
