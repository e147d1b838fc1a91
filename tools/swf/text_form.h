// The assembler's text form as a tree of statements: one statement per line (or between `;`),
// words separated by blanks, "quoted strings" with escapes, `key=value` options, and a `{ ... }`
// block closing a statement that has children. Comments run from `//` or from `# ` to the end of
// the line.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "player/swf/geometry.h"

namespace vorlo::swfasm {

// Every mistake in the text is an AsmError naming the line.
struct AsmError : std::runtime_error {
  AsmError(int line, const std::string& what) : std::runtime_error("line " + std::to_string(line) + ": " + what), line(line) {}
  int line;
};

struct Word {
  std::string text;   // escapes resolved, quotes removed
  bool quoted = false;
  int line = 0;
  size_t eq = std::string::npos;  // position of the first `=` outside quotes
  bool isOption() const { return eq != std::string::npos; }
  std::string key() const { return text.substr(0, eq); }
  Word value() const {
    Word v = *this;
    v.text = text.substr(eq + 1);
    v.eq = std::string::npos;
    return v;
  }
};

struct Statement {
  int line = 0;
  std::vector<Word> words;  // words[0] is the keyword
  bool hasBlock = false;
  std::vector<Statement> block;
  const std::string& keyword() const { return words[0].text; }
};

std::vector<Statement> parseTextForm(std::string_view text);

// A statement's words after the keyword: positional words in order and `key=value` options;
// `finish()` rejects anything left unread, so that a misspelt option is an error.
class Args {
 public:
  explicit Args(const Statement& s, size_t first = 1);
  int line() const { return line_; }

  size_t positionalCount() const { return positional_.size(); }
  bool hasPositional() const { return next_ < positional_.size(); }
  const Word& positional(const char* what);  // the next one, or an error naming `what`
  std::optional<Word> optionalPositional();

  bool has(const std::string& key) const { return options_.count(key) != 0; }
  std::optional<Word> option(const std::string& key);
  // A bare word used as a switch (`smooth`, `move`); true when present.
  bool flag(const std::string& name);
  void finish();

  [[noreturn]] void fail(const std::string& what) const { throw AsmError(line_, what); }

 private:
  int line_;
  std::vector<Word> positional_;
  size_t next_ = 0;
  std::map<std::string, Word> options_;
  std::map<std::string, bool> used_;
  std::vector<bool> positionalUsedAsFlag_;
};

// Value parsing; each throws an AsmError naming the word's line.
int64_t parseInt(const Word& w, int64_t min, int64_t max);
double parseNumber(const Word& w);
// A coordinate in twips: plain numbers are twips, `12px` is 240.
double parseTwips(const Word& w);
player::Rgba parseColor(const Word& w);
bool parseBool(const Word& w);
// Comma-separated parts of a word.
std::vector<Word> splitList(const Word& w, char separator = ',');
std::vector<uint8_t> parseHex(const std::vector<Word>& words);

}  // namespace vorlo::swfasm
