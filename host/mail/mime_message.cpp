#include "host/mail/mime_message.h"

#include <algorithm>
#include <cctype>

namespace vorlo::mail {
namespace {

constexpr std::string_view kPreamble = "This is a multi-part message in MIME format.\r\n\r\n";

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y)); });
}
bool startsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view trim(std::string_view s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// A header value as one line: CR and LF become blanks, NUL is dropped.
std::string oneLine(std::string_view v) {
  std::string out;
  for (char c : v) {
    if (c == '\r' || c == '\n') out += ' ';
    else if (c != '\0') out += c;
  }
  return out;
}

void field(std::string& out, std::string_view name, const std::optional<std::string>& value, bool always) {
  if (!value && !always) return;
  out += name;
  out += ": ";
  out += value ? oneLine(*value) : " ";
  out += "\r\n";
}

void partHeader(std::string& out, const BodyPart& p, const GenerateOptions& o, std::string_view defaultType) {
  out += "Content-Type: ";
  out += p.contentType.empty() ? defaultType : std::string_view(p.contentType);
  out += "; charset=\"" + o.charset + "\"\r\nContent-Transfer-Encoding: ";
  out += encodingName(p.encoding);
  out += "\r\n\r\n";
}

void filePartOut(std::string& out, const BodyPart& p, std::string_view boundary, bool item) {
  out += "--";
  out += boundary;
  out += "\r\nContent-Type: " + oneLine(p.contentType) + "; name=\"" + oneLine(p.name) + "\"\r\nContent-Transfer-Encoding: ";
  out += encodingName(p.encoding);
  if (item) out += "\r\nContent-ID: <" + oneLine(p.contentId) + ">\r\n\r\n";
  else out += "\r\nContent-Disposition: attachment; filename=\"" + oneLine(p.name) + "\"\r\n\r\n";
  out += p.body;
  out += "\r\n";
}

void multipartHeader(std::string& out, std::string_view type, std::string_view boundary, bool alternativeType) {
  out += "Content-Type: ";
  out += type;
  if (alternativeType) out += ";\r\n\ttype=\"multipart/alternative\"";
  out += ";\r\n\tboundary=\"";
  out += boundary;
  out += "\"\r\n\r\n";
}

void alternativeBlock(std::string& out, const MessageBody& b, const GenerateOptions& o) {
  std::string boundary = o.boundary();
  multipartHeader(out, "multipart/alternative", boundary, false);
  out += "--" + boundary + "\r\n";
  BodyPart empty{Encoding::QuotedPrintable, "text/plain", {}, {}, {}};
  const BodyPart& text = b.text ? *b.text : empty;
  partHeader(out, text, o, "text/plain");
  out += text.body;
  out += "\r\n--" + boundary + "\r\n";
  partHeader(out, *b.html, o, "text/html");
  out += b.html->body;
  out += "\r\n--" + boundary + "--\r\n\r\n";
}

}  // namespace

Encoding encodingNamed(std::string_view name) {
  name = trim(name);
  if (equalsNoCase(name, "quoted-printable")) return Encoding::QuotedPrintable;
  if (equalsNoCase(name, "base64")) return Encoding::Base64;
  return Encoding::Binary;
}

std::string_view encodingName(Encoding e) {
  switch (e) {
    case Encoding::QuotedPrintable: return "quoted-printable";
    case Encoding::Base64: return "base64";
    default: return "binary";
  }
}

std::string decodeBody(std::string_view body, Encoding e) {
  switch (e) {
    case Encoding::QuotedPrintable: return quotedPrintableDecode(body);
    case Encoding::Base64: return base64Decode(body);
    default: return std::string(body);
  }
}

BodyPart textPart(std::string_view contentType, std::string_view text) {
  return BodyPart{Encoding::QuotedPrintable, std::string(contentType), {}, {}, quotedPrintableEncode(text)};
}

BodyPart filePart(std::string_view contentType, std::string_view name, std::string_view bytes) {
  return BodyPart{Encoding::Base64, std::string(contentType), std::string(name), {}, base64Encode(bytes, 76)};
}

std::string generateHeaders(const MailHeaders& h, const GenerateOptions& o) {
  std::string out;
  field(out, "From", h.from, true);
  field(out, "To", h.to, true);
  field(out, "Reply-To", h.replyTo, false);
  field(out, "Cc", h.cc, false);
  field(out, "Bcc", h.bcc, false);
  if (h.subject && !h.subject->empty())
    out += "Subject: " + encodeWords(oneLine(*h.subject), o.charset, o.charLength) + "\r\n";
  else
    out += "Subject: \r\n";
  field(out, "Date", h.date, false);
  out += "MIME-Version: 1.0\r\nX-Mailer: Quoril.Vorlo\r\nX-Priority: " + std::to_string(h.priority) + "\r\n";
  return out;
}

std::string generateBody(const MessageBody& b, const GenerateOptions& o) {
  std::string out;
  bool hasHtml = b.html.has_value(), hasItems = !b.htmlItems.empty(), hasFiles = !b.attachments.empty();
  BodyPart emptyText{Encoding::QuotedPrintable, "text/plain", {}, {}, {}};
  const BodyPart& text = b.text ? *b.text : emptyText;
  if (!hasHtml && !hasItems && !hasFiles) {
    partHeader(out, text, o, "text/plain");
    out += text.body;
    return out;
  }
  std::string outer = o.boundary();
  if (!hasHtml && !hasItems) {
    multipartHeader(out, "multipart/mixed", outer, false);
    out += kPreamble;
    out += "--" + outer + "\r\n";
    partHeader(out, text, o, "text/plain");
    out += text.body;
    out += "\r\n";
    for (const BodyPart& p : b.attachments) filePartOut(out, p, outer, false);
    out += "--" + outer + "--\r\n\r\n";
    return out;
  }
  if (hasHtml && !hasFiles) {
    multipartHeader(out, "multipart/related", outer, true);
    out += kPreamble;
    out += "--" + outer + "\r\n";
    alternativeBlock(out, b, o);
    for (const BodyPart& p : b.htmlItems) filePartOut(out, p, outer, true);
    out += "--" + outer + "--\r\n\r\n";
    return out;
  }
  multipartHeader(out, hasFiles ? "multipart/mixed" : "multipart/related", outer, false);
  out += kPreamble;
  out += "--" + outer + "\r\n";
  std::string inner = o.boundary();
  multipartHeader(out, "multipart/related", inner, true);
  out += "--" + inner + "\r\n";
  if (hasHtml) {
    alternativeBlock(out, b, o);
  } else {
    partHeader(out, text, o, "text/plain");
    out += text.body;
    out += "\r\n";
  }
  for (const BodyPart& p : b.htmlItems) filePartOut(out, p, inner, true);
  out += "--" + inner + "--\r\n\r\n";
  for (const BodyPart& p : b.attachments) filePartOut(out, p, outer, false);
  out += "--" + outer + "--\r\n\r\n";
  return out;
}

std::optional<std::string> headerValue(std::string_view block, std::string_view name) {
  for (size_t line = 0; line < block.size();) {
    size_t eol = block.find("\r\n", line);
    if (eol == std::string_view::npos) eol = block.size();
    std::string_view text = block.substr(line, eol - line);
    if (text.size() > name.size() && startsNoCase(text, name) && text[name.size()] == ':') {
      std::string value(text.substr(name.size() + 1));
      size_t next = eol + 2;
      while (next < block.size() && (block[next] == ' ' || block[next] == '\t')) {
        size_t end = block.find("\r\n", next);
        if (end == std::string_view::npos) end = block.size();
        value += block.substr(next, end - next);
        next = end + 2;
      }
      std::replace(value.begin(), value.end(), '\t', ' ');
      return std::string(trim(value));
    }
    line = eol + 2;
  }
  return std::nullopt;
}

std::optional<std::string> headerParameter(std::string_view value, std::string_view name) {
  size_t i = value.find(';');
  while (i != std::string_view::npos) {
    ++i;
    size_t eq = value.find_first_of("=;", i);
    if (eq == std::string_view::npos) break;
    if (value[eq] == ';') {
      i = eq;
      continue;
    }
    std::string_view key = trim(value.substr(i, eq - i));
    size_t j = value.find_first_not_of(" \t", eq + 1);
    std::string v;
    if (j != std::string_view::npos && value[j] == '"') {  // a quoted value may hold ";"
      size_t close = value.find('"', j + 1);
      v = value.substr(j + 1, close == std::string_view::npos ? std::string_view::npos : close - j - 1);
      i = close == std::string_view::npos ? close : value.find(';', close);
    } else {
      size_t stop = j == std::string_view::npos ? j : value.find(';', j);
      if (j != std::string_view::npos) v = trim(value.substr(j, stop == std::string_view::npos ? stop : stop - j));
      i = stop;
    }
    if (equalsNoCase(key, name)) return v;
  }
  return std::nullopt;
}

namespace {

// The next delimiter line: the boundary must be followed by "--", blanks or the line end, so that a
// boundary that is the start of another one ("b1" in "b10") is not taken for it.
size_t findDelimiter(std::string_view content, std::string_view delimiter, size_t from) {
  for (size_t pos = content.find(delimiter, from); pos != std::string_view::npos; pos = content.find(delimiter, pos + 1)) {
    std::string_view after = content.substr(pos + delimiter.size());
    if (after.empty() || after.substr(0, 2) == "--" || after[0] == '\r' || after[0] == ' ' || after[0] == '\t') return pos;
  }
  return std::string_view::npos;
}

struct Parser {
  std::string_view message;
  MessageBody body;
  int attachmentNumber = 0;

  void addPart(std::string_view headers, std::string_view content, bool forceAttachment) {
    std::string type = headerValue(headers, "Content-Type").value_or("text/plain");
    std::string bare(trim(std::string_view(type).substr(0, type.find(';'))));
    std::string disposition = headerValue(headers, "Content-Disposition").value_or("");
    bool attachment = forceAttachment || equalsNoCase(trim(std::string_view(disposition).substr(0, disposition.find(';'))), "attachment");
    BodyPart p;
    p.encoding = encodingNamed(headerValue(headers, "Content-Transfer-Encoding").value_or(""));
    p.contentType = bare;
    p.body = std::string(content);
    std::optional<std::string> name = headerParameter(type, "name");
    if (!attachment && equalsNoCase(bare, "text/html") && !body.html) {
      body.html = std::move(p);
    } else if (!attachment && startsNoCase(bare, "text/") && !body.text) {
      body.text = std::move(p);
    } else if (!attachment && name && body.html) {
      std::string id = headerValue(headers, "Content-ID").value_or("");
      if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
      p.name = *name;
      p.contentId = id;
      body.htmlItems.push_back(std::move(p));
    } else {
      if (p.contentType.empty()) p.contentType = "application/octet-stream";
      ++attachmentNumber;
      if (name) p.name = *name;
      else if (auto file = headerParameter(disposition, "filename")) p.name = *file;
      else p.name = "attachment " + std::to_string(attachmentNumber);
      body.attachments.push_back(std::move(p));
    }
  }

  void part(std::string_view text, int depth) {
    std::string_view headers, content;
    if (text.substr(0, 2) == "\r\n") {  // no header fields at all
      content = text.substr(2);
    } else {
      size_t split = text.find("\r\n\r\n");
      headers = split == std::string_view::npos ? text : text.substr(0, split + 2);
      if (split != std::string_view::npos) content = text.substr(split + 4);
    }
    std::string type = headerValue(headers, "Content-Type").value_or("text/plain");
    std::string_view bare = trim(std::string_view(type).substr(0, type.find(';')));
    std::optional<std::string> boundary = startsNoCase(bare, "multipart") ? headerParameter(type, "boundary") : std::nullopt;
    if (!boundary || boundary->empty()) return addPart(headers, content, false);
    if (depth >= kMaxMimeDepth) return addPart(headers, content, true);
    std::string delimiter = "\r\n--" + *boundary;
    std::string_view opening = std::string_view(delimiter).substr(2);
    size_t pos = findDelimiter(content, opening, 0) == 0 ? 0 : findDelimiter(content, delimiter, 0);
    size_t length = pos == 0 ? opening.size() : delimiter.size();
    while (pos != std::string_view::npos) {
      size_t after = pos + length;
      if (content.substr(after, 2) == "--") break;
      size_t start = content.find("\r\n", after);
      if (start == std::string_view::npos) break;
      start += 2;
      size_t next = findDelimiter(content, delimiter, start);
      part(content.substr(start, next == std::string_view::npos ? next : next - start), depth + 1);
      pos = next;
      length = delimiter.size();
    }
  }
};

}  // namespace

ParsedMessage parseMessage(std::string_view message) {
  ParsedMessage result;
  size_t split = message.find("\r\n\r\n");
  std::string_view block = message.substr(0, split == std::string_view::npos ? message.size() : split + 2);
  MailHeaders& h = result.headers;
  struct Slot {
    const char* name;
    std::optional<std::string> MailHeaders::*field;
  };
  static constexpr Slot kSlots[] = {{"From", &MailHeaders::from},       {"Reply-To", &MailHeaders::replyTo},
                                    {"To", &MailHeaders::to},           {"Subject", &MailHeaders::subject},
                                    {"Cc", &MailHeaders::cc},           {"Bcc", &MailHeaders::bcc},
                                    {"Date", &MailHeaders::date}};
  for (const Slot& s : kSlots)
    if (auto v = headerValue(block, s.name)) h.*(s.field) = decodeWords(*v);
  h.priority = 3;
  if (auto p = headerValue(block, "X-Priority")) {
    int64_t n = 0;
    size_t i = 0;
    for (; i < p->size() && i < 9 && std::isdigit(uint8_t((*p)[i])); ++i) n = n * 10 + ((*p)[i] - '0');
    if (i > 0) h.priority = n;
  }
  Parser parser{message, {}};
  parser.part(message, 0);
  result.body = std::move(parser.body);
  return result;
}

}  // namespace vorlo::mail
