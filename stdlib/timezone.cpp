#include "stdlib/timezone.h"

#include <chrono>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vorlo {

#ifdef _WIN32

int64_t localTimeOffsetMinutes() {
  TIME_ZONE_INFORMATION tz{};
  DWORD id = GetTimeZoneInformation(&tz);
  if (id == TIME_ZONE_ID_INVALID) return 0;
  int64_t bias = tz.Bias;
  bias += id == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : tz.StandardBias;
  return bias;
}

#else

int64_t localTimeOffsetMinutes() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return 0;
  // tm_gmtoff is local minus UTC in seconds; zones of whole minutes only, so round toward UTC.
  long east = local.tm_gmtoff;
  return -static_cast<int64_t>(east / 60);
}

#endif

double currentTimeMs() {
  using namespace std::chrono;
  return static_cast<double>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace vorlo
