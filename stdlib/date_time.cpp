#include "stdlib/date_time.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vorlo::datetime {

namespace {

// First day of each month within its year, for common and leap years.
constexpr int kMonthStart[2][12] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// a mod b made non-negative (b > 0). Negative days, months and times before 1970 are ordinary input.
double floorMod(double a, double b) {
  double r = std::fmod(a, b);
  if (r < 0) {
    r += b;
    // A tiny negative remainder rounds up to b itself; the true value lies just below it.
    if (r >= b) r = std::nextafter(b, 0.0);
  }
  return r;
}

bool isLeapYear(double y) {
  return floorMod(y, 4) == 0 && (floorMod(y, 100) != 0 || floorMod(y, 400) == 0);
}

// Day number of January 1 of year y.
double dayFromYear(double y) {
  return 365.0 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
         std::floor((y - 1601) / 400);
}

double yearFromDay(double day) {
  double y = std::floor(day / 365.2425) + 1970;
  // The estimate is off by at most one year either way.
  while (dayFromYear(y) > day) y -= 1;
  while (dayFromYear(y + 1) <= day) y += 1;
  return y;
}

// A component as the %d conversions take it (the callers pass components of valid time values).
int asInt(double v) { return static_cast<int>(v); }

}  // namespace

bool isValidTime(double t) { return std::fabs(t) <= kMaxTime; }

Components decompose(double t) {
  Components c;
  if (!std::isfinite(t)) return c;
  double day = std::floor(t / kMsPerDay);
  double year = yearFromDay(day);
  int inYear = static_cast<int>(day - dayFromYear(year));
  const int* starts = kMonthStart[isLeapYear(year) ? 1 : 0];
  int month = 11;
  while (month > 0 && starts[month] > inYear) --month;
  c.field[Year] = year;
  c.field[Month] = month;
  c.field[Date] = inYear - starts[month] + 1;
  c.field[Hours] = floorMod(std::floor(t / kMsPerHour), 24);
  c.field[Minutes] = floorMod(std::floor(t / kMsPerMinute), 60);
  c.field[Seconds] = floorMod(std::floor(t / kMsPerSecond), 60);
  c.field[Milliseconds] = floorMod(t, 1000);
  c.weekDay = floorMod(day + 4, 7);
  return c;
}

double makeDay(double year, double month, double date) {
  if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return NAN;
  double y = year + std::floor(month / 12);
  int m = static_cast<int>(floorMod(month, 12));
  if (m > 11) m = 11;
  if (!std::isfinite(y)) return NAN;
  return dayFromYear(y) + kMonthStart[isLeapYear(y) ? 1 : 0][m] + date - 1;
}

double makeDate(const Components& c) {
  const double* f = c.field;
  double day = makeDay(f[Year], f[Month], f[Date]);
  double time = ((f[Hours] * 60 + f[Minutes]) * 60 + f[Seconds]) * 1000 + f[Milliseconds];
  return day * kMsPerDay + time;
}

std::string formatLocal(double t, double offsetMs) {
  Components c = decompose(t - offsetMs);
  // The zone as hours and minutes east of UTC: UTC+3 is +300, UTC-5 is -500, UTC+5:30 is +530.
  int64_t m = static_cast<int64_t>(std::floor(offsetMs / kMsPerMinute));
  int64_t q = m / 60, r = m - 60 * q;
  int zone = static_cast<int>(-r - q * 100);
  int year = asInt(c.field[Year]);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d GMT%+04d %04d%s", kDayNames[asInt(c.weekDay)],
                kMonthNames[asInt(c.field[Month])], asInt(c.field[Date]), asInt(c.field[Hours]),
                asInt(c.field[Minutes]), asInt(c.field[Seconds]), zone, year > 0 ? year : 1 - year,
                year > 0 ? "" : " B.C.");
  return buf;
}

std::string formatGmt(double t) {
  Components c = decompose(t);
  int year = asInt(c.field[Year]);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT%s", kDayNames[asInt(c.weekDay)],
                asInt(c.field[Date]), kMonthNames[asInt(c.field[Month])], year > 0 ? year : 1 - year,
                asInt(c.field[Hours]), asInt(c.field[Minutes]), asInt(c.field[Seconds]),
                year > 0 ? "" : " B.C.");
  return buf;
}

// ---- parsing ----

namespace {

// Keyword actions: below 0 am/pm, 0 ignored, 2-13 a month (index + 2), 10000 and above a zone
// (action - 10000 minutes west of UTC).
constexpr int kAm = -1, kPm = -2, kZoneBase = 10000;
struct Keyword {
  const char* word;
  int action;
};
constexpr Keyword kKeywords[] = {
    {"am", kAm},          {"pm", kPm},          {"monday", 0},       {"tuesday", 0},
    {"wednesday", 0},     {"thursday", 0},      {"friday", 0},       {"saturday", 0},
    {"sunday", 0},        {"january", 2},       {"february", 3},     {"march", 4},
    {"april", 5},         {"may", 6},           {"june", 7},         {"july", 8},
    {"august", 9},        {"september", 10},    {"october", 11},     {"november", 12},
    {"december", 13},     {"gmt", 10000},       {"ut", 10000},       {"utc", 10000},
    {"est", 10300},       {"edt", 10240},       {"cst", 10360},      {"cdt", 10300},
    {"mst", 10420},       {"mdt", 10360},       {"pst", 10480},      {"pdt", 10420},
};

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }
// Spaces, control characters, commas and bytes of 128 and above.
bool isSeparator(unsigned char c) { return c <= ' ' || c == 0x7F || c >= 0x80 || c == ','; }

// The last keyword that the run is a prefix of (case-insensitive), or null.
const Keyword* matchKeyword(std::string_view run) {
  for (size_t k = std::size(kKeywords); k-- > 0;) {
    const char* w = kKeywords[k].word;
    if (run.size() > std::strlen(w)) continue;
    size_t i = 0;
    while (i < run.size() && lower(static_cast<unsigned char>(run[i])) == static_cast<unsigned char>(w[i])) ++i;
    if (i == run.size()) return &kKeywords[k];
  }
  return nullptr;
}

// Digit runs saturate here; anything this large makes an invalid date anyway.
constexpr int64_t kNumberCap = 100000000000000000LL;

}  // namespace

bool parseDateText(std::string_view s, double localOffsetMs, double* t) {
  int64_t year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
  int64_t zone = 0;           // minutes west of UTC
  bool zoneGiven = false;     // by keyword or by a signed number
  char zoneSign = 0;          // '+' or '-' once a zone came as a signed number
  char sign = 0;              // the preceding "+", "-", "/" or ":"
  size_t i = 0, n = s.size();
  auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };

  while (i < n) {
    unsigned char c = at(i++);
    if (c == '-') {
      if (i < n && isDigit(at(i))) sign = '-';
      continue;
    }
    if (isSeparator(c)) continue;
    if (c == '(') {
      for (int depth = 1; i < n;) {
        unsigned char d = at(i++);
        if (d == '(') {
          ++depth;
        } else if (d == ')' && --depth == 0) {
          break;
        }
      }
      continue;
    }
    if (isDigit(c)) {
      int64_t v = c - '0';
      while (i < n && isDigit(at(i))) {
        v = v < kNumberCap ? v * 10 + (at(i) - '0') : kNumberCap;
        ++i;
      }
      bool atEnd = i >= n;
      unsigned char next = atEnd ? 0 : at(i);
      if (sign == '+' || sign == '-') {
        // A zone offset: hours, or hhmm above 23. "+" is east of UTC.
        int64_t minutes = v > 23 ? v % 100 + (v / 100) * 60 : v * 60;
        if (zoneGiven && zone != 0) return false;
        zone = sign == '+' ? -minutes : minutes;
        zoneGiven = true;
        zoneSign = sign;
      } else if (v >= 70 || (sign == '/' && month >= 0 && day >= 0 && year < 0)) {
        if (year >= 0) return false;
        if (!atEnd && !(isSeparator(next) || next == '/' || (next == '-' && !(i + 1 < n && isDigit(at(i + 1))))))
          return false;
        year = v < 100 ? v + 1900 : v;
      } else if (next == ':') {
        if (hour < 0) {
          hour = v;
        } else if (minute < 0) {
          minute = v;
        } else {
          return false;
        }
      } else if (next == '/') {
        if (month < 0) {
          month = v - 1;
        } else if (day < 0) {
          day = v;
        } else {
          return false;
        }
      } else if (!atEnd && !isSeparator(next) && next != '-') {
        return false;
      } else if (zoneSign && v < 60) {
        // The minutes of a zone given as "+4:30" or "-3 30": they widen the offset.
        zone += zoneSign == '+' ? -v : v;
      } else if (hour >= 0 && minute < 0) {
        minute = v;
      } else if (minute >= 0 && second < 0) {
        second = v;
      } else if (day < 0) {
        day = v;
      } else {
        return false;
      }
      sign = 0;
    } else if (c == '/' || c == ':' || c == '+') {
      sign = static_cast<char>(c);
    } else if (isLetter(c)) {
      size_t start = i - 1;
      while (i < n && isLetter(at(i))) ++i;
      if (i - start < 2) return false;
      const Keyword* k = matchKeyword(s.substr(start, i - start));
      if (!k) return false;
      if (k->action < 0) {
        if (hour < 0 || hour > 12) return false;
        if (k->action == kAm && hour == 12) hour = 0;
        if (k->action == kPm && hour < 12) hour += 12;
      } else if (k->action >= 2 && k->action <= 13) {
        if (month >= 0) return false;
        month = k->action - 2;
      } else if (k->action >= kZoneBase) {
        zone = k->action - kZoneBase;
        zoneGiven = true;
      }
      sign = 0;
    } else {
      return false;
    }
  }
  if (year < 0 || month < 0 || day < 0) return false;
  Components c;
  c.field[Year] = static_cast<double>(year);
  c.field[Month] = static_cast<double>(month);
  c.field[Date] = static_cast<double>(day);
  c.field[Hours] = static_cast<double>(hour < 0 ? 0 : hour);
  c.field[Minutes] = static_cast<double>(minute < 0 ? 0 : minute);
  c.field[Seconds] = static_cast<double>(second < 0 ? 0 : second);
  c.field[Milliseconds] = 0;
  double local = makeDate(c);
  *t = local + (zoneGiven ? static_cast<double>(zone) * kMsPerMinute : localOffsetMs);
  return true;
}

}  // namespace vorlo::datetime
