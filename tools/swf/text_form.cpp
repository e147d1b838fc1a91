#include "tools/swf/text_form.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vorlo::swfasm {

namespace {

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | c >> 18);
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct Token {
  enum Kind { WordTok, Open, Close, EndOfStatement } kind;
  Word word;
  int line;
};

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  int line = 1;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == '\n') {
      out.push_back({Token::EndOfStatement, {}, line});
      ++line;
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == ';') {
      out.push_back({Token::EndOfStatement, {}, line});
      ++i;
      continue;
    }
    if ((c == '/' && i + 1 < s.size() && s[i + 1] == '/') ||
        (c == '#' && (i + 1 == s.size() || s[i + 1] == ' ' || s[i + 1] == '\t' || s[i + 1] == '\n' || s[i + 1] == '\r' || s[i + 1] == '#'))) {
      while (i < s.size() && s[i] != '\n') ++i;
      continue;
    }
    if (c == '{') {
      out.push_back({Token::Open, {}, line});
      ++i;
      continue;
    }
    if (c == '}') {
      out.push_back({Token::Close, {}, line});
      ++i;
      continue;
    }
    Word w;
    w.line = line;
    while (i < s.size()) {
      c = s[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == '{' || c == '}') break;
      if (c == '"') {
        w.quoted = true;
        ++i;
        bool closed = false;
        while (i < s.size()) {
          c = s[i++];
          if (c == '"') {
            closed = true;
            break;
          }
          if (c == '\n') break;
          if (c != '\\') {
            w.text += c;
            continue;
          }
          if (i >= s.size()) break;
          char e = s[i++];
          switch (e) {
            case 'n': w.text += '\n'; break;
            case 'r': w.text += '\r'; break;
            case 't': w.text += '\t'; break;
            case '0': w.text += '\0'; break;
            case '\\': w.text += '\\'; break;
            case '"': w.text += '"'; break;
            case 'x': {
              int hi = i < s.size() ? hexDigit(s[i]) : -1, lo = i + 1 < s.size() ? hexDigit(s[i + 1]) : -1;
              if (hi < 0 || lo < 0) throw AsmError(line, "\\x needs two hexadecimal digits");
              w.text += char(hi * 16 + lo);  // a raw byte: for texts in a movie's own encoding
              i += 2;
              break;
            }
            case 'u': {
              uint32_t v = 0;
              for (int k = 0; k < 4; ++k) {
                int d = i < s.size() ? hexDigit(s[i]) : -1;
                if (d < 0) throw AsmError(line, "\\u needs four hexadecimal digits");
                v = v * 16 + uint32_t(d);
                ++i;
              }
              appendUtf8(w.text, v);
              break;
            }
            default:
              throw AsmError(line, std::string("unknown escape \\") + e);
          }
        }
        if (!closed) throw AsmError(line, "a string is not closed on its line");
        continue;
      }
      if (c == '=' && w.eq == std::string::npos) w.eq = w.text.size();
      w.text += c;
      ++i;
    }
    out.push_back({Token::WordTok, w, line});
  }
  out.push_back({Token::EndOfStatement, {}, line});
  return out;
}

std::vector<Statement> parseBlock(const std::vector<Token>& tokens, size_t& i, bool nested, int openLine) {
  std::vector<Statement> out;
  Statement current;
  auto close = [&] {
    if (!current.words.empty()) out.push_back(std::move(current));
    current = Statement{};
  };
  while (i < tokens.size()) {
    const Token& t = tokens[i++];
    switch (t.kind) {
      case Token::WordTok:
        if (current.words.empty()) current.line = t.line;
        if (current.hasBlock) throw AsmError(t.line, "a block must end its statement");
        current.words.push_back(t.word);
        break;
      case Token::EndOfStatement:
        close();
        break;
      case Token::Open:
        if (current.words.empty()) throw AsmError(t.line, "a block needs a statement before it");
        current.hasBlock = true;
        current.block = parseBlock(tokens, i, true, t.line);
        close();
        break;
      case Token::Close:
        if (!nested) throw AsmError(t.line, "'}' without a block to close");
        close();
        return out;
    }
  }
  if (nested) throw AsmError(openLine, "the block opened here is not closed");
  close();
  return out;
}

}  // namespace

std::vector<Statement> parseTextForm(std::string_view text) {
  auto tokens = tokenize(text);
  size_t i = 0;
  return parseBlock(tokens, i, false, 0);
}

Args::Args(const Statement& s, size_t first) : line_(s.line) {
  for (size_t i = first; i < s.words.size(); ++i) {
    const Word& w = s.words[i];
    if (w.isOption()) {
      std::string key = w.key();
      if (options_.count(key)) throw AsmError(w.line, "option '" + key + "' given twice");
      options_[key] = w;
    } else {
      positional_.push_back(w);
    }
  }
  positionalUsedAsFlag_.assign(positional_.size(), false);
}

const Word& Args::positional(const char* what) {
  while (next_ < positional_.size() && positionalUsedAsFlag_[next_]) ++next_;
  if (next_ >= positional_.size()) fail(std::string("missing ") + what);
  return positional_[next_++];
}

std::optional<Word> Args::optionalPositional() {
  while (next_ < positional_.size() && positionalUsedAsFlag_[next_]) ++next_;
  if (next_ >= positional_.size()) return std::nullopt;
  return positional_[next_++];
}

std::optional<Word> Args::option(const std::string& key) {
  auto it = options_.find(key);
  if (it == options_.end()) return std::nullopt;
  used_[key] = true;
  return it->second.value();
}

bool Args::flag(const std::string& name) {
  for (size_t i = next_; i < positional_.size(); ++i) {
    if (!positionalUsedAsFlag_[i] && !positional_[i].quoted && positional_[i].text == name) {
      positionalUsedAsFlag_[i] = true;
      return true;
    }
  }
  return false;
}

void Args::finish() {
  for (auto& [key, w] : options_)
    if (!used_.count(key)) throw AsmError(w.line, "unknown option '" + key + "'");
  for (size_t i = next_; i < positional_.size(); ++i)
    if (!positionalUsedAsFlag_[i]) throw AsmError(positional_[i].line, "unexpected '" + positional_[i].text + "'");
}

int64_t parseInt(const Word& w, int64_t min, int64_t max) {
  const std::string& t = w.text;
  if (t.empty()) throw AsmError(w.line, "a number is missing");
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(t.c_str(), &end, 0);
  if (*end != 0 || errno == ERANGE) throw AsmError(w.line, "'" + t + "' is not a whole number");
  if (v < min || v > max)
    throw AsmError(w.line, "'" + t + "' is outside " + std::to_string(min) + ".." + std::to_string(max));
  return v;
}

double parseNumber(const Word& w) {
  const std::string& t = w.text;
  if (t.empty()) throw AsmError(w.line, "a number is missing");
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (*end != 0 || !std::isfinite(v)) throw AsmError(w.line, "'" + t + "' is not a number");
  return v;
}

double parseTwips(const Word& w) {
  if (w.text.size() > 2 && w.text.compare(w.text.size() - 2, 2, "px") == 0) {
    Word n = w;
    n.text.resize(n.text.size() - 2);
    return parseNumber(n) * 20;
  }
  return parseNumber(w);
}

player::Rgba parseColor(const Word& w) {
  const std::string& t = w.text;
  if ((t.size() != 7 && t.size() != 9) || t[0] != '#')
    throw AsmError(w.line, "'" + t + "' is not a colour (#rrggbb or #rrggbbaa)");
  uint8_t v[4] = {0, 0, 0, 255};
  for (size_t i = 1; i < t.size(); i += 2) {
    int hi = hexDigit(t[i]), lo = hexDigit(t[i + 1]);
    if (hi < 0 || lo < 0) throw AsmError(w.line, "'" + t + "' is not a colour (#rrggbb or #rrggbbaa)");
    v[(i - 1) / 2] = uint8_t(hi * 16 + lo);
  }
  return {v[0], v[1], v[2], v[3]};
}

bool parseBool(const Word& w) {
  if (w.text == "1" || w.text == "true" || w.text == "yes" || w.text == "on") return true;
  if (w.text == "0" || w.text == "false" || w.text == "no" || w.text == "off") return false;
  throw AsmError(w.line, "'" + w.text + "' is not true or false");
}

std::vector<Word> splitList(const Word& w, char separator) {
  std::vector<Word> parts;
  size_t start = 0;
  while (true) {
    size_t end = w.text.find(separator, start);
    Word p = w;
    p.eq = std::string::npos;
    p.text = w.text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    parts.push_back(p);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

std::vector<uint8_t> parseHex(const std::vector<Word>& words) {
  std::vector<uint8_t> out;
  for (const Word& w : words) {
    std::string digits;
    for (char c : w.text)
      if (c != '_' && c != ',') digits += c;
    if (digits.size() % 2) throw AsmError(w.line, "'" + w.text + "' has an odd number of hexadecimal digits");
    for (size_t i = 0; i < digits.size(); i += 2) {
      int hi = hexDigit(digits[i]), lo = hexDigit(digits[i + 1]);
      if (hi < 0 || lo < 0) throw AsmError(w.line, "'" + w.text + "' is not hexadecimal");
      out.push_back(uint8_t(hi * 16 + lo));
    }
  }
  return out;
}

}  // namespace vorlo::swfasm
