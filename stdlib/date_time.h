// Calendar arithmetic of Date on time values (milliseconds since 1970-01-01 00:00 UTC, proleptic
// Gregorian calendar), its two text forms and its date-text parser. Everything here is plain
// arithmetic on doubles: no clock and no time zone of its own (callers pass the offset).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlo::datetime {

inline constexpr double kMsPerDay = 86400000.0;
inline constexpr double kMsPerHour = 3600000.0;
inline constexpr double kMsPerMinute = 60000.0;
inline constexpr double kMsPerSecond = 1000.0;
inline constexpr double kMaxTime = 8.64e15;

// |t| <= 8.64e15 (NaN is not valid).
bool isValidTime(double t);

// The components of a time value, in the order the component constructors and setters use them.
enum Field { Year, Month, Date, Hours, Minutes, Seconds, Milliseconds, FieldCount };
struct Components {
  double field[FieldCount] = {1970, 0, 1, 0, 0, 0, 0};
  double weekDay = 4;  // 0 = Sunday
};

// Decomposes t (which must be finite).
Components decompose(double t);
// Day number of a date; month may lie outside 0-11 and date outside the month (they carry over).
// NaN when a component is not finite.
double makeDay(double year, double month, double date);
// The time value of the components, NaN or out of range when they do not make a valid one.
double makeDate(const Components& c);

// "Sat Jan 01 00:00:00 GMT+300 2000": t shown in local time, where local = t - offsetMs.
std::string formatLocal(double t, double offsetMs);
// "Fri, 31 Dec 1999 21:00:00 GMT".
std::string formatGmt(double t);

// Parses a date text (ANSI bytes). Without a zone in the text the components are local time,
// t = local + localOffsetMs. False when the text is not a date.
bool parseDateText(std::string_view text, double localOffsetMs, double* t);

}  // namespace vorlo::datetime
