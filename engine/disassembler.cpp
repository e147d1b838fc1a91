#include "engine/disassembler.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "engine/ansi.h"

namespace vorlo {

namespace {

std::string quoted(const std::u16string& text) {
  std::string out = "\"";
  for (char16_t c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(c));
          out += buffer;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

// The shortest text that reads back as the same double.
std::string floatText(double value) {
  char buffer[40];
  for (int precision = 1; precision <= 17; precision++) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  std::string text = buffer;
  if (text.find_first_of(".eEin") == std::string::npos) text += ".0";
  return text;
}

}  // namespace

std::string constantText(const ImageConstant& c) {
  switch (c.kind) {
    case ConstNull: return "null";
    case ConstNaN: return "NaN";
    case ConstBoolean: return c.boolean ? "true" : "false";
    case ConstInteger: return std::to_string(c.integer);
    case ConstFloat: return floatText(c.number);
    case ConstString: return quoted(c.text);
    case ConstSymbol: return c.name;
    case ConstRegExp: {
      std::string text = "/" + utf16ToAnsi(c.text.data(), c.text.size()) + "/";
      if (c.regExpFlags & 1) text += 'g';
      if (c.regExpFlags & 2) text += 'i';
      if (c.regExpFlags & 4) text += 'm';
      return text;
    }
    default: return "?";
  }
}

std::string listImage(const BytecodeImage& image, const ListingOptions& options) {
  std::string out;
  if (options.offsets) {
    out += "; " + std::to_string(image.code.size()) + " bytes of code, " +
           std::to_string(image.constants.size()) + " constants, " +
           std::to_string(image.functions.size()) + " functions\n";
    if (image.hasSourceName) out += "; source " + image.sourceName + "\n";
    for (size_t i = 0; i < image.constants.size(); i++) {
      out += "; const " + std::to_string(i) + ": " + constantText(image.constants[i]) + "\n";
    }
  }
  for (const ImageFunction& fn : image.functions) {
    // Labels for the jump targets, numbered in code order.
    std::map<uint32_t, int> labels;
    forEachInstruction(image, fn.start, fn.end, [&](uint32_t at, int op, int64_t operand, int size) {
      if (opcodeInfo(op).operand == OperandRel) labels[uint32_t(int64_t(at) + size + operand)] = 0;
    });
    int number = 1;
    for (auto& entry : labels) entry.second = number++;
    // Line records by the offset of the end of the instruction they belong to.
    std::map<uint32_t, uint32_t> lines;
    for (const LineRecord& r : image.lines) lines[r.offset] = r.line;

    out += options.offsets ? "\nfunction " : "function ";
    out += fn.name;
    if (options.offsets) {
      out += "  ; bytes " + std::to_string(fn.start) + "-" + std::to_string(fn.end);
    }
    out += "\n";
    auto placeLabel = [&](uint32_t at) {
      auto found = labels.find(at);
      if (found != labels.end()) out += "L" + std::to_string(found->second) + ":\n";
    };
    forEachInstruction(image, fn.start, fn.end, [&](uint32_t at, int op, int64_t operand, int size) {
      placeLabel(at);
      const OpcodeInfo& info = opcodeInfo(op);
      std::string line;
      if (options.offsets) {
        std::string offset = std::to_string(at);
        line += std::string(offset.size() < 6 ? 6 - offset.size() : 0, ' ') + offset + "  ";
      } else {
        line += "  ";
      }
      line += info.mnemonic;
      switch (info.operand) {
        case OperandNone: break;
        case OperandSym:
        case OperandConst: line += " " + constantText(image.constants[size_t(operand)]); break;
        case OperandRel:
          line += " L" + std::to_string(labels[uint32_t(int64_t(at) + size + operand)]);
          break;
        default: line += " " + std::to_string(operand);
      }
      if (options.offsets) {
        auto found = lines.find(at + uint32_t(size));
        if (found != lines.end()) {
          if (line.size() < 40) line.resize(40, ' ');
          line += "  ; line " + std::to_string(found->second + 1);  // counted from 1, as editors do
        }
      }
      out += line + "\n";
    });
    placeLabel(fn.end);
  }
  return out;
}

}  // namespace vorlo
