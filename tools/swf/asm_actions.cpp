// Action records from mnemonics: `actions { ... }`, button actions, function bodies. Branches name
// labels (`loop:` on a line of its own) of the same block; the mnemonic table below is the one
// place that knows codes and operand kinds.
#include <cmath>
#include <cstring>
#include <map>

#include "tools/swf/assembler_internal.h"

namespace vorlo::swfasm {

namespace {

enum class Operand {
  None,         // no operand (codes from 0x80 still carry a zero length)
  Frame,        // u16 frame number (0-based, as stored)
  UrlTarget,    // url, target
  Register,     // u8
  String,       // one string
  WaitFrame,    // u16 frame, u8 actions to skip
  Skip,         // u8 actions to skip
  Branch,       // s16 offset to a label
  GetUrl2,      // method=get|post, target, variables
  GotoFrame2,   // play, bias=N
  Push,
  ConstantPool,
  Function,
  Function2,
  With,
  Try,
  Hex,          // raw operand bytes
};

struct Mnemonic {
  const char* name;
  uint8_t code;
  Operand operand;
};

constexpr Mnemonic kMnemonics[] = {
    // Movie control (SWF 3).
    {"nextFrame", 0x04, Operand::None},
    {"prevFrame", 0x05, Operand::None},
    {"play", 0x06, Operand::None},
    {"stop", 0x07, Operand::None},
    {"toggleQuality", 0x08, Operand::None},
    {"stopSounds", 0x09, Operand::None},
    {"gotoFrame", 0x81, Operand::Frame},
    {"getURL", 0x83, Operand::UrlTarget},
    {"waitForFrame", 0x8A, Operand::WaitFrame},
    {"setTarget", 0x8B, Operand::String},
    {"gotoLabel", 0x8C, Operand::String},
    // The SWF 4 stack machine.
    {"add", 0x0A, Operand::None},
    {"subtract", 0x0B, Operand::None},
    {"multiply", 0x0C, Operand::None},
    {"divide", 0x0D, Operand::None},
    {"equals", 0x0E, Operand::None},
    {"less", 0x0F, Operand::None},
    {"and", 0x10, Operand::None},
    {"or", 0x11, Operand::None},
    {"not", 0x12, Operand::None},
    {"stringEquals", 0x13, Operand::None},
    {"stringLength", 0x14, Operand::None},
    {"stringExtract", 0x15, Operand::None},
    {"pop", 0x17, Operand::None},
    {"toInteger", 0x18, Operand::None},
    {"getVariable", 0x1C, Operand::None},
    {"setVariable", 0x1D, Operand::None},
    {"setTarget2", 0x20, Operand::None},
    {"stringAdd", 0x21, Operand::None},
    {"getProperty", 0x22, Operand::None},
    {"setProperty", 0x23, Operand::None},
    {"cloneSprite", 0x24, Operand::None},
    {"removeSprite", 0x25, Operand::None},
    {"trace", 0x26, Operand::None},
    {"startDrag", 0x27, Operand::None},
    {"endDrag", 0x28, Operand::None},
    {"stringLess", 0x29, Operand::None},
    {"randomNumber", 0x30, Operand::None},
    {"mbStringLength", 0x31, Operand::None},
    {"charToAscii", 0x32, Operand::None},
    {"asciiToChar", 0x33, Operand::None},
    {"getTime", 0x34, Operand::None},
    {"mbStringExtract", 0x35, Operand::None},
    {"mbCharToAscii", 0x36, Operand::None},
    {"mbAsciiToChar", 0x37, Operand::None},
    {"waitForFrame2", 0x8D, Operand::Skip},
    {"push", 0x96, Operand::Push},
    {"jump", 0x99, Operand::Branch},
    {"getURL2", 0x9A, Operand::GetUrl2},
    {"if", 0x9D, Operand::Branch},
    {"call", 0x9E, Operand::None},
    {"gotoFrame2", 0x9F, Operand::GotoFrame2},
    // SWF 5.
    {"delete", 0x3A, Operand::None},
    {"delete2", 0x3B, Operand::None},
    {"defineLocal", 0x3C, Operand::None},
    {"callFunction", 0x3D, Operand::None},
    {"return", 0x3E, Operand::None},
    {"modulo", 0x3F, Operand::None},
    {"newObject", 0x40, Operand::None},
    {"defineLocal2", 0x41, Operand::None},
    {"initArray", 0x42, Operand::None},
    {"initObject", 0x43, Operand::None},
    {"typeOf", 0x44, Operand::None},
    {"targetPath", 0x45, Operand::None},
    {"enumerate", 0x46, Operand::None},
    {"add2", 0x47, Operand::None},
    {"less2", 0x48, Operand::None},
    {"equals2", 0x49, Operand::None},
    {"toNumber", 0x4A, Operand::None},
    {"toString", 0x4B, Operand::None},
    {"pushDuplicate", 0x4C, Operand::None},
    {"stackSwap", 0x4D, Operand::None},
    {"getMember", 0x4E, Operand::None},
    {"setMember", 0x4F, Operand::None},
    {"increment", 0x50, Operand::None},
    {"decrement", 0x51, Operand::None},
    {"callMethod", 0x52, Operand::None},
    {"newMethod", 0x53, Operand::None},
    {"bitAnd", 0x60, Operand::None},
    {"bitOr", 0x61, Operand::None},
    {"bitXor", 0x62, Operand::None},
    {"bitLShift", 0x63, Operand::None},
    {"bitRShift", 0x64, Operand::None},
    {"bitURShift", 0x65, Operand::None},
    {"storeRegister", 0x87, Operand::Register},
    {"constantPool", 0x88, Operand::ConstantPool},
    {"with", 0x94, Operand::With},
    {"function", 0x9B, Operand::Function},
    // SWF 6 and 7.
    {"instanceOf", 0x54, Operand::None},
    {"enumerate2", 0x55, Operand::None},
    {"strictEquals", 0x66, Operand::None},
    {"greater", 0x67, Operand::None},
    {"stringGreater", 0x68, Operand::None},
    {"extends", 0x69, Operand::None},
    {"castOp", 0x2B, Operand::None},
    {"implementsOp", 0x2C, Operand::None},
    {"throw", 0x2A, Operand::None},
    {"try", 0x8F, Operand::Try},
    {"function2", 0x8E, Operand::Function2},
    {"end", 0x00, Operand::None},
};

const Mnemonic* findMnemonic(const std::string& name) {
  for (const Mnemonic& m : kMnemonics)
    if (name == m.name) return &m;
  return nullptr;
}

struct Fixup {
  size_t at;         // where the s16 goes
  size_t from;       // the offset is counted from here (the end of the branch record)
  std::string label;
  int line;
};

class BlockAssembler {
 public:
  explicit BlockAssembler(AsmContext& ctx) : ctx_(ctx) {}

  std::vector<uint8_t> run(const std::vector<Statement>& block, bool withEnd) {
    for (size_t i = 0; i < block.size(); ++i) statement(block, i);
    if (withEnd) code_.push_back(0);
    for (const Fixup& f : fixups_) {
      auto it = labels_.find(f.label);
      if (it == labels_.end()) throw AsmError(f.line, "no label '" + f.label + "' in this block");
      long offset = long(it->second) - long(f.from);
      if (offset < -32768 || offset > 32767) throw AsmError(f.line, "the branch to '" + f.label + "' is too far");
      code_[f.at] = uint8_t(offset);
      code_[f.at + 1] = uint8_t(uint16_t(offset) >> 8);
    }
    return code_;
  }

 private:
  void record(uint8_t code, const std::vector<uint8_t>& payload, int line) {
    code_.push_back(code);
    if (code >= 0x80) {
      if (payload.size() > 0xFFFF) throw AsmError(line, "an action record longer than 65535 bytes");
      code_.push_back(uint8_t(payload.size()));
      code_.push_back(uint8_t(payload.size() >> 8));
      code_.insert(code_.end(), payload.begin(), payload.end());
    } else if (!payload.empty()) {
      throw AsmError(line, "actions below 0x80 take no operand");
    }
  }

  void statement(const std::vector<Statement>& block, size_t& i) {
    const Statement& s = block[i];
    const std::string& k = s.keyword();
    if (s.words.size() == 1 && k.size() > 1 && k.back() == ':' && !s.words[0].quoted) {
      std::string name = k.substr(0, k.size() - 1);
      if (labels_.count(name)) throw AsmError(s.line, "label '" + name + "' is defined twice");
      labels_[name] = code_.size();
      return;
    }
    if (k == "action") {  // any record: action CODE [hex]
      Args a(s);
      uint8_t code = uint8_t(parseInt(a.positional("the action code"), 0, 255));
      std::vector<Word> hex;
      while (auto w = a.optionalPositional()) hex.push_back(*w);
      a.finish();
      record(code, parseHex(hex), s.line);
      return;
    }
    const Mnemonic* m = findMnemonic(k);
    if (!m) throw AsmError(s.line, "unknown action '" + k + "'");
    if (s.hasBlock && m->operand != Operand::Function && m->operand != Operand::Function2 &&
        m->operand != Operand::With && m->operand != Operand::Try)
      throw AsmError(s.line, "'" + k + "' takes no block");
    Args a(s);
    SwfWriter w;
    switch (m->operand) {
      case Operand::None:
        break;
      case Operand::Frame:
        w.u16(uint32_t(parseInt(a.positional("the frame"), 0, 65535)));
        break;
      case Operand::UrlTarget:
        w.cstring(a.positional("the url").text);
        w.cstring(a.optionalPositional().value_or(Word{}).text);
        break;
      case Operand::Register:
        w.u8(uint32_t(parseInt(a.positional("the register"), 0, 255)));
        break;
      case Operand::String:
        w.cstring(a.positional("the name").text);
        break;
      case Operand::WaitFrame:
        w.u16(uint32_t(parseInt(a.positional("the frame"), 0, 65535)));
        w.u8(uint32_t(parseInt(a.positional("the actions to skip"), 0, 255)));
        break;
      case Operand::Skip:
        w.u8(uint32_t(parseInt(a.positional("the actions to skip"), 0, 255)));
        break;
      case Operand::Branch: {
        const Word& target = a.positional("the label");
        a.finish();
        if (!target.quoted && !target.text.empty() && (std::isdigit(uint8_t(target.text[0])) || target.text[0] == '-')) {
          w.u16(uint32_t(uint16_t(int16_t(parseInt(target, -32768, 32767)))));
          record(m->code, w.bytes, s.line);
        } else {
          record(m->code, {0, 0}, s.line);
          fixups_.push_back({code_.size() - 2, code_.size(), target.text, s.line});
        }
        return;
      }
      case Operand::GetUrl2: {
        unsigned method = 0;
        if (auto mw = a.option("method")) {
          if (mw->text == "get") method = 1;
          else if (mw->text == "post") method = 2;
          else if (mw->text != "none") a.fail("method= is none, get or post");
        }
        bool target = a.flag("target"), variables = a.flag("variables");
        w.u8((variables ? 0x80 : 0) | (target ? 0x40 : 0) | method);
        break;
      }
      case Operand::GotoFrame2: {
        bool play = a.flag("play");
        std::optional<uint16_t> bias;
        if (auto b = a.option("bias")) bias = uint16_t(parseInt(*b, 0, 65535));
        w.u8((bias ? 0x02 : 0) | (play ? 0x01 : 0));
        if (bias) w.u16(*bias);
        break;
      }
      case Operand::Push:
        while (auto v = a.optionalPositional()) pushValue(w, *v);
        break;
      case Operand::ConstantPool: {
        std::vector<std::string> strings;
        while (auto v = a.optionalPositional()) strings.push_back(v->text);
        w.u16(uint32_t(strings.size()));
        for (auto& str : strings) w.cstring(str);
        break;
      }
      case Operand::Function: {
        std::string name = a.positional("the function name (\"\" for none)").text;
        std::vector<std::string> params;
        while (auto p = a.optionalPositional()) params.push_back(p->text);
        a.finish();
        std::vector<uint8_t> body = BlockAssembler(ctx_).run(s.block, false);
        w.cstring(name);
        w.u16(uint32_t(params.size()));
        for (auto& p : params) w.cstring(p);
        w.u16(uint32_t(body.size()));
        record(m->code, w.bytes, s.line);
        code_.insert(code_.end(), body.begin(), body.end());
        return;
      }
      case Operand::Function2: {
        std::string name = a.positional("the function name (\"\" for none)").text;
        unsigned registers = unsigned(parseInt(a.option("regs").value_or(Word{"0"}), 0, 255));
        uint16_t flags = 0;
        if (auto f = a.option("flags")) flags = function2Flags(*f);
        std::vector<std::pair<uint8_t, std::string>> params;
        while (auto p = a.optionalPositional()) {
          auto parts = splitList(*p, ':');
          uint8_t reg = parts.size() == 2 ? uint8_t(parseInt(parts[1], 0, 255)) : 0;
          params.push_back({reg, parts[0].text});
        }
        a.finish();
        std::vector<uint8_t> body = BlockAssembler(ctx_).run(s.block, false);
        w.cstring(name);
        w.u16(uint32_t(params.size()));
        w.u8(registers);
        w.u8(flags & 0xFF);
        w.u8(flags >> 8);
        for (auto& [reg, pname] : params) {
          w.u8(reg);
          w.cstring(pname);
        }
        w.u16(uint32_t(body.size()));
        record(m->code, w.bytes, s.line);
        code_.insert(code_.end(), body.begin(), body.end());
        return;
      }
      case Operand::With: {
        a.finish();
        std::vector<uint8_t> body = BlockAssembler(ctx_).run(s.block, false);
        w.u16(uint32_t(body.size()));
        record(m->code, w.bytes, s.line);
        code_.insert(code_.end(), body.begin(), body.end());
        return;
      }
      case Operand::Try: {
        std::optional<Word> catchTo = a.option("catch");
        a.finish();
        std::vector<uint8_t> tryBody = BlockAssembler(ctx_).run(s.block, false), catchBody, finallyBody;
        bool hasCatch = false, hasFinally = false;
        while (i + 1 < block.size() && (block[i + 1].keyword() == "catch" || block[i + 1].keyword() == "finally")) {
          const Statement& part = block[++i];
          Args(part).finish();
          bool isCatch = part.keyword() == "catch";
          if (isCatch ? hasCatch : hasFinally) throw AsmError(part.line, "'" + part.keyword() + "' given twice");
          (isCatch ? catchBody : finallyBody) = BlockAssembler(ctx_).run(part.block, false);
          (isCatch ? hasCatch : hasFinally) = true;
        }
        bool inRegister = catchTo && catchTo->text.rfind("r:", 0) == 0;
        w.u8((inRegister ? 0x04 : 0) | (hasFinally ? 0x02 : 0) | (hasCatch ? 0x01 : 0));
        w.u16(uint32_t(tryBody.size()));
        w.u16(uint32_t(catchBody.size()));
        w.u16(uint32_t(finallyBody.size()));
        if (inRegister) {
          Word r = *catchTo;
          r.text = r.text.substr(2);
          w.u8(uint32_t(parseInt(r, 0, 255)));
        } else {
          w.cstring(catchTo ? catchTo->text : "");
        }
        record(m->code, w.bytes, s.line);
        code_.insert(code_.end(), tryBody.begin(), tryBody.end());
        code_.insert(code_.end(), catchBody.begin(), catchBody.end());
        code_.insert(code_.end(), finallyBody.begin(), finallyBody.end());
        return;
      }
      case Operand::Hex:
        break;
    }
    a.finish();
    record(m->code, w.bytes, s.line);
  }

  static uint16_t function2Flags(const Word& w) {
    static const std::pair<const char*, uint16_t> kFlags[] = {
        {"preloadThis", 0x0001},      {"suppressThis", 0x0002},  {"preloadArguments", 0x0004},
        {"suppressArguments", 0x0008}, {"preloadSuper", 0x0010}, {"suppressSuper", 0x0020},
        {"preloadRoot", 0x0040},      {"preloadParent", 0x0080}, {"preloadGlobal", 0x0100}};
    uint16_t flags = 0;
    for (const Word& part : splitList(w)) {
      bool found = false;
      for (auto& [name, bit] : kFlags)
        if (part.text == name) flags |= bit, found = true;
      if (!found) throw AsmError(w.line, "unknown function2 flag '" + part.text + "'");
    }
    return flags;
  }

  static void pushValue(SwfWriter& w, const Word& v) {
    const std::string& t = v.text;
    auto after = [&](size_t n) {
      Word x = v;
      x.text = t.substr(n);
      return x;
    };
    if (v.quoted) {
      w.u8(0);
      w.cstring(t);
    } else if (t == "null") {
      w.u8(2);
    } else if (t == "undefined") {
      w.u8(3);
    } else if (t == "true" || t == "false") {
      w.u8(5);
      w.u8(t == "true" ? 1 : 0);
    } else if (t.rfind("r:", 0) == 0) {
      w.u8(4);
      w.u8(uint32_t(parseInt(after(2), 0, 255)));
    } else if (t.rfind("c:", 0) == 0) {
      int64_t index = parseInt(after(2), 0, 65535);
      if (index < 256) {
        w.u8(8);
        w.u8(uint32_t(index));
      } else {
        w.u8(9);
        w.u16(uint32_t(index));
      }
    } else if (t.rfind("float:", 0) == 0) {
      w.u8(1);
      w.f32(float(parseNumber(after(6))));
    } else if (t.rfind("double:", 0) == 0) {
      writeDouble(w, parseNumber(after(7)));
    } else if (t.rfind("int:", 0) == 0) {
      w.u8(7);
      w.u32(uint32_t(int32_t(parseInt(after(4), INT32_MIN, INT32_MAX))));
    } else if (t == "NaN" || t == "Infinity" || t == "-Infinity") {
      writeDouble(w, t == "NaN" ? std::nan("") : t == "Infinity" ? HUGE_VAL : -HUGE_VAL);
    } else if (t.find_first_of(".eE") == std::string::npos && t.find("0x") == std::string::npos) {
      int64_t n = parseInt(v, INT64_MIN / 2, INT64_MAX / 2);
      if (n >= INT32_MIN && n <= INT32_MAX) {
        w.u8(7);
        w.u32(uint32_t(int32_t(n)));
      } else {
        writeDouble(w, double(n));
      }
    } else if (t.find("0x") != std::string::npos) {
      w.u8(7);
      w.u32(uint32_t(int32_t(parseInt(v, INT32_MIN, 0xFFFFFFFFll))));
    } else {
      writeDouble(w, parseNumber(v));
    }
  }

  // Doubles in action records store their high 32 bits first.
  static void writeDouble(SwfWriter& w, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    w.u8(6);
    w.u32(uint32_t(bits >> 32));
    w.u32(uint32_t(bits));
  }

  AsmContext& ctx_;
  std::vector<uint8_t> code_;
  std::map<std::string, size_t> labels_;
  std::vector<Fixup> fixups_;
};

}  // namespace

std::vector<uint8_t> assembleActions(AsmContext& ctx, const std::vector<Statement>& block, bool withEnd) {
  return BlockAssembler(ctx).run(block, withEnd);
}

}  // namespace vorlo::swfasm
