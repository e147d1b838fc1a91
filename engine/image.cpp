#include "engine/image.h"

#include <bit>
#include <cstring>

namespace vorlo {

namespace {

// Bounds-checked reading of one section's bytes.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool atEnd() const { return at_ == size_; }
  size_t left() const { return size_ - at_; }
  bool byte(uint8_t* out) {
    if (left() < 1) return false;
    *out = data_[at_++];
    return true;
  }
  bool bigEndian(int bytes, uint64_t* out) {
    if (left() < size_t(bytes)) return false;
    uint64_t v = 0;
    for (int i = 0; i < bytes; i++) v = (v << 8) | data_[at_++];
    *out = v;
    return true;
  }
  bool littleEndian64(uint64_t* out) {
    if (left() < 8) return false;
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | data_[at_ + size_t(i)];
    at_ += 8;
    *out = v;
    return true;
  }
  // A NUL-terminated 8-bit text.
  bool cString(std::string* out) {
    const void* nul = std::memchr(data_ + at_, 0, left());
    if (!nul) return false;
    size_t length = size_t(static_cast<const uint8_t*>(nul) - (data_ + at_));
    out->assign(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length + 1;
    return true;
  }
  bool bytes(size_t count, std::string* out) {
    if (left() < count) return false;
    out->assign(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return true;
  }
  // A 4-byte big-endian byte length followed by that many bytes of little-endian UTF-16.
  bool utf16(std::u16string* out) {
    uint64_t length;
    if (!bigEndian(4, &length) || length % 2 != 0 || left() < length) return false;
    out->resize(size_t(length / 2));
    for (size_t i = 0; i < out->size(); i++)
      (*out)[i] = char16_t(data_[at_ + 2 * i] | (data_[at_ + 2 * i + 1] << 8));
    at_ += size_t(length);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

uint32_t littleEndian32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

// Names of anonymous and nested functions are renumbered when an image is loaded: after "@F_"
// there must be a decimal number.
bool validFunctionName(const std::string& name) {
  if (name.compare(0, 3, "@F_") != 0) return true;
  size_t digits = name.size() - 3;
  if (digits == 0 || digits > 9) return false;
  for (size_t i = 3; i < name.size(); i++)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

const ImageSection* firstSection(const BytecodeImage& image, uint8_t type) {
  for (const ImageSection& s : image.sections)
    if (s.type == type) return &s;
  return nullptr;
}

bool decodeConstants(const ImageSection* section, BytecodeImage& image, std::string* why) {
  if (!section) return true;
  Cursor in(section->data.data(), section->data.size());
  while (!in.atEnd()) {
    ImageConstant c;
    in.byte(&c.kind);
    uint64_t v = 0;
    uint8_t b = 0;
    bool ok = true;
    switch (c.kind) {
      case ConstNull:
      case ConstNaN: break;
      case ConstBoolean:
        ok = in.byte(&b) && b <= 1;
        c.boolean = b != 0;
        break;
      case ConstInteger:
        ok = in.bigEndian(8, &v);
        c.integer = int64_t(v);
        break;
      case ConstFloat:
        ok = in.littleEndian64(&v);
        c.number = std::bit_cast<double>(v);
        break;
      case ConstString: ok = in.utf16(&c.text); break;
      case ConstSymbol: ok = in.cString(&c.name) && validFunctionName(c.name); break;
      case ConstRegExp:
        ok = in.byte(&c.regExpFlags) && c.regExpFlags <= 7 && in.utf16(&c.text);
        break;
      default: return fail(why, "unknown constant kind");
    }
    if (!ok) return fail(why, "malformed constant");
    image.constants.push_back(std::move(c));
  }
  return true;
}

bool decodeFunctions(const ImageSection* section, BytecodeImage& image, std::string* why) {
  if (!section) return true;
  Cursor in(section->data.data(), section->data.size());
  uint64_t count;
  if (!in.bigEndian(4, &count)) return fail(why, "short function table");
  if (count > in.left() / 5) return fail(why, "function count beyond the table");
  uint32_t previous = 0;
  for (uint64_t i = 0; i < count; i++) {
    ImageFunction f;
    uint64_t offset;
    if (!in.cString(&f.name) || !in.bigEndian(4, &offset)) return fail(why, "short function table");
    if (!validFunctionName(f.name)) return fail(why, "malformed function name");
    if (offset > image.code.size() || offset < previous)
      return fail(why, "function offset outside the code or out of order");
    f.start = previous = uint32_t(offset);
    image.functions.push_back(std::move(f));
  }
  for (size_t i = 0; i < image.functions.size(); i++)
    image.functions[i].end =
        i + 1 < image.functions.size() ? image.functions[i + 1].start : uint32_t(image.code.size());
  return true;
}

bool decodeDebug(const ImageSection* section, BytecodeImage& image, std::string* why) {
  if (!section) return true;
  Cursor in(section->data.data(), section->data.size());
  while (!in.atEnd()) {
    uint8_t type;
    in.byte(&type);
    uint64_t a, b;
    if (type == DebugSourceName) {
      std::string name;
      if (!in.bigEndian(4, &a) || !in.bytes(size_t(a), &name)) return fail(why, "short debug record");
      if (!image.hasSourceName) {
        image.hasSourceName = true;
        image.sourceName = std::move(name);
      }
    } else if (type == DebugLine) {
      if (!in.bigEndian(4, &a) || !in.bigEndian(4, &b)) return fail(why, "short debug record");
      image.lines.push_back(LineRecord{uint32_t(a), uint32_t(b)});
    } else {
      return fail(why, "unknown debug record");
    }
  }
  return true;
}

bool isLocalOp(int op) { return op == OpLoadLocal || op == OpStoreLocal || op == OpReleaseLocal; }
bool isSlotOp(int op) { return op == OpLoadSlot || op == OpStoreSlot || op == OpReleaseSlot; }

// Checks one function's instructions. The prologue (LOADSLOT 1; ADD2; ARGFIX b) fixes how many
// frame slots exist, a LOCALS directly after it how many locals; neither may stand elsewhere, and
// no jump may re-enter the prologue.
bool verifyFunction(BytecodeImage& image, ImageFunction& f, std::string* why) {
  const uint8_t* code = image.code.data();
  uint32_t size = f.end - f.start;
  std::vector<bool> starts(size_t(size) + 1, false);
  starts[size] = true;  // the END word the linker appends
  uint32_t bodyStart = f.start;
  for (uint32_t at = f.start; at < f.end;) {
    int op = code[at];
    if (!isOpcode(op) || op == OpHalt) return fail(why, "unknown opcode");
    uint32_t length = uint32_t(encodedSize(op));
    if (length > f.end - at) return fail(why, "instruction crosses the end of its function");
    starts[at - f.start] = true;
    int64_t operand = readOperand(code, at, op);
    if (op == OpArgFix) {
      bool prologue = at == f.start + 3 && code[f.start] == OpLoadSlot && code[f.start + 1] == 1 &&
                      code[f.start + 2] == OpAdd2;
      if (!prologue || operand < 0) return fail(why, "misplaced ARGFIX");
      f.slots = operand > 2 ? int(operand) : 2;
      bodyStart = at + length;
    } else if (op == OpLocals) {
      if (at != bodyStart || operand < 0) return fail(why, "misplaced LOCALS");
      f.locals = int(operand);
      bodyStart = at + length;
    }
    at += length;
  }
  for (uint32_t at = f.start; at < f.end;) {
    int op = code[at];
    uint32_t length = uint32_t(encodedSize(op));
    int64_t operand = readOperand(code, at, op);
    const OpcodeInfo& info = opcodeInfo(op);
    bool ok = true;
    if (info.operand == OperandSym) {
      ok = operand >= 0 && uint64_t(operand) < image.constants.size() &&
           image.constants[size_t(operand)].kind == ConstSymbol;
    } else if (info.operand == OperandConst) {
      ok = operand >= 0 && uint64_t(operand) < image.constants.size();
    } else if (info.operand == OperandRel) {
      int64_t target = int64_t(at) + length + operand;
      ok = target >= int64_t(bodyStart) && target <= int64_t(f.end) && starts[size_t(target - f.start)];
    } else if (isLocalOp(op)) {
      ok = operand >= 0 && operand < f.locals;
    } else if (isSlotOp(op)) {
      ok = operand >= 0 && operand < f.slots;
    } else if (op == OpPopTry || op == OpPopWith || op == OpPopN || op == OpDropUnder) {
      ok = operand >= 0;
    }
    if (!ok) return fail(why, "bad operand");
    at += length;
  }
  return true;
}

}  // namespace

int64_t readOperand(const uint8_t* code, uint32_t offset, int op) {
  const uint8_t* p = code + offset + 1;
  switch (opcodeInfo(op).operand) {
    case OperandNone: return 0;
    case OperandByte: return int8_t(p[0]);
    case OperandHalf: return int16_t(uint16_t(p[0] << 8 | p[1]));
    case OperandSym:
    case OperandConst: return int64_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
    default: return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
  }
}

std::unique_ptr<BytecodeImage> readImage(const uint8_t* data, size_t size, std::string* why) {
  if (!data) size = 0;
  if (size > 0 && data[0] == '#') {
    const void* lf = std::memchr(data, '\n', size);
    if (!lf) return fail(why, "first line without an end"), nullptr;
    size_t skip = size_t(static_cast<const uint8_t*>(lf) - data) + 1;
    data += skip;
    size -= skip;
  }
  if (size < 8 || std::memcmp(data, kImageMagic, 4) != 0) return fail(why, "not an image"), nullptr;
  auto image = std::make_unique<BytecodeImage>();
  bool seen[4] = {};
  for (size_t at = 4;; at += 12) {
    if (size - at < 4) return fail(why, "descriptors run past the end"), nullptr;
    uint32_t typeWord = littleEndian32(data + at);
    if (typeWord == kDescriptorEnd) break;
    if (size - at < 12) return fail(why, "descriptors run past the end"), nullptr;
    uint64_t offset = littleEndian32(data + at + 4);
    uint64_t length = littleEndian32(data + at + 8);
    if (offset > size || length > size - offset) return fail(why, "section outside the image"), nullptr;
    uint8_t type = uint8_t(typeWord & 0xFF);  // the upper bits carry nothing
    // Only the first section of each type is used; a later one is checked but not copied.
    if (type > SectionDebug || seen[type]) continue;
    seen[type] = true;
    ImageSection section{type, {}};
    section.data.assign(data + offset, data + offset + length);
    image->sections.push_back(std::move(section));
  }
  if (const ImageSection* code = firstSection(*image, SectionCode)) image->code = code->data;
  if (!decodeConstants(firstSection(*image, SectionConstants), *image, why) ||
      !decodeFunctions(firstSection(*image, SectionFunctions), *image, why) ||
      !decodeDebug(firstSection(*image, SectionDebug), *image, why))
    return nullptr;
  for (ImageFunction& f : image->functions)
    if (!verifyFunction(*image, f, why)) return nullptr;
  return image;
}

std::unique_ptr<BytecodeImage> readImageFile(std::FILE* file, std::string* why) {
  if (!file) return fail(why, "no file"), nullptr;
  std::vector<uint8_t> bytes;
  uint8_t buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + got);
  if (std::ferror(file)) return fail(why, "read error"), nullptr;
  return readImage(bytes.data(), bytes.size(), why);
}

}  // namespace vorlo
