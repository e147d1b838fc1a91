// Character traits for regular expressions over UTF-16 code units. Patterns and texts are matched
// unit by unit (a surrogate pair is two units), and character classes and case folding come from
// the fixed tables below, so every platform matches alike whatever its C library or locale says.
#pragma once
#include <cstdint>
#include <string>

#include <boost/regex.hpp>

namespace vorlo {

// Character properties of one UTF-16 unit.
namespace unitclass {
inline constexpr uint32_t kAlpha = 1u << 0;
inline constexpr uint32_t kDigit = 1u << 1;
inline constexpr uint32_t kSpace = 1u << 2;
inline constexpr uint32_t kUpper = 1u << 3;
inline constexpr uint32_t kLower = 1u << 4;
inline constexpr uint32_t kPunct = 1u << 5;
inline constexpr uint32_t kCntrl = 1u << 6;
inline constexpr uint32_t kBlank = 1u << 7;
inline constexpr uint32_t kXDigit = 1u << 8;
inline constexpr uint32_t kUnderscore = 1u << 9;  // with alpha and digit: a word character
inline constexpr uint32_t kUnicode = 1u << 10;    // beyond Latin-1
inline constexpr uint32_t kVertical = 1u << 11;
inline constexpr uint32_t kPrintSpace = 1u << 12;  // the one space that counts as printable
}  // namespace unitclass

// The properties of a unit (unitclass bits).
inline uint32_t unitClasses(char16_t c);
inline char16_t unitToLower(char16_t c);
inline char16_t unitToUpper(char16_t c);

struct UnitTraits {
  using char_type = char16_t;
  using size_type = std::size_t;
  using string_type = std::u16string;
  struct locale_type {};
  using char_class_type = uint32_t;
  // Tells the library that every operation below is supplied here.
  using boost_extensions_tag = void;

  UnitTraits() = default;
  UnitTraits(const UnitTraits&) = delete;
  UnitTraits& operator=(const UnitTraits&) = delete;

  static size_type length(const char_type* p) { return std::char_traits<char16_t>::length(p); }
  char_type translate(char_type c) const { return c; }
  char_type translate_nocase(char_type c) const { return unitToLower(c); }
  char_type translate(char_type c, bool icase) const { return icase ? unitToLower(c) : c; }
  char_type tolower(char_type c) const { return unitToLower(c); }
  char_type toupper(char_type c) const { return unitToUpper(c); }

  // No collation: ranges and sort keys follow the unit values.
  string_type transform(const char_type* p1, const char_type* p2) const { return string_type(p1, p2); }
  // Equivalence classes ([[=a=]]) compare case-folded units.
  string_type transform_primary(const char_type* p1, const char_type* p2) const;

  char_class_type lookup_classname(const char_type* p1, const char_type* p2) const;
  string_type lookup_collatename(const char_type* p1, const char_type* p2) const;
  bool isctype(char_type c, char_class_type mask) const;
  int value(char_type c, int radix) const;

  locale_type imbue(locale_type l) { return l; }
  locale_type getloc() const { return locale_type(); }

  boost::regex_constants::syntax_type syntax_type(char_type c) const {
    return c < 0x80 ? boost::BOOST_REGEX_DETAIL_NS::get_default_syntax_type(static_cast<char>(c))
                    : boost::regex_constants::syntax_char;
  }
  boost::regex_constants::escape_syntax_type escape_syntax_type(char_type c) const {
    return c < 0x80 ? boost::BOOST_REGEX_DETAIL_NS::get_default_escape_syntax_type(static_cast<char>(c))
                    : boost::regex_constants::escape_type_identity;
  }
  std::intmax_t toi(const char_type*& p1, const char_type* p2, int radix) const {
    return boost::BOOST_REGEX_DETAIL_NS::global_toi(p1, p2, radix, *this);
  }
  std::string error_string(boost::regex_constants::error_type e) const {
    return boost::BOOST_REGEX_DETAIL_NS::get_default_error_string(e);
  }
};

using UnitRegex = boost::basic_regex<char16_t, UnitTraits>;
using UnitMatch = boost::match_results<const char16_t*>;


namespace regexp_detail {

// Pairs of letters that map as upper case = lower case - offset over a range.
struct CaseRange {
  char16_t firstUpper, lastUpper;
  int16_t toLower;  // added to an upper-case unit
};
constexpr CaseRange kCaseRanges[] = {
    {u'A', u'Z', 32},
    {0xC0, 0xD6, 32},     {0xD8, 0xDE, 32},      // Latin-1
    {0x388, 0x38A, 37},   {0x38E, 0x38F, 63},    // Greek with tonos
    {0x391, 0x3A1, 32},   {0x3A3, 0x3AB, 32},    // Greek
    {0x400, 0x40F, 80},   {0x410, 0x42F, 32},    // Cyrillic
    {0x531, 0x556, 48},                          // Armenian
    {0xFF21, 0xFF3A, 32},                        // fullwidth Latin
};
// Single pairs.
struct CasePair {
  char16_t upper, lower;
};
constexpr CasePair kCasePairs[] = {
    {0x178, 0xFF}, {0x386, 0x3AC}, {0x38C, 0x3CC}, {0x4C0, 0x4CF},
};
// Runs where upper and lower case alternate: `first` is upper, first + 1 lower, and so on.
struct CaseRun {
  char16_t first, last;
};
constexpr CaseRun kCaseRuns[] = {
    {0x100, 0x12F}, {0x132, 0x137}, {0x139, 0x148}, {0x14A, 0x177}, {0x179, 0x17E},
    {0x460, 0x481}, {0x48A, 0x4BF}, {0x4C1, 0x4CE}, {0x4D0, 0x52F},
};

inline bool inRun(const CaseRun& r, char16_t c) { return c >= r.first && c <= r.last; }

// Units beyond ASCII that are not letters: Latin-1 signs, modifier letters and combining marks,
// the Greek and Cyrillic signs, general punctuation and symbols, CJK punctuation, surrogates,
// private use, compatibility forms and the fullwidth signs.
struct UnitRange {
  char16_t first, last;
};
constexpr UnitRange kNonLetters[] = {
    {0x80, 0xA9},   {0xAB, 0xB4},   {0xB6, 0xB9},   {0xBB, 0xBF},   {0xD7, 0xD7},
    {0xF7, 0xF7},   {0x2B9, 0x36F}, {0x374, 0x375}, {0x37E, 0x37E}, {0x384, 0x385},
    {0x387, 0x387}, {0x482, 0x489}, {0x2000, 0x2BFF}, {0x3000, 0x303F}, {0xD800, 0xF8FF},
    {0xFE10, 0xFE6F}, {0xFEFF, 0xFEFF}, {0xFF00, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65},
    {0xFFF0, 0xFFFF},
};
constexpr UnitRange kSpaces[] = {
    {0x09, 0x0D}, {0x20, 0x20},     {0x85, 0x85},     {0xA0, 0xA0},     {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

template <size_t N>
inline bool inRanges(const UnitRange (&ranges)[N], char16_t c) {
  for (const UnitRange& r : ranges) {
    if (c >= r.first && c <= r.last) return true;
  }
  return false;
}

}  // namespace regexp_detail

inline char16_t unitToLower(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
  for (const regexp_detail::CaseRange& r : regexp_detail::kCaseRanges) {
    if (c >= r.firstUpper && c <= r.lastUpper) return char16_t(c + r.toLower);
  }
  for (const regexp_detail::CasePair& p : regexp_detail::kCasePairs) {
    if (c == p.upper) return p.lower;
  }
  for (const regexp_detail::CaseRun& r : regexp_detail::kCaseRuns) {
    if (regexp_detail::inRun(r, c) && (c - r.first) % 2 == 0) return char16_t(c + 1);
  }
  return c;
}

inline char16_t unitToUpper(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
  for (const regexp_detail::CaseRange& r : regexp_detail::kCaseRanges) {
    if (c >= r.firstUpper + r.toLower && c <= r.lastUpper + r.toLower) return char16_t(c - r.toLower);
  }
  if (c == 0x3C2) return 0x3A3;  // final sigma
  for (const regexp_detail::CasePair& p : regexp_detail::kCasePairs) {
    if (c == p.lower) return p.upper;
  }
  for (const regexp_detail::CaseRun& r : regexp_detail::kCaseRuns) {
    if (regexp_detail::inRun(r, c) && (c - r.first) % 2 == 1) return char16_t(c - 1);
  }
  return c;
}

inline uint32_t unitClasses(char16_t c) {
  using namespace unitclass;
  uint32_t m = 0;
  if (c < 0x80) {
    if (c >= u'0' && c <= u'9') m |= kDigit | kXDigit;
    else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
      m |= kAlpha | (c <= u'Z' ? kUpper : kLower);
      if ((c | 0x20) <= u'f') m |= kXDigit;
    } else if (c < 0x20 || c == 0x7F) m |= kCntrl;
    else if (c != u' ') m |= kPunct;
    if (c == u'_') m |= kUnderscore;
  } else {
    if (c >= 0x100) m |= kUnicode;
    if (c < 0xA0) m |= kCntrl;
    else if (!regexp_detail::inRanges(regexp_detail::kNonLetters, c)) m |= kAlpha;
    else if (!regexp_detail::inRanges(regexp_detail::kSpaces, c)) m |= kPunct;
    if (m & kAlpha) {
      if (unitToLower(c) != c) m |= kUpper;
      else if (unitToUpper(c) != c || c == 0xDF) m |= kLower;
    }
  }
  if (regexp_detail::inRanges(regexp_detail::kSpaces, c)) m |= kSpace;
  if (c == u' ') m |= kPrintSpace;
  if (c == u'\t' || c == u' ' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
      c == 0x205F || c == 0x3000)
    m |= kBlank;
  if ((c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029) m |= kVertical;
  return m;
}

inline UnitTraits::string_type UnitTraits::transform_primary(const char_type* p1, const char_type* p2) const {
  string_type s(p1, p2);
  for (char16_t& c : s) c = unitToLower(c);
  return s;
}

inline UnitTraits::char_class_type UnitTraits::lookup_classname(const char_type* p1, const char_type* p2) const {
  using namespace unitclass;
  // In the order of the library's class names: alnum alpha blank cntrl d digit graph h l lower
  // print punct s space u unicode upper v w word xdigit.
  static constexpr uint32_t kMasks[] = {
      0,
      kAlpha | kDigit,
      kAlpha,
      kBlank,
      kCntrl,
      kDigit,
      kDigit,
      kAlpha | kDigit | kPunct,
      kBlank,
      kLower,
      kLower,
      kAlpha | kDigit | kPunct | kPrintSpace,
      kPunct,
      kSpace,
      kSpace,
      kUpper,
      kUnicode,
      kUpper,
      kVertical,
      kAlpha | kDigit | kUnderscore,
      kAlpha | kDigit | kUnderscore,
      kXDigit,
  };
  int id = boost::BOOST_REGEX_DETAIL_NS::get_default_class_id(p1, p2);
  if (id < 0) {
    string_type lower(p1, p2);
    for (char16_t& c : lower) c = unitToLower(c);
    id = boost::BOOST_REGEX_DETAIL_NS::get_default_class_id(lower.data(), lower.data() + lower.size());
  }
  return id + 1 < int(std::size(kMasks)) ? kMasks[id + 1] : 0;
}

inline UnitTraits::string_type UnitTraits::lookup_collatename(const char_type* p1, const char_type* p2) const {
  std::string name;
  for (const char_type* p = p1; p != p2; ++p) {
    if (*p >= 0x80) return p2 - p1 == 1 ? string_type(1, *p1) : string_type();
    name.push_back(static_cast<char>(*p));
  }
  std::string found = boost::BOOST_REGEX_DETAIL_NS::lookup_default_collate_name(name);
  if (!found.empty()) return string_type(found.begin(), found.end());
  if (p2 - p1 == 1) return string_type(1, *p1);
  return string_type();
}

inline bool UnitTraits::isctype(char_type c, char_class_type mask) const { return (unitClasses(c) & mask) != 0; }

inline int UnitTraits::value(char_type c, int radix) const {
  int v;
  if (c >= u'0' && c <= u'9') v = c - u'0';
  else if (c >= u'a' && c <= u'z') v = c - u'a' + 10;
  else if (c >= u'A' && c <= u'Z') v = c - u'A' + 10;
  else return -1;
  return v < radix ? v : -1;
}

}  // namespace vorlo
